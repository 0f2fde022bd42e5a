// What the browser tests share: a static server for dist/web on 127.0.0.1,
// Debian's Chromium headless (WebGL through SwiftShader), a page with the
// game and what it reports (console, errors, WebGL draw calls per frame,
// audio sources started, saves), held keys, the stored state, and the
// screenshots' pixels.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import {fileURLToPath} from 'node:url';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
export const repo = path.resolve(here, '..', '..');
export const distDir = process.env.ZELK_WEB_DIST || path.join(repo, 'dist', 'web');

// The game's first-start state: the options with their start-up rules,
// checksum 1483, no badges, empty score lists (57 fields, each with "|").
export const FIRST_START_STATE =
    '0|0|0|0|0|1|0|0|0|0|64|64|10|0|1|0|0|0|0|0|0|0|0|0|0|1483|' + '0|'.repeat(9) + '0|'.repeat(21);

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.wasm': 'application/wasm',
  '.data': 'application/octet-stream',
  '.png': 'image/png',
  '.json': 'application/json',
};

// Serves dir on 127.0.0.1 at a free port. slow: {file, bytesPerChunk, ms}
// sends that file in chunks, one every ms milliseconds. The server counts
// the bytes of the bodies it sends (bytesSent) and can serve another
// folder from then on (setDir).
export async function startServer(dir = distDir, {slow} = {}) {
  const counts = {bytesSent: 0};
  const server = http.createServer((req, res) => {
    let name = decodeURIComponent(new URL(req.url, 'http://127.0.0.1').pathname);
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(dir, path.normalize(name));
    if (!file.startsWith(dir + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    const body = fs.readFileSync(file);
    counts.bytesSent += body.length;
    res.writeHead(200, {
      'content-type': TYPES[path.extname(file)] || 'application/octet-stream',
      'content-length': body.length,
      'cache-control': 'no-store',
    });
    if (!slow || path.basename(file) !== slow.file) {
      res.end(body);
      return;
    }
    let at = 0;
    const next = () => {
      if (res.destroyed) return;
      const end = Math.min(body.length, at + slow.bytesPerChunk);
      res.write(body.subarray(at, end));
      at = end;
      if (at < body.length) setTimeout(next, slow.ms);
      else res.end();
    };
    next();
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  const url = `http://127.0.0.1:${server.address().port}/`;
  return {
    url,
    get bytesSent() { return counts.bytesSent; },
    setDir: (d) => { dir = d; },
    close: () => new Promise((resolve) => server.close(resolve)),
  };
}

// Debian's Chromium, headless, on a fresh profile of its own. WebGL runs on
// SwiftShader; the closed network here refuses the browser's own
// background connections, so they are switched off.
export async function launchChromium({extraArgs = []} = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zelk-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.ZELK_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: [
      '--no-sandbox',
      '--use-angle=swiftshader',
      '--enable-unsafe-swiftshader',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
      '--no-first-run',
      '--disable-quic',
      '--disable-background-timer-throttling',
      '--disable-renderer-backgrounding',
      '--window-size=1024,768',
      ...extraArgs,
    ],
  });
  const close = async () => {
    await browser.close();
    fs.rmSync(profile, {recursive: true, force: true});
  };
  return {browser, close};
}

// Watches the page from before its own scripts run: WebGL draw calls per
// animation frame, audio buffers started, and the page's zelk-* events.
function instrument() {
  const z = (window.__zelk = {
    drawCalls: 0,
    frames: [],  // draw calls of each animation frame that drew anything
    starts: [],  // audio buffers started: duration, start time, context state
    saves: [],   // true / false per hand-over of the saved state
    running: false,
    stopped: null,
    keys: [],    // keydown events as the page sees them after the game
  });
  for (const proto of [WebGLRenderingContext.prototype]) {
    for (const name of ['drawArrays', 'drawElements']) {
      const real = proto[name];
      proto[name] = function(...args) {
        z.drawCalls++;
        return real.apply(this, args);
      };
    }
  }
  const tick = () => {
    if (z.drawCalls > 0) z.frames.push(z.drawCalls);
    z.drawCalls = 0;
    requestAnimationFrame(tick);
  };
  requestAnimationFrame(tick);
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function(when, ...rest) {
    z.starts.push({
      duration: this.buffer ? this.buffer.duration : 0,
      when: when || 0,
      state: this.context.state,
      context: this.context,
    });
    return start.call(this, when, ...rest);
  };
  window.addEventListener('zelk-running', () => { z.running = true; });
  window.addEventListener('zelk-saved', (e) => z.saves.push(e.detail.ok));
  window.addEventListener('zelk-stopped', (e) => { z.stopped = e.detail.status; });
  window.addEventListener('keydown', (e) => z.keys.push({key: e.key, prevented: e.defaultPrevented}));
}

// A page in context (a browser context: its own storage) with the game
// loaded and its first frame shown. log collects the console and errors.
// viewport, when given, replaces width and height (puppeteer's viewport:
// a phone's touch and pixel ratio, say); init, when given, runs in the page
// before its own scripts.
export async function openGame(context, url, {width = 800, height = 600, wait = true, viewport, init} = {}) {
  const page = await context.newPage();
  const log = {messages: [], errors: [], failedRequests: []};
  page.on('console', (m) => {
    log.messages.push({type: m.type(), text: m.text()});
    if (m.type() === 'error') log.errors.push(m.text());
  });
  page.on('pageerror', (e) => log.errors.push('page error: ' + e.message));
  page.on('requestfailed', (r) => log.failedRequests.push(r.url()));
  page.on('response', (r) => {
    if (r.status() >= 400) log.failedRequests.push(`${r.status()} ${r.url()}`);
  });
  await page.setViewport(viewport || {width, height});
  await page.evaluateOnNewDocument(instrument);
  if (init) await page.evaluateOnNewDocument(init);
  await page.bringToFront();
  await page.goto(url);
  if (wait) await waitRunning(page);
  return {page, log};
}

// Waits until the page's build is kept for offline play: its service
// worker is active (it has fetched and checked every file of the build
// before that) and its cache is there. Gives the build's name.
export async function waitOffline(page, timeout = 30000) {
  const build = await page.evaluate(() => BUILD);
  await page.waitForFunction(async (name) => {
    const registration = await navigator.serviceWorker.getRegistration();
    return !!(registration && registration.active && registration.active.state === 'activated' &&
              (await caches.keys()).includes(name));
  }, {timeout, polling: 100}, 'zelk-' + build);
  return build;
}

// Waits for the game's first frame, then for the title menu (after the
// loading screen).
export async function waitRunning(page) {
  await page.waitForFunction(() => window.__zelk && window.__zelk.running, {timeout: 30000});
  await waitTitle(page);
}

export async function waitTitle(page, timeout = 30000) {
  const end = Date.now() + timeout;
  for (;;) {
    const img = await shot(page);
    if (titleShown(img)) return img;
    if (Date.now() > end) throw new Error(`no title menu after ${timeout} ms (logo ${logoShare(img)})`);
    await sleep(100);
  }
}

// An expression evaluated in the page without counting as the player's
// gesture (page.evaluate counts as one, and a gesture lets audio start).
export async function evaluateQuietly(page, expression) {
  const session = await page.createCDPSession();
  try {
    const r = await session.send('Runtime.evaluate', {expression, returnByValue: true, userGesture: false});
    if (r.exceptionDetails) throw new Error(r.exceptionDetails.text);
    return r.result.value;
  } finally {
    await session.detach();
  }
}

// Waits until the game has drawn n more frames.
export async function waitFrames(page, n) {
  const from = await page.evaluate(() => window.__zelk.frames.length);
  await page.waitForFunction((target) => window.__zelk.frames.length >= target, {timeout: 30000}, from + n);
}

// Holds a key for a while: the game reads keys as held, once per update.
export async function hold(page, key, ms = 120) {
  await page.keyboard.down(key);
  await sleep(ms);
  await page.keyboard.up(key);
  await sleep(60);
}

// The saved state as the browser's storage (IndexedDB) holds it, or null.
export async function storedState(page) {
  return page.evaluate(() => new Promise((resolve, reject) => {
    const open = indexedDB.open('/home/zelk');
    open.onerror = () => reject(open.error);
    open.onsuccess = () => {
      const db = open.result;
      if (!db.objectStoreNames.contains('FILE_DATA')) {
        db.close();
        resolve(null);
        return;
      }
      const get = db.transaction('FILE_DATA').objectStore('FILE_DATA').get('/home/zelk/.quollstate');
      get.onsuccess = () => {
        db.close();
        resolve(get.result ? new TextDecoder().decode(get.result.contents) : null);
      };
      get.onerror = () => reject(get.error);
    };
  }));
}

// The state file as the running game sees it ("./.quollstate"), or null.
export async function stateFile(page) {
  return page.evaluate(() => {
    try {
      return FS.readFile('/home/zelk/.quollstate', {encoding: 'utf8'});
    } catch (e) {
      return null;
    }
  });
}

// Waits for the n-th hand-over of the saved state (counting from 1) and
// gives whether it succeeded.
export async function waitSaved(page, n) {
  await page.waitForFunction((k) => window.__zelk.saves.length >= k, {timeout: 15000}, n);
  return page.evaluate((k) => window.__zelk.saves[k - 1], n);
}

// ---- screenshots ----

export async function shot(page, file) {
  const png = await page.screenshot({type: 'png'});
  if (file) fs.writeFileSync(file, png);
  return decodePng(png);
}

// An 8-bit RGB or RGBA PNG (what Chromium writes) as RGBA pixels.
export function decodePng(buffer) {
  let at = 8;
  let width = 0, height = 0, channels = 0;
  const data = [];
  while (at < buffer.length) {
    const length = buffer.readUInt32BE(at);
    const type = buffer.toString('latin1', at + 4, at + 8);
    const body = buffer.subarray(at + 8, at + 8 + length);
    if (type === 'IHDR') {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      if (body[8] !== 8 || body[12] !== 0) throw new Error('only 8-bit non-interlaced PNGs');
      channels = {2: 3, 6: 4}[body[9]];
      if (!channels) throw new Error('only RGB and RGBA PNGs');
    } else if (type === 'IDAT') {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = zlib.inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const rgba = Buffer.alloc(width * height * 4);
  let prev = Buffer.alloc(stride);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = Buffer.from(raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1)));
    for (let i = 0; i < stride; ++i) {
      const a = i >= channels ? line[i - channels] : 0;
      const b = prev[i];
      const c = i >= channels ? prev[i - channels] : 0;
      let add = 0;
      if (filter === 1) add = a;
      else if (filter === 2) add = b;
      else if (filter === 3) add = (a + b) >> 1;
      else if (filter === 4) {
        const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
        add = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
      }
      line[i] = (line[i] + add) & 255;
    }
    for (let x = 0; x < width; ++x) {
      const o = (y * width + x) * 4;
      rgba[o] = line[x * channels];
      rgba[o + 1] = line[x * channels + 1];
      rgba[o + 2] = line[x * channels + 2];
      rgba[o + 3] = channels === 4 ? line[x * channels + 3] : 255;
    }
    prev = line;
  }
  return {width, height, rgba};
}

// The share (0..1) of the pixels in the rectangle for which test(r, g, b)
// holds; the rectangle is in fractions of the picture (x0, y0, x1, y1).
export function share(img, [x0, y0, x1, y1], test) {
  const xa = Math.floor(x0 * img.width), xb = Math.ceil(x1 * img.width);
  const ya = Math.floor(y0 * img.height), yb = Math.ceil(y1 * img.height);
  let hits = 0, all = 0;
  for (let y = ya; y < yb; ++y) {
    for (let x = xa; x < xb; ++x) {
      const o = (y * img.width + x) * 4;
      if (test(img.rgba[o], img.rgba[o + 1], img.rgba[o + 2])) hits++;
      all++;
    }
  }
  return all ? hits / all : 0;
}

// Colours of the game's pictures.
export const orange = (r, g, b) => r > 200 && g > 90 && g < 210 && b < 90;  // the title's logo
export const red = (r, g, b) => r > 180 && g < 70 && b < 70;                 // the floor in play
export const green = (r, g, b) => g > 150 && r < 140 && b < 110;             // grass, the play button
// How much of the logo's place the logo covers (the title menu's logo keeps
// to the upper left in every layout), and of the bottom rows the floor.
export const logoShare = (img) => share(img, [0.15, 0.05, 0.55, 0.33], orange);
export const floorShare = (img) => share(img, [0, 0.99, 1, 1], red);
// The title menu: the logo above, the grass and the play button below.
export const titleShown = (img) => logoShare(img) > 0.15 && share(img, [0, 0.5, 1, 1], green) > 0.02;
