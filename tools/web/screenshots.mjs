// The README's browser pictures, taken from the real page in headless
// Chromium: the title menu and play at 1280 x 720, and a phone (390 x 844
// at 3 device pixels per CSS pixel, touch) held upright and turned.
//   bash tools/web/screenshots.sh
import fs from 'node:fs';
import path from 'node:path';

import * as h from '../../tests/web/harness.mjs';

const out = path.join(h.repo, 'docs');
const server = await h.startServer();
const {browser, close} = await h.launchChromium();
try {
  const {page} = await h.openGame(browser.defaultBrowserContext(), server.url, {width: 1280, height: 720});
  await h.sleep(1500);  // the title's stars and the menu settle
  fs.writeFileSync(path.join(out, 'web-menu-1280x720.png'), await page.screenshot());
  await h.hold(page, 'Enter');
  await h.sleep(1200);
  // A few flaps to the right, so that the picture shows play.
  await page.keyboard.down('ArrowRight');
  for (let i = 0; i < 4; ++i) {
    await h.hold(page, 'ArrowUp', 150);
    await h.sleep(250);
  }
  await page.keyboard.up('ArrowRight');
  await h.sleep(300);
  fs.writeFileSync(path.join(out, 'web-play-1280x720.png'), await page.screenshot());
  await page.close();

  const phone = {width: 390, height: 844, deviceScaleFactor: 3, hasTouch: true, isMobile: true};
  const {page: held} = await h.openGame(browser.defaultBrowserContext(), server.url, {viewport: phone, wait: false});
  await held.waitForFunction(() => window.__zelk.running, {timeout: 30000});
  await h.sleep(1000);
  fs.writeFileSync(path.join(out, 'web-phone-portrait.png'), await held.screenshot());
  await held.setViewport({...phone, width: 844, height: 390, isLandscape: true});
  await h.waitTitle(held);
  await h.sleep(1500);
  fs.writeFileSync(path.join(out, 'web-phone-landscape.png'), await held.screenshot());
  console.log('docs/web-menu-1280x720.png, docs/web-play-1280x720.png, ' +
              'docs/web-phone-portrait.png, docs/web-phone-landscape.png');
} finally {
  await close();
  await server.close();
}
