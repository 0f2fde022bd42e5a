// The browser side of the platform layer (linked with --js-library):
// the frame loop's clock, an immediate pass when the page is hidden, goes
// away or loses the focus, the saved state's hand-over to the browser's
// storage,
// the audio start on the player's first gesture, and the stop that takes
// the place of a process exit. hx_platform_web.cpp calls the hx_web_*
// functions; hx_platform_web_pre.js calls ZelkWeb.stop.
mergeInto(LibraryManager.library, {
  $ZelkWeb__deps: ['$FS', '$IDBFS', '$PATH', '$Browser', '$callUserCallback'],
  $ZelkWeb: {
    pass: null,        // the host's frame pass, function(time in seconds)
    stopped: false,
    home: '/home/zelk',  // the player's folder, kept in IndexedDB
    unread: false,     // the start-up load of that folder failed
    listeners: [],     // [target, type, handler] added by start, removed by stop

    listen: function(target, type, handler) {
      target.addEventListener(type, handler, true);
      ZelkWeb.listeners.push([target, type, handler]);
    },

    // A pass outside the browser's frames. A hidden page gets no frames at
    // all, and the page may be gone before the next one: the game must see
    // the focus loss now, so that it suspends and saves.
    passNow: function() {
      if (ZelkWeb.stopped || !ZelkWeb.pass) return;
      callUserCallback(function() { ZelkWeb.pass(performance.now() / 1000); });
    },

    // Browsers start audio only from a key press, click or touch. Every
    // such gesture resumes a context that is still suspended (one that is
    // not, or a gesture that does not count, changes nothing).
    resumeAudio: function() {
      if (ZelkWeb.stopped || typeof AL == 'undefined' || !AL.contexts) return;
      for (var id in AL.contexts) {
        var ctx = AL.contexts[id].audioCtx;
        if (ctx && ctx.state === 'suspended') ctx.resume().catch(function() {});
      }
    },

    // Copies the working folder to IndexedDB, in one transaction that is
    // made at once (no reading of the stored records first), so that a
    // save just before the page goes away is already on its way; a
    // transaction is stored whole or not at all, so a hand-over that fails
    // leaves the stored state file as it was, and the next save tries
    // again. Hand-overs are stored in the order they were made.
    //
    // Until the storage has been read (the start-up load failed), nothing
    // is stored: the game then runs from its start-up state, and storing it
    // would replace the player's saved state.
    persist: function() {
      var done = function(ok) {
        window.dispatchEvent(new CustomEvent('zelk-saved', {detail: {ok: ok}}));
      };
      if (ZelkWeb.unread) {
        console.warn('Zelk: the saved state was not stored, because the browser\'s storage could ' +
                     'not be read at start-up; the state stored before is kept');
        done(false);
        return;
      }
      var failed = function(err) {
        console.warn('Zelk: the browser did not store the saved state (' + err +
                     '); the previously stored state is kept');
        done(false);
      };
      var tx;
      try {
        var db = IDBFS.dbs[ZelkWeb.home];
        if (!db) throw new Error('the storage is not open');
        tx = db.transaction([IDBFS.DB_STORE_NAME], 'readwrite');
        var store = tx.objectStore(IDBFS.DB_STORE_NAME);
        var check = [ZelkWeb.home];
        while (check.length) {
          var dir = check.pop();
          FS.readdir(dir).forEach(function(name) {
            if (name === '.' || name === '..') return;
            var path = PATH.join2(dir, name);
            var stat = FS.stat(path);
            if (FS.isDir(stat.mode)) {
              check.push(path);
              store.put({'timestamp': stat.mtime, 'mode': stat.mode}, path);
            } else if (FS.isFile(stat.mode)) {
              store.put({'timestamp': stat.mtime, 'mode': stat.mode, 'contents': FS.readFile(path)}, path);
            }
          });
        }
      } catch (err) {
        if (tx) {
          try { tx.abort(); } catch (e) {}
        }
        failed(err);
        return;
      }
      var settled = false;
      tx.oncomplete = function() {
        if (!settled) done(true);
        settled = true;
      };
      tx.onabort = function() {
        if (!settled) failed(tx.error || 'the transaction was aborted');
        settled = true;
      };
      // Nothing more comes: the browser may store it now.
      if (tx.commit) tx.commit();
    },

    // The program ended (exit with this status): no more frames, input or
    // sound, the page is told and shows its message.
    stop: function(status) {
      if (ZelkWeb.stopped) return;
      ZelkWeb.stopped = true;
      Browser.mainLoop.pause();
      if (typeof JSEvents != 'undefined') JSEvents.removeAllEventListeners();
      ZelkWeb.listeners.forEach(function(l) { l[0].removeEventListener(l[1], l[2], true); });
      ZelkWeb.listeners = [];
      if (typeof AL != 'undefined' && AL.contexts) {
        for (var id in AL.contexts) {
          var ctx = AL.contexts[id].audioCtx;
          if (ctx && ctx.state !== 'closed') ctx.suspend().catch(function() {});
        }
      }
      if (document.fullscreenElement && document.exitFullscreen) document.exitFullscreen().catch(function() {});
      window.dispatchEvent(new CustomEvent('zelk-stopped', {detail: {status: status}}));
    },
  },

  // The frame's timestamp in seconds: the time the browser gives every
  // animation-frame callback of this frame (performance.now()'s clock).
  hx_web_frame_time__deps: ['$ZelkWeb'],
  hx_web_frame_time: function() {
    var t = document.timeline ? document.timeline.currentTime : null;
    return (typeof t == 'number' ? t : performance.now()) / 1000;
  },

  hx_web_start__deps: ['$ZelkWeb'],
  hx_web_start: function(pass, arg) {
    ZelkWeb.pass = function(time) { {{{ makeDynCall('vid', 'pass') }}}(arg, time); };
    // Hidden, or going away (pagehide also comes when the page is closed or
    // left for another one): the game suspends and saves now, and its save
    // is handed to the storage before the handler returns.
    ZelkWeb.listen(document, 'visibilitychange', function() {
      if (document.visibilityState !== 'visible') ZelkWeb.passNow();
    });
    ZelkWeb.listen(window, 'pagehide', function() {
      Module['zelkPageGone'] = true;
      ZelkWeb.passNow();
    });
    ZelkWeb.listen(window, 'pageshow', function(e) {
      if (e.persisted) Module['zelkPageGone'] = false;  // back from the back-forward cache
    });
    ZelkWeb.listen(window, 'blur', function(e) {
      if (e.target === window) ZelkWeb.passNow();  // not the blur of an element
    });
    ['keydown', 'keyup', 'mousedown', 'mouseup', 'pointerup', 'touchend', 'click'].forEach(function(type) {
      ZelkWeb.listen(window, type, ZelkWeb.resumeAudio);
    });
  },

  // The first frame is on its way: the page can show the game (the page
  // steps aside in the same task as the frame is drawn, so both show at
  // once). Then, drawn: the time of its end is kept for the benchmark.
  hx_web_first_frame__deps: ['$ZelkWeb'],
  hx_web_first_frame: function() {
    window.dispatchEvent(new CustomEvent('zelk-running'));
  },
  hx_web_first_frame_drawn: function() {
    Module['firstFrameTime'] = performance.now();
  },

  hx_web_persist__deps: ['$ZelkWeb'],
  hx_web_persist: function() { ZelkWeb.persist(); },
});
