// The page on displays of several pixel ratios (a laptop at 125 %, a
// 200 % screen, a phone-like 300 %): the canvas has the device's own
// pixels, the game loads the art for that many pixels, and a click lands on
// the play button where it is drawn.
//   node --test tests/web/scale.test.mjs
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import {after, before, describe, test} from 'node:test';

import * as h from './harness.mjs';

const shots = path.join(h.repo, 'build-web', 'browser-tests');
fs.mkdirSync(shots, {recursive: true});

// The brick strip is the one picture whose size tells the three sets
// apart: 512 x 128 plain, 1024 x 256 "-hd", 2048 x 512 "-hd2".
const BRICKS = {'': '512x128', '-hd': '1024x256', '-hd2': '2048x512'};

// Records the size of every texture the page uploads.
function recordUploads() {
  const uploads = (window.__uploads = []);
  const real = WebGLRenderingContext.prototype.texImage2D;
  WebGLRenderingContext.prototype.texImage2D = function(...args) {
    if (args.length >= 9) uploads.push(`${args[3]}x${args[4]}`);
    return real.apply(this, args);
  };
}

let server, chromium;
before(async () => {
  assert.ok(fs.existsSync(path.join(h.distDir, 'zelk.wasm')), `no web build in ${h.distDir} (bash tools/build-web.sh)`);
  server = await h.startServer();
  chromium = await h.launchChromium();
});
after(async () => {
  if (chromium) await chromium.close();
  if (server) await server.close();
});

describe('scaled displays', () => {
  // A 640 x 480 page (CSS pixels) at each ratio; the game's tier follows
  // the canvas's device pixels as on the desktop.
  for (const [ratio, tier] of [[1.25, ''], [2, '-hd'], [3, '-hd2']]) {
    test(`at ${ratio * 100} %: a ${640 * ratio} x ${480 * ratio} canvas, the "${tier || 'plain'}" art, and a click on play starts a game`, async () => {
      const {page, log} = await h.openGame(chromium.browser.defaultBrowserContext(), server.url, {
        viewport: {width: 640, height: 480, deviceScaleFactor: ratio},
        init: recordUploads,
      });
      try {
        const size = await page.evaluate(() => [Module.canvas.width, Module.canvas.height]);
        assert.deepEqual(size, [Math.round(640 * ratio), Math.round(480 * ratio)], 'canvas in device pixels');
        const uploads = await page.evaluate(() => window.__uploads);
        for (const [t, bricks] of Object.entries(BRICKS)) {
          assert.equal(uploads.includes(bricks), t === tier, `bricks ${bricks} (${t || 'plain'}) uploaded: ${uploads.join(' ')}`);
        }
        const title = await h.shot(page, path.join(shots, `scaled-title@${ratio}.png`));
        assert.ok(h.titleShown(title), 'the title menu fills the page');
        // The big play button of the 640 x 480 title menu, in CSS pixels.
        await page.mouse.move(250, 384);
        await page.mouse.down();
        await h.sleep(150);
        await page.mouse.up();
        await h.waitFrames(page, 30);
        const play = await h.shot(page, path.join(shots, `scaled-play@${ratio}.png`));
        assert.ok(h.floorShare(play) > 0.5, `the floor's red covers ${h.floorShare(play)} of the bottom rows`);
        assert.deepEqual(log.errors, [], 'console errors');
      } finally {
        await page.close();
      }
    });
  }
});
