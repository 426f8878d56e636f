// A static file server for the browser build's site folder on 127.0.0.1,
// used by ./run.sh --web and the browser tests. It answers every request:
// files under its folder only, 404 for anything else, 400 for a path it cannot
// decode. Text and WebAssembly go compressed (brotli or gzip, as the browser
// accepts), each answer with a validator (ETag) that a revalidation gets a
// 304 for; every use revalidates (Cache-Control: no-cache).
//
//   node web/serve.js DIR [PORT]   serve DIR until Ctrl-C (a free port by default)
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const http = require('http');
const path = require('path');
const zlib = require('zlib');

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.wasm': 'application/wasm',
  '.png': 'image/png', '.json': 'application/json', '.webmanifest': 'application/manifest+json',
};
const COMPRESSED = new Set(['.html', '.js', '.wasm', '.json', '.webmanifest']);
const ENCODERS = {   // the smallest each makes; a file is compressed once per version
  br: (bytes, done) => zlib.brotliCompress(bytes, { params: { [zlib.constants.BROTLI_PARAM_QUALITY]: 11,
    [zlib.constants.BROTLI_PARAM_SIZE_HINT]: bytes.length } }, done),
  gzip: (bytes, done) => zlib.gzip(bytes, { level: 9 }, done),
};
const versions = new Map();   // file -> { key (mtime and size), tag, bodies: encoding -> Promise of bytes }

// The bytes of FILE as sent in ENCODING, and its ETag; read and compressed
// once for each version of the file (its modification time and size).
function version(file, stat, encoding) {
  const key = `${stat.mtimeMs} ${stat.size}`;
  let entry = versions.get(file);
  if (!entry || entry.key !== key) {
    const bytes = fs.readFileSync(file);
    entry = { key, tag: crypto.createHash('sha256').update(bytes).digest('base64url').slice(0, 22),
      bodies: { identity: Promise.resolve(bytes) } };
    versions.set(file, entry);
  }
  entry.bodies[encoding] ??= entry.bodies.identity.then((bytes) =>
    new Promise((done, failed) => ENCODERS[encoding](bytes, (error, out) => (error ? failed(error) : done(out)))));
  return { tag: `"${entry.tag}${encoding === 'identity' ? '' : '-' + encoding}"`, body: entry.bodies[encoding] };
}

// The coding to send for an Accept-Encoding header: brotli, else gzip, else none.
function encodingFor(accept) {
  const weights = {};
  for (const part of (accept || '').toLowerCase().split(',')) {
    const [coding, ...params] = part.split(';').map((item) => item.trim());
    const q = params.find((param) => param.startsWith('q='));
    weights[coding] = q ? Number(q.slice(2)) : 1;
  }
  return ['br', 'gzip'].find((coding) => (weights[coding] ?? weights['*'] ?? 0) > 0) || 'identity';
}

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
  const compressed = COMPRESSED.has(path.extname(name));
  const encoding = compressed ? encodingFor(request.headers['accept-encoding']) : 'identity';
  const { tag, body } = version(name, fs.statSync(name), encoding);
  const headers = { 'Content-Type': TYPES[path.extname(name)] || 'application/octet-stream',
    'Cache-Control': 'no-cache', ETag: tag, ...(compressed && { Vary: 'Accept-Encoding' }) };
  const asked = request.headers['if-none-match'];
  if (asked && asked.split(',').some((item) => item.trim().replace(/^W\//, '') === tag)) {
    response.writeHead(304, headers);
    return response.end();
  }
  body.then((bytes) => {
    response.writeHead(200, { ...headers, ...(encoding !== 'identity' && { 'Content-Encoding': encoding }),
      'Content-Length': bytes.length });
    response.end(request.method === 'HEAD' ? undefined : bytes);
  }, () => response.destroy());
}

// Reads and compresses the files in DIR ahead of the first request.
function prepare(dir) {
  const all = fs.readdirSync(dir).map((name) => path.join(dir, name))
    .filter((file) => COMPRESSED.has(path.extname(file)) && fs.statSync(file).isFile());
  return Promise.all(all.flatMap((file) => Object.keys(ENCODERS).map((encoding) =>
    version(file, fs.statSync(file), encoding).body)));
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
  return prepare(root).then(() => new Promise((done, failed) => {
    server.once('error', failed);
    server.listen(port, '127.0.0.1', () => done({ server, url: `http://127.0.0.1:${server.address().port}/` }));
  }));
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
