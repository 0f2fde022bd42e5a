// Zelk's service worker: keeps one build of the game (the page, zelk.js,
// zelk.wasm, zelk.data, the manifest and the icons) in a cache of its own,
// so that after one visit the game starts without the network.
//
// tools/web/stamp.sh writes the build's name (made from the content of its
// files) and every file's SHA-256 into this file; a new build is therefore
// a new worker. The new worker fetches all its files and checks each one
// against its digest before it counts as installed, so its cache never
// holds a file of another build (a server that changes files meanwhile
// makes the install fail; the next visit tries again). It takes over when
// no page of the old build is still loading: when every such page is gone,
// or when a page whose game runs (it has all its files) asks it to
// (index.html). Then the old cache is deleted, and the next reload is the
// new build whole.
'use strict';

const BUILD = '@BUILD@';
const FILES = /*@FILES@*/ {};
const CACHE = 'zelk-' + BUILD;

const scope = new URL(self.registration.scope);
const urlOf = (name) => new URL(name, scope).href;

async function sha256(buffer) {
  const digest = await crypto.subtle.digest('SHA-256', buffer);
  return Array.from(new Uint8Array(digest), (b) => b.toString(16).padStart(2, '0')).join('');
}

// One file of this build, checked. The browser's HTTP cache is asked to
// revalidate first; a copy that is not this build's is fetched again past
// it.
async function fetchChecked(name) {
  for (const mode of ['no-cache', 'reload']) {
    const response = await fetch(urlOf(name), {cache: mode});
    if (!response.ok) throw new Error(`${name}: HTTP ${response.status}`);
    const body = await response.arrayBuffer();
    if ((await sha256(body)) === FILES[name]) {
      const headers = new Headers();
      for (const h of ['content-type', 'last-modified']) {
        if (response.headers.has(h)) headers.set(h, response.headers.get(h));
      }
      return new Response(body, {status: 200, headers});
    }
  }
  throw new Error(`${name} on the server is not the file of build ${BUILD}`);
}

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const names = Object.keys(FILES);
    const responses = await Promise.all(names.map(fetchChecked));
    const cache = await caches.open(CACHE);
    await Promise.all(names.map((name, i) => cache.put(urlOf(name), responses[i])));
  })());
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const key of await caches.keys()) {
      if (key.startsWith('zelk-') && key !== CACHE) await caches.delete(key);
    }
  })());
});

// A page whose game is running has everything it needs: the new build may
// take over now.
self.addEventListener('message', (event) => {
  if (event.data === 'zelk-take-over') self.skipWaiting();
});

// The build's name in a request (?build=...), or null.
const buildOf = (url) => url.searchParams.get('build');

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  const url = new URL(request.url);
  if (url.origin !== scope.origin || !url.pathname.startsWith(scope.pathname)) return;
  let name = url.pathname.slice(scope.pathname.length);
  if (request.mode === 'navigate' && (name === '' || name === 'index.html')) name = 'index.html';
  if (!Object.prototype.hasOwnProperty.call(FILES, name)) return;
  event.respondWith((async () => {
    // A page of an older build still loading asks for its own files: they
    // come from its cache while that is kept, and never from this build.
    const wanted = buildOf(url);
    const hit = await caches.match(urlOf(name), {cacheName: wanted && wanted !== BUILD ? 'zelk-' + wanted : CACHE});
    if (hit) return hit;
    if (wanted && wanted !== BUILD) {
      return new Response(`Zelk build ${wanted} is no longer kept; reload the page`,
                          {status: 410, headers: {'content-type': 'text/plain'}});
    }
    return fetch(request);
  })());
});
