// Size and speed of the web build, measured in headless Chromium (Debian's,
// WebGL on SwiftShader) against a server on 127.0.0.1:
// - the size of dist/web, file by file;
// - the time from the page's start (navigation) to the game's first frame,
//   and to the title menu after the loading screen, over several first
//   visits (a fresh browser profile each time, nothing cached): in a browser
//   that is running already, as a player's is (started, and settled: its
//   processes idle), and, for comparison, straight after the browser's
//   start, while its own start-up (its GPU process among others) still
//   takes the machine's cores;
// - the same for the second visit (a new page in the same profile, once the
//   service worker keeps the build), with the bytes the server sent for it;
// - WebGL draw calls per drawn frame in the title menu and in play, and the
//   interval between drawn frames.
//   bash bench/web/run.sh [--loads N] [--seconds S]
import fs from 'node:fs';
import path from 'node:path';

import * as h from '../../tests/web/harness.mjs';

const args = process.argv.slice(2);
const option = (name, value) => {
  const i = args.indexOf(name);
  return i >= 0 ? Number(args[i + 1]) : value;
};
const loads = option('--loads', 5);
const seconds = option('--seconds', 4);

const stats = (values) => {
  const v = [...values].sort((a, b) => a - b);
  const at = (q) => v[Math.min(v.length - 1, Math.floor(q * v.length))];
  return {n: v.length, min: v[0], median: at(0.5), p99: at(0.99), max: v[v.length - 1],
          mean: v.reduce((a, b) => a + b, 0) / v.length};
};
const ms = (x) => x.toFixed(1).padStart(7) + ' ms';

console.log('== dist/web ==');
let total = 0;
for (const name of fs.readdirSync(h.distDir, {recursive: true}).sort()) {
  const file = path.join(h.distDir, name);
  if (!fs.statSync(file).isFile()) continue;
  const size = fs.statSync(file).size;
  total += size;
  console.log(`${name.padEnd(27)} ${String(size).padStart(9)} bytes`);
}
console.log(`${'total'.padEnd(27)} ${String(total).padStart(9)} bytes (${(total / 1048576).toFixed(2)} MB)`);

// CPU time (clock ticks) used so far by a process and all its descendants.
const clockTicks = (root) => {
  const parent = new Map(), ticks = new Map();
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
      const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
      parent.set(pid, fields[1]);
      ticks.set(pid, Number(fields[11]) + Number(fields[12]));
    } catch {
      // gone meanwhile
    }
  }
  let total = 0;
  for (const [pid, t] of ticks) {
    for (let p = pid; p && p !== '0' && p !== '1'; p = parent.get(p)) {
      if (p === String(root)) {
        total += t;
        break;
      }
    }
  }
  return total;
};

// Waits until the browser has settled: its processes used less than 2
// clock ticks (20 ms) of CPU in half a second. At most 15 s.
const settled = [];
const settle = async (browser) => {
  const pid = browser.process().pid;
  const start = Date.now();
  let before = clockTicks(pid);
  while (Date.now() < start + 15000) {
    await h.sleep(500);
    const now = clockTicks(pid);
    if (now - before < 2) break;
    before = now;
  }
  settled.push(Date.now() - start);
};

const server = await h.startServer();
try {
  console.log(`\n== start-up, the first visit, ${loads} times (a fresh profile, nothing cached; navigation start to ...) ==`);
  const first = [], title = [], first2 = [], title2 = [], bytes2 = [];
  const firstLaunch = [], titleLaunch = [];
  // The first screenshot that shows the title is taken after it was drawn;
  // the time it was taken at bounds the title's time from above.
  const visit = async (browser, firsts, titles) => {
    const {page} = await h.openGame(browser.defaultBrowserContext(), server.url, {wait: false});
    await h.waitRunning(page);
    firsts.push(await page.evaluate(() => Module.firstFrameTime));
    titles.push(await page.evaluate(() => performance.now()));
    return page;
  };
  for (let i = 0; i < loads; ++i) {
    const {browser, close} = await h.launchChromium();
    try {
      await settle(browser);
      const page = await visit(browser, first, title);
      await h.waitOffline(page);
      await page.close();
      const before = server.bytesSent;
      await visit(browser, first2, title2);
      bytes2.push(server.bytesSent - before);
    } finally {
      await close();
    }
  }
  for (let i = 0; i < loads; ++i) {
    const {browser, close} = await h.launchChromium();
    try {
      await visit(browser, firstLaunch, titleLaunch);
    } finally {
      await close();
    }
  }
  const f = stats(first), t = stats(title);
  console.log(`in a running browser (settled ${(stats(settled).median / 1000).toFixed(1)} s after its start):`);
  console.log(`first frame     min ${ms(f.min)}  median ${ms(f.median)}  max ${ms(f.max)}`);
  console.log(`title menu (<=) min ${ms(t.min)}  median ${ms(t.median)}  max ${ms(t.max)}`);
  const fl = stats(firstLaunch), tl = stats(titleLaunch);
  console.log('straight after the browser\'s start:');
  console.log(`first frame     min ${ms(fl.min)}  median ${ms(fl.median)}  max ${ms(fl.max)}`);
  console.log(`title menu (<=) min ${ms(tl.min)}  median ${ms(tl.median)}  max ${ms(tl.max)}`);
  const f2 = stats(first2), t2 = stats(title2), b2 = stats(bytes2);
  console.log(`\n== the second visit, ${loads} times (the build kept by the service worker) ==`);
  console.log(`first frame     min ${ms(f2.min)}  median ${ms(f2.median)}  max ${ms(f2.max)}`);
  console.log(`title menu (<=) min ${ms(t2.min)}  median ${ms(t2.median)}  max ${ms(t2.max)}`);
  console.log(`over the network: median ${b2.median} bytes, max ${b2.max} bytes`);

  console.log(`\n== per drawn frame, ${seconds} s each ==`);
  const {browser, close} = await h.launchChromium();
  try {
    const {page} = await h.openGame(browser.defaultBrowserContext(), server.url);
    // Frame times: the animation frames that drew something.
    await page.evaluate(() => {
      const z = window.__zelk;
      z.drawnAt = [];
      const tick = (t) => {
        if (z.drawCalls > 0) z.drawnAt.push(t);
        requestAnimationFrame(tick);
      };
      requestAnimationFrame(tick);
    });
    const measure = async (name) => {
      await page.evaluate(() => { window.__zelk.frames = []; window.__zelk.drawnAt = []; });
      await h.sleep(seconds * 1000);
      const {frames, drawnAt} = await page.evaluate(() => ({frames: window.__zelk.frames, drawnAt: window.__zelk.drawnAt}));
      const d = stats(frames);
      const gaps = drawnAt.slice(1).map((t, i) => t - drawnAt[i]);
      const g = stats(gaps);
      console.log(`${name.padEnd(11)} draw calls: median ${d.median}, max ${d.max}, mean ${d.mean.toFixed(1)} ` +
                  `over ${d.n} frames (${(d.n / seconds).toFixed(1)} drawn frames/s)`);
      console.log(`${''.padEnd(11)} interval:   mean ${ms(g.mean)}, p99 ${ms(g.p99)}, worst ${ms(g.max)}`);
    };
    await measure('title menu');
    await h.hold(page, 'Enter');
    await h.sleep(1000);
    await measure('play');
  } finally {
    await close();
  }
} finally {
  await server.close();
}
