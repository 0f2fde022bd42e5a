// Set-up before the program starts (linked with --pre-js).
//
// The working folder is the player's own, /home/zelk, kept in the
// browser's storage (IndexedDB) in a database of that name (a name of the
// game's own: pages from one site share their storage): it is mounted and
// loaded before main() runs, so that the game reads its saved state at
// start-up ("./.quollstate"). Every save hands the folder back
// (ZelkWeb.persist). The program's own files, the packed data folder, are
// under /zelk.
if (!Module['preRun']) Module['preRun'] = [];
if (typeof Module['preRun'] == 'function') Module['preRun'] = [Module['preRun']];
Module['preRun'].push(function() {
  var home = '/home/zelk';
  FS.mkdirTree(home);
  FS.mount(IDBFS, {}, home);
  FS.chdir(home);
  addRunDependency('zelk-saved-state');
  FS.syncfs(true, function(err) {
    if (err) {
      console.warn('Zelk: the browser\'s storage could not be read (' + err +
                   '); the game starts without its saved state');
    }
    removeRunDependency('zelk-saved-state');
  });
});

// There is no process to end in a page: exit() (quitting the game, or a
// fatal error) stops the frame loop and tells the page, then leaves the
// program's call stack as exit() does.
Module['quit'] = function(status, toThrow) {
  ZelkWeb.stop(status);
  throw toThrow;
};
