// The page's service worker: it keeps the page's files in a cache named
// after this build, so that after one visit the page comes up without a
// network, and serves them from there first. A new build has a new name;
// its worker removes the caches of the builds before it.
'use strict';

const cacheName = '@SCRAWLET_CACHE_NAME@';
const pageFiles = @SCRAWLET_CACHED_FILES@;

self.addEventListener('install', (event) => {
  // Fetched past the browser's HTTP cache: the files must be this build's.
  event.waitUntil(caches.open(cacheName)
    .then((cache) => cache.addAll(pageFiles.map((file) => new Request(file, { cache: 'reload' }))))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names
      .filter((name) => name.startsWith('scrawlet-') && name !== cacheName)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET') return;
  // The page itself, whatever its address says after the path (tests pass
  // set-up commands there), is the cached page.
  const navigating = request.mode === 'navigate';
  event.respondWith(caches.open(cacheName)
    .then((cache) => cache.match(request, { ignoreSearch: navigating }))
    .then((cached) => cached || fetch(request)));
});
