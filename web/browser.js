// Serves the browser build and drives it in headless Chromium through the
// DevTools protocol over a pipe (no packages beyond Node.js itself).
//
//   node web/browser.js serve DIR         serve DIR on 127.0.0.1 until Ctrl-C
//   node web/browser.js run DIR STEP...   open DIR's page headless and run:
//     open[=QUERY]     load index.html[?QUERY], wait for its first frame
//     wait=MS          let it run
//     keydown=KEY      press (ArrowUp, ArrowDown, ArrowLeft, ArrowRight)
//     keyup=KEY        release
//     shot=FILE        save the 640x480 canvas as a PNG
//     rate=SECONDS     print the ticks and frames per second over SECONDS
// The page's console lines are printed as "console: TEXT", its uncaught
// exceptions as "exception: TEXT".
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');

const TYPES = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
const KEY_CODES = { ArrowLeft: 37, ArrowUp: 38, ArrowRight: 39, ArrowDown: 40 };
// Headless; WebGL and compositing both on SwiftShader through ANGLE (with
// Chromium's default software fallback the page waits on every frame and
// ticks about four times slower); none of the background traffic that a
// closed network would refuse.
const CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--enable-unsafe-swiftshader',
  '--use-gl=angle', '--use-angle=swiftshader', '--disable-gpu-sandbox', '--disable-quic', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--disable-default-apps', '--mute-audio',
  '--disable-dev-shm-usage', '--window-size=800,600', '--remote-debugging-pipe'];

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const started = { server: null, chromium: null, profile: null, send: null };

// Closes the server and Chromium (politely, else its whole process group)
// and removes its profile, then exits.
async function shutdown(status) {
  started.server?.close();
  const chromium = started.chromium;
  if (chromium && chromium.exitCode === null && chromium.signalCode === null) {
    chromium.removeAllListeners('exit');
    const exited = new Promise((resolve) => chromium.once('exit', resolve));
    started.send('Browser.close').catch(() => {});
    if (!await Promise.race([exited.then(() => true), sleep(5000)])) {
      process.kill(-chromium.pid, 'SIGKILL');
      await exited;
    }
  }
  if (started.profile) fs.rmSync(started.profile, { recursive: true, force: true, maxRetries: 10 });
  process.exit(status);
}

function fail(message) {
  console.error('browser.js: ' + message);
  shutdown(1);
}

// A static file server for DIR on a free port of 127.0.0.1; returns its URL.
function serve(dir) {
  started.server = http.createServer((request, response) => {
    const name = path.join(dir, path.normalize(decodeURIComponent(new URL(request.url, 'http://h').pathname)));
    fs.readFile(name.endsWith(path.sep) ? name + 'index.html' : name, (error, body) => {
      response.writeHead(error ? 404 : 200,
        { 'Content-Type': TYPES[path.extname(name)] || 'application/octet-stream' });
      response.end(error ? '' : body);
    });
  });
  return new Promise((resolve, reject) => {
    started.server.on('error', reject);
    started.server.listen(0, '127.0.0.1', () => resolve(`http://127.0.0.1:${started.server.address().port}/`));
  });
}

// Starts Chromium, in a process group of its own, with a fresh profile;
// returns send(method, params, session) and a list of event listeners.
function launch() {
  started.profile = fs.mkdtempSync(path.join(os.tmpdir(), 'squirrel-chromium-'));
  const chromium = started.chromium = spawn(process.env.CHROMIUM || 'chromium',
    [...CHROMIUM_FLAGS, `--user-data-dir=${started.profile}`, 'about:blank'],
    { stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe'], detached: true });
  let log = '';
  chromium.stdio[2].on('data', (chunk) => { log = (log + chunk).slice(-4000); });
  chromium.on('error', (error) => fail(`cannot start Chromium: ${error.message}`));
  chromium.on('exit', (code) => fail(`Chromium ended (status ${code}):\n${log}`));
  const pending = new Map();
  const listeners = [];
  let nextId = 1;
  let buffer = '';
  chromium.stdio[4].setEncoding('utf8');
  chromium.stdio[4].on('data', (chunk) => {
    buffer += chunk;
    for (let end; (end = buffer.indexOf('\0')) >= 0; buffer = buffer.slice(end + 1)) {
      const message = JSON.parse(buffer.slice(0, end));
      const call = pending.get(message.id);
      if (!call) {
        listeners.forEach((listen) => listen(message));
        continue;
      }
      pending.delete(message.id);
      if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
      else call.resolve(message.result);
    }
  });
  const send = started.send = (method, params = {}, sessionId = undefined) => new Promise((resolve, reject) => {
    const id = nextId++;
    pending.set(id, { method, resolve, reject });
    chromium.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
  });
  return { send, listeners };
}

// A page of its own, its console and exceptions printed.
async function openTab(browser) {
  const { targetId } = await browser.send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await browser.send('Target.attachToTarget', { targetId, flatten: true });
  browser.listeners.push((message) => {
    if (message.sessionId !== sessionId) return;
    if (message.method === 'Runtime.consoleAPICalled') {
      console.log('console: ' + message.params.args.map((a) => a.value ?? a.description).join(' '));
    } else if (message.method === 'Runtime.exceptionThrown') {
      const details = message.params.exceptionDetails;
      console.log('exception: ' + (details.exception?.description ?? details.exception?.value ?? details.text));
    }
  });
  const tab = (method, params) => browser.send(method, params, sessionId);
  await tab('Runtime.enable');
  await tab('Page.enable');
  await tab('Emulation.setDeviceMetricsOverride', { width: 800, height: 600, deviceScaleFactor: 1, mobile: false });
  return tab;
}

async function evaluate(tab, expression) {
  const { result, exceptionDetails } = await tab('Runtime.evaluate', { expression, returnByValue: true });
  if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.text}`);
  return result.value;
}

// Loads the page and waits (up to 30 s) until the program has drawn a frame.
async function open(tab, base, query) {
  const url = base + 'index.html' + (query ? '?' + query : '');
  await tab('Page.navigate', { url });
  const drawn = `location.href == ${JSON.stringify(url)} && typeof Module == 'object' && !!Module.calledRun &&
    Module._compatFrames() > 0`;
  for (const start = Date.now(); Date.now() - start < 30000; await sleep(50)) {
    if (await evaluate(tab, drawn)) return;
  }
  throw new Error('the page drew no frame within 30 s');
}

async function key(tab, type, name) {
  if (!(name in KEY_CODES)) throw new Error(`unknown key ${name}`);
  await tab('Input.dispatchKeyEvent',
    { type, key: name, code: name, windowsVirtualKeyCode: KEY_CODES[name], nativeVirtualKeyCode: KEY_CODES[name] });
}

async function shot(tab, file) {
  const box = await evaluate(tab, "(({x, y}) => ({x, y}))(document.getElementById('canvas').getBoundingClientRect())");
  const { data } = await tab('Page.captureScreenshot',
    { format: 'png', clip: { x: box.x, y: box.y, width: 640, height: 480, scale: 1 } });
  fs.writeFileSync(file, Buffer.from(data, 'base64'));
}

async function rate(tab, seconds) {
  const count = '[performance.now(), Module._compatTicks(), Module._compatFrames()]';
  const [t0, ticks0, frames0] = await evaluate(tab, count);
  await sleep(seconds * 1000);
  const [t1, ticks1, frames1] = await evaluate(tab, count);
  const perSecond = (n) => (n * 1000 / (t1 - t0)).toFixed(1);
  console.log(`ticks/s: ${perSecond(ticks1 - ticks0)} frames/s: ${perSecond(frames1 - frames0)}`);
}

async function run(dir, steps) {
  const base = await serve(dir);
  const tab = await openTab(launch());
  for (const step of steps) {
    const [name, value] = step.split(/=(.*)/);
    if (name === 'open') await open(tab, base, value);
    else if (name === 'wait') await sleep(Number(value));
    else if (name === 'keydown') await key(tab, 'rawKeyDown', value);
    else if (name === 'keyup') await key(tab, 'keyUp', value);
    else if (name === 'shot') await shot(tab, value);
    else if (name === 'rate') await rate(tab, Number(value));
    else throw new Error(`unknown step ${step}`);
  }
}

async function main([mode, dir, ...steps]) {
  if (!dir || !fs.existsSync(path.join(dir, 'index.html'))) throw new Error(`no index.html in '${dir}'`);
  if (mode === 'serve') {
    console.log(`Serving ${dir} at ${await serve(dir)}index.html (Ctrl-C stops)`);
    return new Promise(() => {});
  }
  if (mode !== 'run') throw new Error('usage: browser.js serve DIR | run DIR STEP...');
  await run(dir, steps);
}

['SIGINT', 'SIGTERM', 'SIGHUP'].forEach((signal) => process.on(signal, () => shutdown(130)));
main(process.argv.slice(2)).then(() => shutdown(0), (error) => fail(error.message));
