// Keeps the page working offline once it has been loaded: every file it fetched is kept, and
// fetched afresh whenever the network answers.
const cacheName = 'beatclone';
const pageFiles = ['./', 'index.html', 'style.css', 'app.js', 'command.js', 'report.js', 'score.js', 'notation.js',
    'beatclone-web.mjs', 'beatclone-web.wasm', 'vendor/verovio.mjs', 'vendor/verovio-module.mjs'];

self.addEventListener('install', (event) => {
    event.waitUntil(caches.open(cacheName).then((cache) => cache.addAll(pageFiles)));
});

self.addEventListener('fetch', (event) => {
    if (event.request.method !== 'GET') return;
    event.respondWith(
        fetch(event.request)
            .then((response) => {
                if (response.ok) {
                    const copy = response.clone();
                    caches.open(cacheName).then((cache) => cache.put(event.request, copy));
                }
                return response;
            })
            .catch(() => caches.match(event.request).then((kept) => kept ?? Response.error())),
    );
});
