// A static file server for the browser build on 127.0.0.1, used by
// ./run.sh --web and the browser tests. It answers every request: files under
// its folder only, 404 for anything else, 400 for a path it cannot decode.
//
//   node web/serve.js DIR [PORT]   serve DIR until Ctrl-C (a free port by default)
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.wasm': 'application/wasm',
  '.data': 'application/octet-stream', '.png': 'image/png', '.json': 'application/json',
};

function reply(response, status, text) {
  response.writeHead(status, { 'Content-Type': 'text/plain; charset=utf-8' });
  response.end(text + '\n');
}

// The file under root that a request path names, or null when it names none;
// throws URIError for a path that cannot be decoded.
function resolve(root, pathname) {
  const decoded = decodeURIComponent(pathname);
  if (decoded.includes('\0')) throw new URIError('null byte');
  let name = path.join(root, path.normalize(decoded));
  try {
    if (fs.statSync(name).isDirectory()) name = path.join(name, 'index.html');
    name = fs.realpathSync(name);
  } catch {
    return null;
  }
  return name.startsWith(root + path.sep) && fs.statSync(name).isFile() ? name : null;
}

function handle(root, request, response) {
  if (request.method !== 'GET' && request.method !== 'HEAD') return reply(response, 405, 'Method not allowed');
  let name;
  try {
    name = resolve(root, new URL(request.url, 'http://localhost').pathname);
  } catch {
    return reply(response, 400, 'Bad request');
  }
  if (!name) return reply(response, 404, 'Not found');
  const headers = { 'Content-Type': TYPES[path.extname(name)] || 'application/octet-stream', 'Cache-Control': 'no-cache' };
  fs.stat(name, (error, stat) => {
    if (error) return reply(response, 404, 'Not found');
    response.writeHead(200, { ...headers, 'Content-Length': stat.size });
    if (request.method === 'HEAD') return response.end();
    fs.createReadStream(name).on('error', () => response.destroy()).pipe(response);
  });
}

// serve(DIR, PORT): a listening server; resolves to { server, url }.
function serve(dir, port = 0) {
  const root = fs.realpathSync(dir);
  const server = http.createServer((request, response) => {
    try {
      handle(root, request, response);
    } catch {
      if (!response.headersSent) reply(response, 500, 'Server error');
      else response.destroy();
    }
  });
  server.on('clientError', (error, socket) => {
    if (socket.writable) socket.end('HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n');
    else socket.destroy();
  });
  return new Promise((done, failed) => {
    server.once('error', failed);
    server.listen(port, '127.0.0.1', () => done({ server, url: `http://127.0.0.1:${server.address().port}/` }));
  });
}

async function main([dir, port]) {
  if (!dir || dir === '-h' || dir === '--help') {
    console.log('usage: node web/serve.js DIR [PORT]\n  serves DIR on 127.0.0.1 until Ctrl-C');
    process.exit(dir ? 0 : 2);
  }
  const { server, url } = await serve(dir, Number(port || 0));
  const stop = (status) => {
    server.close(() => process.exit(status));
    server.closeAllConnections();
  };
  process.on('SIGINT', () => stop(130));
  process.on('SIGTERM', () => stop(143));
  process.on('SIGHUP', () => stop(129));
  console.log(`Serving ${dir} at ${url}index.html (Ctrl-C stops)`);
}

if (require.main === module) {
  main(process.argv.slice(2)).catch((error) => {
    console.error('web/serve.js: ' + error.message);
    process.exit(1);
  });
}
module.exports = { serve };
