// Zelk's page in headless Chromium (Debian's, WebGL on SwiftShader), served
// from dist/web on 127.0.0.1 and driven through the DevTools protocol with
// real key presses. Each test starts a browser on a fresh profile; the
// persistence tests reload and revisit within that profile.
//   node --test --test-concurrency=1 tests/web/
import assert from 'node:assert/strict';
import {spawn} from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import {after, afterEach, before, beforeEach, describe, test} from 'node:test';

import * as h from './harness.mjs';

// Screenshots the tests take, for a look afterwards.
const shots = path.join(h.repo, 'build-web', 'browser-tests');
fs.mkdirSync(shots, {recursive: true});

// The first-start state after the sound option went from 1 to 2
// (options checksum 1483 + 5).
const SOUND_SFX_STATE = h.FIRST_START_STATE.replace(/^((?:\d+\|){5})1\|/, '$12|').replace('|1483|', '|1488|');

// The start-up jingle (sound 96) lasts as long as its WAV file's data.
function wavSeconds(file) {
  const b = fs.readFileSync(file);
  let at = 12, rate = 0, frameBytes = 0;
  while (at + 8 <= b.length) {
    const id = b.toString('latin1', at, at + 4), size = b.readUInt32LE(at + 4);
    if (id === 'fmt ') {
      rate = b.readUInt32LE(at + 12);
      frameBytes = b.readUInt16LE(at + 20);
    }
    if (id === 'data') return size / frameBytes / rate;
    at += 8 + size + (size & 1);
  }
  throw new Error('no data chunk in ' + file);
}
const JINGLE_SECONDS = wavSeconds(path.join(h.repo, 'data', 'sfx', '096.wav'));

function assertClean(log) {
  assert.deepEqual(log.errors, [], 'console errors');
  assert.deepEqual(log.failedRequests, [], 'failed requests');
}

const {logoShare, floorShare} = h;

async function frameCount(page) {
  return page.evaluate(() => window.__zelk.frames.length);
}

// Another tab in front: the game's page is hidden and loses the focus.
async function hideBehindAnotherTab(browser, page) {
  const other = await browser.newPage();
  await other.bringToFront();
  await page.waitForFunction(() => document.visibilityState === 'hidden');
  return other;
}

// Title menu -> options box -> the sound line one step on -> closed again,
// which saves.
async function stepSoundOption(page) {
  for (const key of ['ArrowRight', 'Enter', 'ArrowDown', 'Enter', 'ArrowUp', 'Enter']) {
    await h.hold(page, key);
    await h.sleep(key === 'Enter' ? 700 : 250);  // the box slides in and out
  }
}

let server;
let chromium;
before(async () => {
  assert.ok(fs.existsSync(path.join(h.distDir, 'zelk.wasm')), `no web build in ${h.distDir} (bash tools/build-web.sh)`);
  server = await h.startServer();
});
after(async () => {
  if (server) await server.close();
});

describe('the game in the page', () => {
  // One browser; every test opens the game afresh in a page of its own.
  let page, log;
  before(async () => { chromium = await h.launchChromium(); });
  beforeEach(async () => { ({page, log} = await h.openGame(chromium.browser.defaultBrowserContext(), server.url)); });
  afterEach(async () => page.close());
  after(async () => chromium.close());

  test('the title menu is drawn, the page steps aside and the canvas has the keyboard', async () => {
    const img = await h.shot(page, path.join(shots, 'title-menu.png'));
    assert.ok(h.titleShown(img), `logo ${logoShare(img)} of its place`);
    const state = await page.evaluate(() => ({
      loadingHidden: document.getElementById('loading').hidden,
      focused: document.activeElement === document.getElementById('canvas'),
      size: [Module.canvas.width, Module.canvas.height],
      firstFrame: Module.firstFrameTime,
    }));
    assert.equal(state.loadingHidden, true);
    assert.equal(state.focused, true);
    assert.deepEqual(state.size, [800, 600]);
    assert.equal(typeof state.firstFrame, 'number');
    assertClean(log);
  });

  test("the game's keys neither scroll nor navigate; the browser keeps its shortcuts", async () => {
    const url = page.url();
    const keys = ['ArrowDown', 'ArrowUp', 'PageDown', 'End', ' ', 'Backspace', 'Tab', 'F1', 'F5', 'F12'];
    await page.evaluate(() => { window.__zelk.keys = []; });
    for (const key of keys) await h.hold(page, key, 60);
    await page.keyboard.down('Control');
    await h.hold(page, 'a', 60);
    await page.keyboard.up('Control');
    const seen = await page.evaluate(() => window.__zelk.keys);
    for (const key of keys) {
      const k = seen.find((e) => e.key === key);
      assert.ok(k, `keydown ${key} seen`);
      assert.equal(k.prevented, true, `${key} is the game's`);
    }
    assert.equal(seen.find((e) => e.key === 'a').prevented, false, 'Ctrl+A stays the browser\'s');
    const after = await page.evaluate(() => ({
      scroll: [window.scrollX, window.scrollY],
      focused: document.activeElement === document.getElementById('canvas'),
    }));
    assert.deepEqual(after.scroll, [0, 0]);
    assert.equal(after.focused, true, 'Tab leaves the keyboard with the canvas');
    assert.equal(page.url(), url);
    assertClean(log);
  });

  test('the canvas fills the window in device pixels, whatever its shape', async () => {
    for (const [width, height, ratio] of [[480, 720, 1], [640, 360, 2], [800, 600, 1]]) {
      await page.setViewport({width, height, deviceScaleFactor: ratio});
      await h.waitFrames(page, 5);
      const size = await page.evaluate(() => [Module.canvas.width, Module.canvas.height]);
      assert.deepEqual(size, [width * ratio, height * ratio], `${width} x ${height} at ${ratio}x`);
      // The game loads its pictures for the new size and shows the title
      // menu in the layout for that shape.
      const img = await h.waitTitle(page);
      fs.writeFileSync(path.join(shots, `title-${width}x${height}@${ratio}.png`), await page.screenshot());
      assert.ok(h.titleShown(img));
    }
    assertClean(log);
  });

  // The big play button of the 800 x 600 title menu, in CSS pixels; at
  // twice the pixel ratio the game sees twice these numbers.
  for (const how of ['a click', 'a touch']) {
    test(`${how} on the play button starts a game; one on the sky does not`, async () => {
      await page.setViewport({width: 800, height: 600, deviceScaleFactor: 2, hasTouch: how === 'a touch'});
      await h.waitTitle(page);
      const press = async (x, y) => {
        if (how === 'a click') {
          await page.mouse.move(x, y);
          await page.mouse.down();
          await h.sleep(150);
          await page.mouse.up();
        } else {
          await page.touchscreen.touchStart(x, y);
          await h.sleep(150);
          await page.touchscreen.touchEnd();
        }
        await h.sleep(300);
      };
      await press(600, 250);
      await h.waitFrames(page, 20);
      assert.ok(h.titleShown(await h.shot(page)), 'still on the title menu');
      await press(312, 478);
      await h.waitFrames(page, 30);
      const img = await h.shot(page, path.join(shots, `play-by-${how.split(' ')[1]}.png`));
      assert.ok(floorShare(img) > 0.5, `the floor's red covers ${floorShare(img)} of the bottom rows`);
      assertClean(log);
    });
  }

  test("a game pad's A button starts a game", async () => {
    // The pad itself is the one stand-in: a standard pad in the browser's
    // Gamepad API, whose buttons the test presses.
    await page.evaluate(() => {
      const button = () => ({pressed: false, touched: false, value: 0});
      const pad = {id: 'Test pad (standard)', index: 0, connected: true, mapping: 'standard',
                   timestamp: 0, axes: [0, 0, 0, 0], buttons: Array.from({length: 17}, button)};
      navigator.getGamepads = () => [pad, null, null, null];
      window.__pad = (i, down) => {
        pad.buttons[i] = {pressed: down, touched: down, value: down ? 1 : 0};
        pad.timestamp = performance.now();
      };
    });
    await h.waitFrames(page, 5);
    await page.evaluate(() => window.__pad(0, true));
    await h.sleep(150);
    await page.evaluate(() => window.__pad(0, false));
    await h.waitFrames(page, 30);
    const img = await h.shot(page, path.join(shots, 'play-by-pad.png'));
    assert.ok(floorShare(img) > 0.5, `the floor's red covers ${floorShare(img)} of the bottom rows`);
    assertClean(log);
  });

  test('Enter starts a game and the red floor appears', async () => {
    await h.hold(page, 'Enter');
    await h.waitFrames(page, 30);
    const img = await h.shot(page, path.join(shots, 'play.png'));
    assert.ok(floorShare(img) > 0.5, `the floor's red covers ${floorShare(img)} of the bottom rows`);
    assert.ok(logoShare(img) < 0.01, 'the title is gone');
    assertClean(log);
  });
});

describe('sound', () => {
  test('the first key resumes the audio, and the start-up jingle plays then', async () => {
    const {browser, close} = await h.launchChromium();
    try {
      // Nothing here may count as a gesture before the key: the page is
      // only looked at (screenshots, quiet evaluations).
      const {page, log} = await h.openGame(browser.defaultBrowserContext(), server.url, {wait: false});
      const jingle = `window.__zelk.starts.find((s) => Math.abs(s.duration - ${JINGLE_SECONDS}) < 0.01)`;
      const end = Date.now() + 30000;
      while (!(await h.evaluateQuietly(page, `!!${jingle}`))) {
        assert.ok(Date.now() < end, 'the jingle is started while the game loads');
        await h.sleep(50);
      }
      await h.waitTitle(page);
      // Started before any gesture, so the browser holds the audio back.
      const before = await h.evaluateQuietly(page, `(() => {
        const j = ${jingle};
        return {startedIn: j.state, now: j.context.state, time: j.context.currentTime};
      })()`);
      assert.deepEqual(before, {startedIn: 'suspended', now: 'suspended', time: 0});
      await h.hold(page, 'q');
      // The key resumed it: running, and its clock has passed the jingle's start.
      await page.waitForFunction((seconds) => {
        const j = window.__zelk.starts.find((s) => Math.abs(s.duration - seconds) < 0.01);
        return j.context.state === 'running' && j.context.currentTime > j.when + 0.2;
      }, {timeout: 10000}, JINGLE_SECONDS);
      assertClean(log);
    } finally {
      await close();
    }
  });
});

describe('the saved state', () => {
  test('a focus loss saves; a reload and a new visit find exactly the first-start state', async () => {
    const {browser, close} = await h.launchChromium();
    try {
      let {page, log} = await h.openGame(browser.defaultBrowserContext(), server.url);
      assert.equal(await h.storedState(page), null, 'a fresh profile holds no state');
      const other = await hideBehindAnotherTab(browser, page);
      assert.equal(await h.waitSaved(page, 1), true, 'handed over to the storage');
      assert.equal(await h.storedState(page), h.FIRST_START_STATE);
      // Back in front: the game resumes.
      await page.bringToFront();
      await page.waitForFunction(() => document.hasFocus() && document.visibilityState === 'visible');
      await h.waitFrames(page, 10);
      await other.close();

      await page.reload();
      await h.waitRunning(page);
      const lines = log.messages.map((m) => m.text);
      for (const line of ['Settings Loaded', 'Badges Loaded', 'Highscore 0 Loaded'])
        assert.ok(lines.includes(line), `"${line}" after the reload`);
      assert.equal(await h.stateFile(page), h.FIRST_START_STATE);
      assertClean(log);
      await page.close();

      // A new visit in the same browser.
      ({page, log} = await h.openGame(browser.defaultBrowserContext(), server.url));
      assert.ok(log.messages.some((m) => m.text === 'Settings Loaded'));
      assert.equal(await h.stateFile(page), h.FIRST_START_STATE);
      assertClean(log);
    } finally {
      await close();
    }
  });

  test('a failed hand-over to the storage keeps the state stored before; the next one stores the new', async () => {
    const {browser, close} = await h.launchChromium();
    try {
      const {page, log} = await h.openGame(browser.defaultBrowserContext(), server.url);
      const other = await hideBehindAnotherTab(browser, page);
      assert.equal(await h.waitSaved(page, 1), true);
      await page.bringToFront();
      await page.waitForFunction(() => document.hasFocus());
      await other.close();

      // The browser now refuses to store anything (a full disk, say).
      await page.evaluate(() => {
        IDBObjectStore.prototype.put = function() {
          throw new DOMException('The quota has been exceeded.', 'QuotaExceededError');
        };
      });
      await stepSoundOption(page);
      assert.equal(await h.waitSaved(page, 2), false, 'the hand-over failed');
      assert.equal(await h.stateFile(page), SOUND_SFX_STATE, 'the game saved its new settings');
      assert.equal(await h.storedState(page), h.FIRST_START_STATE, 'the storage kept the old state');
      assert.ok(log.messages.some((m) => m.type === 'warn' && /previously stored state is kept/.test(m.text)));

      await page.reload();
      await h.waitRunning(page);
      assert.equal(await h.stateFile(page), h.FIRST_START_STATE, 'the reload finds the state stored before');

      // Storing works again: the same change is kept this time.
      await stepSoundOption(page);
      assert.equal(await h.waitSaved(page, 1), true);
      assert.equal(await h.storedState(page), SOUND_SFX_STATE);
      await page.reload();
      await h.waitRunning(page);
      assert.equal(await h.stateFile(page), SOUND_SFX_STATE);
      assert.ok(log.messages.some((m) => m.text === 'Settings Loaded'));
      assertClean(log);
    } finally {
      await close();
    }
  });
});

describe('fullscreen and quitting', () => {
  let chromiumFs;
  before(async () => { chromiumFs = await h.launchChromium(); });
  after(async () => chromiumFs.close());

  const isFullscreen = (page) => page.evaluate(() => !!document.fullscreenElement);

  test("F11 uses the browser's fullscreen; leaving it the browser's way switches the game back", async () => {
    const {page, log} = await h.openGame(chromiumFs.browser.defaultBrowserContext(), server.url);
    await h.hold(page, 'F11');
    await page.waitForFunction(() => !!document.fullscreenElement, {timeout: 5000});
    // The game's pictures are there again after the switch (a new window
    // starts without textures).
    await h.waitTitle(page, 10000);
    await h.shot(page, path.join(shots, 'title-fullscreen.png'));

    // Escape, or the browser's own controls, leave fullscreen without the
    // game: the game is told, so the next F11 enters fullscreen again.
    await page.evaluate(() => document.exitFullscreen());
    await h.waitFrames(page, 10);
    assert.equal(await isFullscreen(page), false);
    await h.hold(page, 'F11');
    await page.waitForFunction(() => !!document.fullscreenElement, {timeout: 5000});
    await h.hold(page, 'F11');
    await page.waitForFunction(() => !document.fullscreenElement, {timeout: 5000});
    await h.waitTitle(page, 10000);
    assertClean(log);
    await page.close();
  });

  test("the options box's screen line uses the browser's fullscreen", async () => {
    const {page, log} = await h.openGame(chromiumFs.browser.defaultBrowserContext(), server.url);
    for (const key of ['ArrowRight', 'Enter', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'Enter']) {
      await h.hold(page, key);
      await h.sleep(key === 'Enter' ? 700 : 250);
    }
    await page.waitForFunction(() => !!document.fullscreenElement, {timeout: 5000});
    assertClean(log);
    await page.close();
  });

  for (const [name, key] of [['F4', 'F4'], ['back on the title menu (Escape)', 'Escape']]) {
    test(`quitting with ${name} stops the game and thanks the player`, async () => {
      const {page, log} = await h.openGame(chromiumFs.browser.defaultBrowserContext(), server.url);
      await h.hold(page, key);
      await page.waitForFunction(() => window.__zelk.stopped !== null, {timeout: 5000});
      assert.equal(await page.evaluate(() => window.__zelk.stopped), 0);
      const shown = await page.evaluate(() => {
        const panel = document.getElementById('stopped');
        return panel.hidden ? null : panel.textContent.trim();
      });
      assert.equal(shown, 'Thanks for playing, reload to play again');
      await h.shot(page, path.join(shots, `stopped-${key}.png`));
      // No more frames, and the keys are the page's again.
      const frames = await frameCount(page);
      await h.sleep(500);
      assert.equal(await frameCount(page), frames, 'the loop has stopped');
      await page.evaluate(() => { window.__zelk.keys = []; });
      await h.hold(page, 'ArrowDown', 60);
      assert.equal((await page.evaluate(() => window.__zelk.keys))[0].prevented, false);
      assertClean(log);
      await page.close();
    });
  }
});

describe('loading', () => {
  test('a progress bar shows while the data downloads', async () => {
    const size = fs.statSync(path.join(h.distDir, 'zelk.data')).size;
    // About 2 s for the packed data.
    const slow = await h.startServer(h.distDir, {slow: {file: 'zelk.data', bytesPerChunk: Math.ceil(size / 80), ms: 25}});
    const {browser, close} = await h.launchChromium();
    try {
      const {page, log} = await h.openGame(browser.defaultBrowserContext(), slow.url, {wait: false});
      const seen = new Set();
      let text = '';
      for (;;) {
        const bar = await page.evaluate(() => ({
          running: !!(window.__zelk && window.__zelk.running),
          now: Number(document.getElementById('bar').getAttribute('aria-valuenow')),
          text: document.getElementById('status').textContent,
          shown: !document.getElementById('loading').hidden,
        }));
        if (bar.running) break;
        assert.equal(bar.shown, true);
        seen.add(bar.now);
        if (bar.now > 0 && bar.now < 100) text = bar.text;
        await h.sleep(50);
      }
      const between = [...seen].filter((v) => v > 0 && v < 100);
      assert.ok(between.length >= 3, `the bar moved through ${[...seen].sort((a, b) => a - b)}`);
      assert.match(text, /^Loading… \d+\.\d of \d+\.\d MB$/);
      await h.waitRunning(page);
      assert.equal(await page.evaluate(() => document.getElementById('loading').hidden), true);
      assertClean(log);
    } finally {
      await close();
      await slow.close();
    }
  });

  test('without WebGL the page says so and the game does not start', async () => {
    const {browser, close} = await h.launchChromium({extraArgs: ['--disable-webgl']});
    try {
      const {page, log} = await h.openGame(browser.defaultBrowserContext(), server.url, {wait: false});
      await page.waitForFunction(() => /WebGL/.test(document.getElementById('status').textContent), {timeout: 10000});
      assert.equal(await page.evaluate(() => document.getElementById('status').textContent),
                   'Zelk needs a browser with WebGL.');
      await h.sleep(1500);
      assert.equal(await page.evaluate(() => window.__zelk.running), false);
      assert.deepEqual(log.errors.filter((e) => /page error/.test(e)), [], 'no script errors');
    } finally {
      await close();
    }
  });

  test("the README's way: python3 -m http.server in dist/web", async () => {
    const python = spawn('python3', ['-m', 'http.server', '0', '--bind', '127.0.0.1'],
                         {cwd: h.distDir, stdio: ['ignore', 'pipe', 'pipe']});
    try {
      const port = await new Promise((resolve, reject) => {
        let out = '';
        python.stdout.on('data', (d) => {
          out += d;
          const m = /port (\d+)/.exec(out);
          if (m) resolve(Number(m[1]));
        });
        python.on('exit', (code) => reject(new Error(`http.server ended with ${code}`)));
      });
      const {browser, close} = await h.launchChromium();
      try {
        const {page, log} = await h.openGame(browser.defaultBrowserContext(), `http://127.0.0.1:${port}/`);
        assert.ok(h.titleShown(await h.shot(page)));
        assertClean(log);
        // Streaming compilation needs the server's type for .wasm files.
        assert.ok(!log.messages.some((m) => /MIME|falling back/i.test(m.text)), 'the wasm file streams');
      } finally {
        await close();
      }
    } finally {
      python.kill();
    }
  });
});
