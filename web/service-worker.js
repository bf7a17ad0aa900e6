// The playground's service worker: keeps a copy of the page's files, so
// that the page opens, and assembles, when the network is gone, a reload
// included.
//
// Every request of the page goes to the network first, and a file that
// arrives replaces its copy: online, the page is always the served one,
// its module and its script from the same release. Only when the network
// fails is the copy used. It passes on only what the page asks of its own
// host, and asks no other.

'use strict';

const CACHE = 'orvix-playground';
// The page's files, relative to this script (the page's folder). The
// manual is kept when it is there.
const FILES = ['./', 'playground.js', 'playground.css', 'assembler.js', 'assembler.wasm'];
const OPTIONAL = ['manual.html'];

self.addEventListener('install', (event) => {
  event.waitUntil((async () => {
    const cache = await caches.open(CACHE);
    await cache.addAll(FILES);
    await Promise.all(OPTIONAL.map((file) => cache.add(file).catch(() => {})));
    await self.skipWaiting();
  })());
});

self.addEventListener('activate', (event) => {
  event.waitUntil(self.clients.claim());
});

// The network's answer, kept when it is a whole file; without a network,
// the copy. A page opened by another name of the folder ("index.html")
// gets the page.
async function answer(request) {
  const cache = await caches.open(CACHE);
  let response;
  try {
    response = await fetch(request);
  } catch (error) {
    const copy = await cache.match(request, {ignoreSearch: true}) ||
        (request.mode === 'navigate' ? await cache.match('./') : undefined);
    if (copy) return copy;
    throw error;
  }
  if (response.status === 200) {
    // a full disk keeps the old copy, and the page still gets the file
    await cache.put(request, response.clone()).catch(() => {});
  }
  return response;
}

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || !request.url.startsWith(self.location.origin + '/')) return;
  event.respondWith(answer(request));
});
