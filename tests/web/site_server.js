// The site served as a plain static server would, in a process of its own, so that a
// suite's own work (running marrowtone-render, decoding samples) never holds up a response.
//
//   const { startServer, stopServer } = require('./site_server');
'use strict';

const fs = require('fs');
const http = require('http');
const path = require('path');
const { fork } = require('child_process');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.css': 'text/css', '.mml': 'text/plain', '.svg': 'image/svg+xml',
                '.webmanifest': 'application/manifest+json' };

function serve(root) {
  const server = http.createServer((req, res) => {
    let name = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(root, path.normalize(name));
    if (!file.startsWith(root) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream',
                         'Cache-Control': 'no-store' });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Resolves to { child, port } once the server listens.
function startServer(root) {
  const child = fork(__filename, [root], { stdio: 'inherit' });
  return new Promise((resolve, reject) => {
    child.once('message', (port) => resolve({ child, port }));
    child.once('exit', (code) => reject(new Error(`the server ended (${code})`)));
  });
}

function stopServer(server) {
  server.child.removeAllListeners('exit');
  server.child.kill();
}

if (require.main === module) {
  serve(path.resolve(process.argv[2])).then((server) => process.send(server.address().port));
  process.on('disconnect', () => process.exit(0));
}

module.exports = { startServer, stopServer };
