#!/usr/bin/env node
// Serves build-web/site/ on 127.0.0.1 only: `node web/serve.mjs [PORT]` (default 8080; 0 picks
// a free port). Also the browser test's server (startServer).
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const types = {
    '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.mjs': 'text/javascript',
    '.css': 'text/css', '.wasm': 'application/wasm', '.txt': 'text/plain; charset=utf-8',
};

export function startServer(root, port = 0) {
    const server = http.createServer((request, response) => {
        // Loopback peers only, whatever the socket was bound to.
        if (!/^(127\.|::1$|::ffff:127\.)/.test(request.socket.remoteAddress ?? '')) {
            response.writeHead(403).end();
            return;
        }
        let pathname;
        try {
            pathname = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
        } catch {
            response.writeHead(400).end();
            return;
        }
        const file = path.join(root, path.normalize(pathname).replace(/^(\.\.[/\\])+/, ''));
        const target = file.endsWith(path.sep) ? path.join(file, 'index.html') : file;
        if (!target.startsWith(root) || !fs.existsSync(target) || !fs.statSync(target).isFile()) {
            response.writeHead(404).end();
            return;
        }
        response.writeHead(200, { 'content-type': types[path.extname(target)] ?? 'application/octet-stream' });
        fs.createReadStream(target).pipe(response);
    });
    return new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(server)));
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
    const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../build-web/site');
    const server = await startServer(root, Number(process.argv[2] ?? 8080));
    console.log(`Beatclone: open http://127.0.0.1:${server.address().port}/ (ctrl-C stops)`);
}
