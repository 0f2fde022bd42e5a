// The browser side of the platform layer (linked with --js-library):
// the frame loop's clock, an immediate pass when the page is hidden or
// loses the focus, the saved state's hand-over to the browser's storage,
// the audio start on the player's first gesture, and the stop that takes
// the place of a process exit. hx_platform_web.cpp calls the hx_web_*
// functions; hx_platform_web_pre.js calls ZelkWeb.stop.
mergeInto(LibraryManager.library, {
  $ZelkWeb__deps: ['$FS', '$Browser', '$callUserCallback'],
  $ZelkWeb: {
    pass: null,        // the host's frame pass, function(time in seconds)
    stopped: false,
    syncing: false,    // a hand-over to the storage is under way
    syncAgain: false,  // another save came in meanwhile
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

    // Copies the working folder's changes to IndexedDB. IDBFS writes each
    // changed file as one record, so a hand-over that fails leaves the
    // stored state file as it was; the next save tries again. Hand-overs
    // never overlap: a save during one is handed over after it.
    persist: function() {
      if (ZelkWeb.syncing) {
        ZelkWeb.syncAgain = true;
        return;
      }
      ZelkWeb.syncing = true;
      FS.syncfs(false, function(err) {
        ZelkWeb.syncing = false;
        if (err) {
          console.warn('Zelk: the browser did not store the saved state (' + err +
                       '); the previously stored state is kept');
        }
        if (ZelkWeb.syncAgain) {
          ZelkWeb.syncAgain = false;
          ZelkWeb.persist();
        }
        window.dispatchEvent(new CustomEvent('zelk-saved', {detail: {ok: !err}}));
      });
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
    ZelkWeb.listen(document, 'visibilitychange', function() {
      if (document.visibilityState !== 'visible') ZelkWeb.passNow();
    });
    ZelkWeb.listen(window, 'blur', function(e) {
      if (e.target === window) ZelkWeb.passNow();  // not the blur of an element
    });
    ['keydown', 'keyup', 'mousedown', 'mouseup', 'pointerup', 'touchend', 'click'].forEach(function(type) {
      ZelkWeb.listen(window, type, ZelkWeb.resumeAudio);
    });
  },

  // The first frame is on its way: the page can show the game.
  hx_web_first_frame__deps: ['$ZelkWeb'],
  hx_web_first_frame: function() {
    Module['firstFrameTime'] = performance.now();
    window.dispatchEvent(new CustomEvent('zelk-running'));
  },

  hx_web_persist__deps: ['$ZelkWeb'],
  hx_web_persist: function() { ZelkWeb.persist(); },
});
