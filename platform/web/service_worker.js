// The page's service worker. The build puts VERSION (a hash of every file
// of the site) and PRECACHE (those files) in front of this text, so a new
// deployment is a new worker. It waits until the page asks it to take over,
// which the page does only when the user chooses to reload.
const CACHE = `updater-${VERSION}`;
// What a file that was never cached answers offline; the page knows it.
const GATEWAY_TIMEOUT = 504;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(PRECACHE)));
});

self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    for (const name of await caches.keys())
      if (name.startsWith('updater-') && name !== CACHE) await caches.delete(name);
    await self.clients.claim();
  })());
});

self.addEventListener('message', () => {
  self.skipWaiting();  // the page's one message: the user chose to reload
});

self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== location.origin) return;
  event.respondWith(answer(request, event));
});

// The deployment's own files from the cache; anything else (packages,
// catalogue files) from the network while there is one, kept for offline.
async function answer(request, event) {
  const cache = await caches.open(CACHE);
  const navigation = request.mode === 'navigate';
  const own = await cache.match(request, { ignoreSearch: navigation }) ||
    (navigation ? await cache.match('index.html') : undefined);
  if (own && isPrecached(request.url)) return own;
  try {
    const response = await fetch(request);
    // Kept while the page reads it: waiting for the whole body first would
    // hide from the page's stall, deadline and size limits how it arrives.
    if (response.ok && response.type === 'basic') event.waitUntil(cache.put(request, response.clone()).catch(() => {}));
    return response;
  } catch {
    // Online, the fetch failed by its own rules (a redirect to another
    // site): the page sees that failure as it would without the worker.
    if (await reachable(request.url)) return Response.error();
    return own || new Response('Not available offline', { status: GATEWAY_TIMEOUT, statusText: 'Not available offline' });
  }
}

async function reachable(url) {
  try {
    await fetch(url, { redirect: 'manual', cache: 'no-store' });
    return true;
  } catch {
    return false;
  }
}

function isPrecached(url) {
  const path = new URL(url).pathname;
  return path.endsWith('/') || PRECACHE.some((file) => path.endsWith(`/${file}`));
}
