// The browser game as an app, in headless Chromium against a server on
// 127.0.0.1 (service workers count 127.0.0.1 as secure): played offline
// after one visit, a new build taking over whole, installable, held upright
// and turned on an emulated phone, saves kept when the page closes at
// once or when the storage cannot be read, and a 16-button game pad.
//   node --test --test-concurrency=1 tests/web/app.test.mjs
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import {after, before, describe, test} from 'node:test';

import * as h from './harness.mjs';

const shots = path.join(h.repo, 'build-web', 'browser-tests');
fs.mkdirSync(shots, {recursive: true});

const SOUND_SFX_STATE = h.FIRST_START_STATE.replace(/^((?:\d+\|){5})1\|/, '$12|').replace('|1483|', '|1488|');

function assertClean(log) {
  assert.deepEqual(log.errors, [], 'console errors');
  assert.deepEqual(log.failedRequests, [], 'failed requests');
}

// A browser on a fresh profile for one test.
async function withBrowser(fn, options) {
  const chromium = await h.launchChromium(options);
  try {
    return await fn(chromium.browser);
  } finally {
    await chromium.close();
  }
}

// The game reads keys and pad buttons as held, once per update: a press
// lasts a few drawn frames (every drawn frame has at least one update), so
// that it counts however slowly the machine draws.
async function press(page, down, up) {
  await down();
  await h.waitFrames(page, 3);
  await up();
  await h.waitFrames(page, 3);
}
const pressKey = (page, key) => press(page, () => page.keyboard.down(key), () => page.keyboard.up(key));

// The options box slides in and out in 30 updates.
const afterPress = (page, key) => h.waitFrames(page, key === 'Enter' ? 40 : 5);

// Title menu -> options box -> the sound line one step on -> closed again,
// which saves. The last key is left to last(key).
async function stepSoundOption(page, last = (key) => pressKey(page, key)) {
  const keys = ['ArrowRight', 'Enter', 'ArrowDown', 'Enter', 'ArrowUp'];
  for (const key of keys) {
    await pressKey(page, key);
    await afterPress(page, key);
  }
  await last('Enter');
}

let server;
before(async () => {
  assert.ok(fs.existsSync(path.join(h.distDir, 'sw.js')), `no web build in ${h.distDir} (bash tools/build-web.sh)`);
  server = await h.startServer();
});
after(async () => {
  if (server) await server.close();
});

describe('offline play', () => {
  test('after one visit the game starts without the network', () => withBrowser(async (browser) => {
    const {page, log} = await h.openGame(browser.defaultBrowserContext(), server.url);
    const build = await h.waitOffline(page);
    await page.setOfflineMode(true);
    const before = server.bytesSent;
    await page.reload();
    await h.waitRunning(page);
    await h.shot(page, path.join(shots, 'offline-title.png'));
    assert.equal(await page.evaluate(() => BUILD), build);
    assert.equal(await page.evaluate(() => !!navigator.serviceWorker.controller), true, 'the worker answers');
    assert.equal(server.bytesSent, before, 'nothing came from the server');
    // And it plays.
    await pressKey(page, 'Enter');
    await h.waitFrames(page, 30);
    assert.ok(h.floorShare(await h.shot(page)) > 0.5, 'a game started');
    assertClean(log);
  }));

  test('a browser without service workers plays online as before', () => withBrowser(async (browser) => {
    const {page, log} = await h.openGame(browser.defaultBrowserContext(), server.url, {
      init: () => { delete Navigator.prototype.serviceWorker; },
    });
    assert.equal(await page.evaluate(() => 'serviceWorker' in navigator), false);
    assert.ok(h.titleShown(await h.shot(page)));
    await h.sleep(500);
    assert.deepEqual(await page.evaluate(() => caches.keys()), [], 'nothing kept offline');
    assertClean(log);
  }));
});

// A copy of the build with a changed zelk.data, named anew.
function makeBuildB(dir) {
  fs.cpSync(h.distDir, dir, {recursive: true});
  fs.appendFileSync(path.join(dir, 'zelk.data'), Buffer.from('another build of the data\n'));
  return execFileSync('bash', [path.join(h.repo, 'tools', 'web', 'stamp.sh'), dir], {encoding: 'utf8'}).trim();
}

const sha = (buffer) => crypto.createHash('sha256').update(buffer).digest('hex');

describe('a new build', () => {
  test('replaces the old one whole at the next reload; no page mixes the two', () => withBrowser(async (browser) => {
    const dirB = fs.mkdtempSync(path.join(os.tmpdir(), 'zelk-build-b-'));
    try {
      const buildB = makeBuildB(dirB);
      const GAME_FILES = ['index.html', 'zelk.js', 'zelk.wasm', 'zelk.data'];
      // The build each file's content belongs to.
      const owner = new Map();
      for (const [dir, name] of [[h.distDir, 'A'], [dirB, 'B']]) {
        for (const f of GAME_FILES) {
          const digest = sha(fs.readFileSync(path.join(dir, f)));
          if (!owner.has(digest)) owner.set(digest, new Set());
          owner.get(digest).add(name);
        }
      }
      const local = await h.startServer(h.distDir);
      try {
        const {page, log} = await h.openGame(browser.defaultBrowserContext(), local.url, {wait: false});
        // Every load's game files, by the build they belong to.
        let loads = [];
        const pending = [];
        page.on('response', (r) => {
          const name = new URL(r.url()).pathname.slice(1) || 'index.html';
          if (!GAME_FILES.includes(name)) return;
          const load = loads[loads.length - 1];
          pending.push(r.buffer().then((b) => load.push({name, builds: owner.get(sha(b)) || new Set(['?'])})));
        });
        const visit = async (how) => {
          loads.push([]);
          await how();
          await h.waitRunning(page);
          await Promise.all(pending);
          const load = loads[loads.length - 1];
          assert.deepEqual(load.map((f) => f.name).sort(), [...GAME_FILES].sort(), 'each file once');
          const common = ['A', 'B'].filter((b) => load.every((f) => f.builds.has(b)));
          assert.equal(common.length, 1, `one build's files: ${JSON.stringify(load.map((f) => [f.name, [...f.builds]]))}`);
          return common[0];
        };
        loads.push([]);
        await h.waitRunning(page);
        await Promise.all(pending);
        const buildA = await h.waitOffline(page);
        assert.notEqual(buildA, buildB);

        local.setDir(dirB);
        // The first reload still comes from the offline copy of A; B is
        // fetched meanwhile and takes over once it has all its files.
        assert.equal(await visit(() => page.reload()), 'A');
        await page.waitForFunction(async (name) => {
          const keys = await caches.keys();
          return keys.length === 1 && keys[0] === name;
        }, {timeout: 30000, polling: 100}, 'zelk-' + buildB);
        assert.equal(await visit(() => page.reload()), 'B');
        assert.equal(await page.evaluate(() => BUILD), buildB);
        await h.shot(page, path.join(shots, 'new-build-title.png'));
        assertClean(log);
      } finally {
        await local.close();
      }
    } finally {
      fs.rmSync(dirB, {recursive: true, force: true});
    }
  }));

  test('a worker whose server gives a file of another build keeps nothing; the game plays online', async () => {
    // The worker checks every file against the digest it was made with: a
    // zelk.data that is not its build's (the server changed it after the
    // build was named, say) is refused, and no cache is made.
    const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'zelk-build-torn-'));
    try {
      makeBuildB(dir);
      fs.appendFileSync(path.join(dir, 'zelk.data'), Buffer.from('changed after naming\n'));
      const local = await h.startServer(dir);
      try {
        await withBrowser(async (browser) => {
          const {page, log} = await h.openGame(browser.defaultBrowserContext(), local.url);
          // The page has registered its worker once the game ran; a new
          // registration is the same worker script installing again.
          const end = await page.evaluate(async () => {
            const r = await navigator.serviceWorker.register('sw.js', {updateViaCache: 'none'});
            const worker = r.installing || r.waiting || r.active;
            if (worker.state === 'installing') {
              await new Promise((resolve) => worker.addEventListener('statechange', () => {
                if (worker.state !== 'installing') resolve();
              }));
            }
            return worker.state;
          });
          assert.equal(end, 'redundant');
          assert.deepEqual(await page.evaluate(() => caches.keys()), []);
          assertClean(log);
        });
      } finally {
        await local.close();
      }
    } finally {
      fs.rmSync(dir, {recursive: true, force: true});
    }
  });
});

describe('installing', () => {
  test("Chromium's installability check finds nothing missing, and the manifest's icons load", () => withBrowser(async (browser) => {
    const {page, log} = await h.openGame(browser.defaultBrowserContext(), server.url);
    await h.waitOffline(page);
    const session = await page.createCDPSession();
    const {installabilityErrors} = await session.send('Page.getInstallabilityErrors');
    assert.deepEqual(installabilityErrors, []);
    const manifest = await session.send('Page.getAppManifest');
    assert.deepEqual(manifest.errors, []);
    const m = JSON.parse(manifest.data);
    assert.equal(m.name, 'Zelk');
    assert.equal(m.short_name, 'Zelk');
    assert.equal(m.display, 'fullscreen');
    assert.deepEqual(m.display_override, ['fullscreen', 'standalone']);
    assert.equal(m.orientation, 'landscape');
    assert.equal(new URL(m.start_url, manifest.url).href, server.url, 'it opens straight into the game');
    const icons = await page.evaluate(async (list) => Promise.all(list.map(async (icon) => {
      const response = await fetch(icon.src);
      const picture = await createImageBitmap(await response.blob());
      return {src: icon.src, purpose: icon.purpose, sizes: icon.sizes, got: `${picture.width}x${picture.height}`};
    })), m.icons);
    for (const icon of icons) assert.equal(icon.got, icon.sizes, icon.src);
    assert.deepEqual(icons.map((i) => i.sizes + ' ' + i.purpose).sort(),
                     ['192x192 any', '512x512 any', '512x512 maskable']);
    assertClean(log);
  }));
});

describe('on a phone', () => {
  const UPRIGHT = {width: 390, height: 844, deviceScaleFactor: 3, hasTouch: true, isMobile: true};
  const SIDEWAYS = {width: 844, height: 390, deviceScaleFactor: 3, hasTouch: true, isMobile: true, isLandscape: true};
  const turnShown = (page) => page.evaluate(() => {
    const panel = document.getElementById('turn');
    const box = panel.getBoundingClientRect();
    return !panel.hidden && getComputedStyle(panel).display !== 'none' && box.width > 0 ? panel.textContent.trim() : null;
  });
  // Two pictures of the game (the page's panel set aside for them) some
  // time apart: the same when the game stands still.
  async function gameStands(page, ms = 800) {
    await page.evaluate(() => { document.getElementById('turn').style.visibility = 'hidden'; });
    const a = await page.screenshot();
    await h.sleep(ms);
    const b = await page.screenshot();
    await page.evaluate(() => { document.getElementById('turn').style.visibility = ''; });
    return Buffer.compare(a, b) === 0;
  }
  const tap = (page, x, y) => press(page, () => page.touchscreen.touchStart(x, y), () => page.touchscreen.touchEnd());

  test('held upright the game waits and asks to be turned; turned, a tap on play starts a game', () => withBrowser(async (browser) => {
    const {page, log} = await h.openGame(browser.defaultBrowserContext(), server.url, {viewport: UPRIGHT, wait: false});
    await page.waitForFunction(() => window.__zelk.running, {timeout: 30000});
    await h.sleep(1000);
    await h.shot(page, path.join(shots, 'phone-upright.png'));
    assert.match(await turnShown(page), /^Turn your phone sideways to play\s+Zelk is paused$/);
    assert.equal(await gameStands(page), true, 'the game does not advance');

    await page.setViewport(SIDEWAYS);
    await h.waitTitle(page);
    await h.shot(page, path.join(shots, 'phone-sideways.png'));
    assert.equal(await turnShown(page), null);
    assert.equal(await gameStands(page), false, 'the game moves again');
    // The play button of this layout.
    await tap(page, 329, 262);
    await h.waitFrames(page, 30);
    const img = await h.shot(page, path.join(shots, 'phone-play.png'));
    assert.ok(h.floorShare(img) > 0.5, `the floor's red covers ${h.floorShare(img)} of the bottom rows`);

    // Upright during play: the game is paused and stands; turned back, it
    // is where it stood, paused, and saved its state meanwhile.
    const saves = await page.evaluate(() => window.__zelk.saves.length);
    await page.setViewport(UPRIGHT);
    await page.waitForFunction(() => !document.getElementById('turn').hidden);
    await h.waitSaved(page, saves + 1);
    assert.equal(await gameStands(page), true, 'play stands while upright');
    await page.setViewport(SIDEWAYS);
    await h.waitFrames(page, 20);
    const back = await h.shot(page, path.join(shots, 'phone-play-turned-back.png'));
    assert.equal(await turnShown(page), null);
    // The pause panel, its resume button in the middle.
    const blue = (r, g, b) => r < 90 && g < 90 && b > 180;
    const resume = h.share(back, [0.46, 0.76, 0.54, 0.86], blue);
    assert.ok(resume > 0.2, `the resume button covers ${resume} of its place`);
    await tap(page, 422, 316);
    await h.waitFrames(page, 40);
    const played = await h.shot(page);
    assert.ok(h.floorShare(played) > 0.5, `back in play: the floor's red covers ${h.floorShare(played)}`);
    assertClean(log);
  }));
});

describe('saves in the browser', () => {
  test('a save followed at once by closing the page is found by a new page', () => withBrowser(async (browser) => {
    const context = browser.defaultBrowserContext();
    const {page, log} = await h.openGame(context, server.url);
    // The last key closes the options box, which saves; the page is closed
    // right after the key, without waiting for anything.
    await stepSoundOption(page, async (key) => {
      await page.keyboard.down(key);
      await h.waitFrames(page, 3);
      await page.keyboard.up(key);
      await page.close();
    });
    assertClean(log);
    const again = await h.openGame(context, server.url);
    assert.equal(await h.stateFile(again.page), SOUND_SFX_STATE);
    assert.equal(await h.storedState(again.page), SOUND_SFX_STATE);
    assertClean(again.log);
  }));

  test('when the storage cannot be read at start-up, no save replaces the stored state', () => withBrowser(async (browser) => {
    const context = browser.defaultBrowserContext();
    const first = await h.openGame(context, server.url);
    await stepSoundOption(first.page);
    assert.equal(await h.waitSaved(first.page, 1), true);
    assert.equal(await h.stateFile(first.page), SOUND_SFX_STATE);
    assert.equal(await h.storedState(first.page), SOUND_SFX_STATE);
    await first.page.close();

    // The next page's first opening of the game's database fails.
    const failOnce = () => {
      const open = IDBFactory.prototype.open;
      IDBFactory.prototype.open = function(name, ...rest) {
        if (name === '/home/zelk' && !window.__failedOnce) {
          window.__failedOnce = true;
          throw new DOMException('The storage is not available.', 'UnknownError');
        }
        return open.call(this, name, ...rest);
      };
    };
    const second = await h.openGame(context, server.url, {init: failOnce});
    assert.equal(await second.page.evaluate(() => window.__failedOnce), true);
    assert.equal(await h.stateFile(second.page), null, 'the game started from its start-up state');
    const warnings = () => second.log.messages.filter((m) => m.type === 'warn' && /^Zelk:/.test(m.text)).map((m) => m.text);
    assert.ok(warnings().some((t) => /could not be read/.test(t)), JSON.stringify(warnings()));
    // A focus loss saves the start-up state: it is not stored.
    const other = await browser.newPage();
    await other.bringToFront();
    assert.equal(await h.waitSaved(second.page, 1), false, 'not handed over');
    await other.close();
    assert.equal(await h.stateFile(second.page), h.FIRST_START_STATE, 'the game saved in the page');
    assert.equal(await h.storedState(second.page), SOUND_SFX_STATE, 'the stored state is kept');
    assert.ok(warnings().some((t) => /not stored/.test(t)), JSON.stringify(warnings()));
    assertClean(second.log);
    await second.page.close();

    const third = await h.openGame(context, server.url);
    assert.equal(await h.stateFile(third.page), SOUND_SFX_STATE, 'the next page finds it');
    assertClean(third.log);
  }));
});

describe('game pads', () => {
  test("a 16-button standard pad's d-pad steers and its triggers do not quit", () => withBrowser(async (browser) => {
    const {page, log} = await h.openGame(browser.defaultBrowserContext(), server.url);
    // The pad is the one stand-in: a standard pad without a centre button,
    // as the browser's Gamepad API gives it.
    await page.evaluate(() => {
      const button = () => ({pressed: false, touched: false, value: 0});
      const pad = {id: 'Test pad (16 buttons, standard)', index: 0, connected: true, mapping: 'standard',
                   timestamp: 0, axes: [0, 0, 0, 0], buttons: Array.from({length: 16}, button)};
      navigator.getGamepads = () => [pad, null, null, null];
      window.__pad = (i, down) => {
        pad.buttons[i] = {pressed: down, touched: down, value: down ? 1 : 0};
        pad.timestamp = performance.now();
      };
    });
    const pressButton = (i) => press(page, () => page.evaluate((b) => window.__pad(b, true), i),
                                     () => page.evaluate((b) => window.__pad(b, false), i));
    await h.waitFrames(page, 5);
    // The triggers and the stick clicks on the title menu: no quitting.
    for (const b of [6, 7, 10, 11]) {
      await pressButton(b);
      await h.waitFrames(page, 5);
    }
    assert.equal(await page.evaluate(() => window.__zelk.stopped), null, 'the game still runs');
    assert.ok(h.titleShown(await h.shot(page)), 'still on the title menu');
    // The d-pad: right to the options, A opens them, down to the sound
    // line, A steps it, up to the closing line, A closes them (and saves).
    const DPAD_UP = 12, DPAD_DOWN = 13, DPAD_RIGHT = 15, A = 0;
    for (const b of [DPAD_RIGHT, A, DPAD_DOWN, A, DPAD_UP, A]) {
      await pressButton(b);
      await h.waitFrames(page, b === A ? 40 : 5);
    }
    assert.equal(await h.waitSaved(page, 1), true);
    assert.equal(await h.stateFile(page), SOUND_SFX_STATE, 'the d-pad went right, down and up');
    assertClean(log);
  }));
});
