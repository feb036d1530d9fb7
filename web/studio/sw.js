// Keeps the studio working without a network: everything a visit needs is kept on the
// first one. The network is asked first, so a new build is seen as soon as it is served;
// the kept copy answers when the network does not.
'use strict';

const KEPT = 'marrowtone-studio';
const FILES = ['./', 'index.html', 'studio.js', 'studio.css', 'studio_worker.js', 'link_worker.js',
               'marrowtone_studio.js', 'marrowtone_studio.wasm', 'manifest.webmanifest',
               'icon.svg', 'examples/three-voices.mml'];
// The player page and the examples its header links to, kept once the studio is: the
// studio's first visit does not wait for them.
const LATER = ['player.html', 'page.js', 'page.css', 'window.css', 'marrowtone.js',
               'marrowtone.wasm', @EXAMPLES@];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(KEPT).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(self.clients.claim());
  // Not waited for: a failure here leaves the studio working, and the next visit tries again.
  caches.open(KEPT).then(async (cache) => {
    for (const file of LATER) {
      if (!(await cache.match(file))) await cache.add(file).catch(() => {});
    }
  });
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== location.origin) return;
  event.respondWith((async () => {
    const cache = await caches.open(KEPT);
    try {
      const response = await fetch(request);
      if (response.ok) await cache.put(request, response.clone());
      return response;
    } catch (e) {
      const kept = await cache.match(request, { ignoreSearch: true });
      if (kept) return kept;
      throw e;
    }
  })());
});
