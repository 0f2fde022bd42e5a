// Set-up before the program starts (linked with --pre-js).
//
// The working folder is the player's own, /home/zelk, kept in the
// browser's storage (IndexedDB) in a database of that name (a name of the
// game's own: pages from one site share their storage): it is mounted and
// loaded before main() runs, so that the game reads its saved state at
// start-up ("./.quollstate"). Every save hands the folder back
// (ZelkWeb.persist), unless that load failed. The program's own files, the packed data folder, are
// under /zelk.
if (!Module['preRun']) Module['preRun'] = [];
if (typeof Module['preRun'] == 'function') Module['preRun'] = [Module['preRun']];
Module['preRun'].push(function() {
  var home = ZelkWeb.home;
  FS.mkdirTree(home);
  FS.mount(IDBFS, {}, home);
  FS.chdir(home);
  addRunDependency('zelk-saved-state');
  FS.syncfs(true, function(err) {
    if (err) {
      // The stored state may well be there: until a load has succeeded, no
      // save of this page replaces it (ZelkWeb.persist).
      ZelkWeb.unread = true;
      console.warn('Zelk: the browser\'s storage could not be read (' + err +
                   '); the game starts without its saved state, and its saves in this page ' +
                   'are not stored, so that the state stored before is kept');
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
