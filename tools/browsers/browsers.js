// Starts Chromium and Firefox for the browser build through puppeteer-core, and
// WebKitGTK's MiniBrowser through its WebDriver server, and closes them again,
// whatever happens: on an error, on Ctrl-C (exit 130), SIGTERM (143) or SIGHUP
// (129), every browser started is closed (its whole process group if it does
// not answer) and its profile removed. Used by ./run.sh --web for its
// headless screenshot, by the browser tests (tests/web_test.js) and by the
// benchmarks (bench/web_rate.js, bench/web_load.js); none of it ships in the
// page. Its npm packages (package-lock.json here) are installed by
// install_browser_driver in tools/setup.sh.
//
//   node tools/browsers/browsers.js shot DIR FILE   the first frame's 640x480 canvas, headless Chromium
'use strict';
const { spawn } = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');
const { serve } = require('../../web/serve.js');

// WebGL and compositing both on SwiftShader through ANGLE (Chromium's default
// software fallback makes the page wait on every frame); none of the
// background traffic that a closed network would refuse.
const CHROMIUM_FLAGS = ['--no-sandbox', '--enable-unsafe-swiftshader', '--use-gl=angle', '--use-angle=swiftshader',
  '--disable-gpu-sandbox', '--disable-quic', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--disable-default-apps', '--mute-audio', '--disable-dev-shm-usage'];
const FIREFOX_PREFS = { 'app.update.enabled': false, 'network.captive-portal-service.enabled': false,
  'network.connectivity-service.enabled': false, 'browser.safebrowsing.update.enabled': false,
  'webgl.force-enabled': true };

const started = [];   // { browser, profile, driver } of each browser started
const servers = [];   // servers started

// launch('chromium' | 'firefox' | 'webkit', { args, reducedMotion }): a browser with a fresh
// profile, asking pages for reduced motion where set (Firefox through its preference, WebKitGTK
// through GTK's animations setting; Chromium emulates it per page). Chromium runs headless;
// Firefox, which gets no WebGL headless, and WebKit need $DISPLAY.
async function launch(engine, { args = [], reducedMotion = false } = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `squirrel-${engine}-`));
  const entry = { browser: null, profile };
  started.push(entry);
  if (engine === 'webkit') return launchWebKit(entry, args, reducedMotion);
  const common = { userDataDir: profile, handleSIGINT: false, handleSIGTERM: false, handleSIGHUP: false,
    defaultViewport: null, protocolTimeout: 60000 };
  entry.browser = engine === 'firefox'
    ? await puppeteer.launch({ ...common, browser: 'firefox', headless: false,
      executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr', args,
      extraPrefsFirefox: { ...FIREFOX_PREFS, ...reducedMotion && { 'ui.prefersReducedMotion': 1 } } })
    : await puppeteer.launch({ ...common, browser: 'chrome', headless: true, pipe: true,
      executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: [...CHROMIUM_FLAGS, ...args] });
  return entry.browser;
}

// Closes a browser politely, else kills its process group; removes its profile.
async function close(entry) {
  const child = entry.browser?.process?.();
  if (entry.driver) {   // the session first, so that MiniBrowser closes, then the driver's whole group
    await Promise.race([entry.browser?.close().catch(() => {}), new Promise((done) => setTimeout(done, 5000))]);
    if (entry.driver.pid) await endGroup(entry.driver.pid);
  } else if (entry.browser) {
    const closed = entry.browser.close().then(() => true, () => false);
    if (!await Promise.race([closed, new Promise((done) => setTimeout(done, 5000, false))]) && child?.pid) {
      try { process.kill(-child.pid, 'SIGKILL'); } catch { /* already gone */ }
    }
  }
  fs.rmSync(entry.profile, { recursive: true, force: true, maxRetries: 10 });
}

// closeBrowser(BROWSER): closes one browser that launch started, and removes its profile.
async function closeBrowser(browser) {
  const at = started.findIndex((entry) => entry.browser === browser);
  if (at >= 0) await close(started.splice(at, 1)[0]);
}

async function stopAll() {
  servers.splice(0).forEach((server) => { server.close(); server.closeAllConnections(); });
  await Promise.all(started.splice(0).map(close));
}

// WebKitGTK: MiniBrowser started by WebKitWebDriver, a W3C WebDriver server,
// driven by plain HTTP requests. One driver per browser, in a process group of
// its own that holds MiniBrowser and its helper processes.
const MINIBROWSER = process.env.MINIBROWSER || '/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser';
const KEYS = { ArrowLeft: '\uE012', ArrowUp: '\uE013', ArrowRight: '\uE014', ArrowDown: '\uE015' };   // others as themselves

async function webdriver(url, method, body) {
  const response = await fetch(url, { method, body: body && JSON.stringify(body),
    headers: body && { 'Content-Type': 'application/json' } });
  const { value } = await response.json();
  if (value?.error) throw new Error(`WebKit: ${value.message || value.error}`);
  return value;
}

function freePort() {
  const server = http.createServer().listen(0, '127.0.0.1');
  return new Promise((done) => server.on('listening', () => {
    const { port } = server.address();
    server.close(() => done(port));
  }));
}

async function launchWebKit(entry, args, reducedMotion) {
  if (!process.env.DISPLAY) throw new Error('WebKit needs an X display: set DISPLAY (for example to an Xvfb)');
  const port = await freePort();
  const home = (name) => path.join(entry.profile, name);
  if (reducedMotion) {
    fs.mkdirSync(home('config/gtk-3.0'), { recursive: true });
    fs.writeFileSync(home('config/gtk-3.0/settings.ini'), '[Settings]\ngtk-enable-animations=false\n');
  }
  entry.driver = spawn(process.env.WEBKIT_DRIVER || 'WebKitWebDriver', [`--port=${port}`], { detached: true,
    stdio: ['ignore', 'ignore', 'inherit'], env: { ...process.env, XDG_CACHE_HOME: home('cache'), XDG_DATA_HOME: home('data'),
      XDG_CONFIG_HOME: home('config'), NO_AT_BRIDGE: '1' } });
  const gone = new Promise((done) => entry.driver.on('error', done).on('exit', done)).then(() => true);
  const driver = `http://127.0.0.1:${port}`;
  for (let tries = 0; !await webdriver(`${driver}/status`).then((status) => status.ready, () => false); tries++) {
    if (tries === 100 || await Promise.race([gone, new Promise((done) => setTimeout(done, 100, false))])) {
      throw new Error('WebKitWebDriver did not start (Debian package webkit2gtk-driver)');
    }
  }
  const { sessionId } = await webdriver(`${driver}/session`, 'POST', { capabilities: { alwaysMatch: {
    browserName: 'MiniBrowser', 'webkitgtk:browserOptions': { binary: MINIBROWSER, args: ['--automation', ...args] } } } });
  entry.browser = new WebKit(`${driver}/session/${sessionId}`);
  return entry.browser;
}

// Ends a process group: asked first, killed if anything of it is left after 3 s.
async function endGroup(pid) {
  const signal = (name) => { try { process.kill(-pid, name); return true; } catch { return false; } };
  signal('SIGTERM');
  for (let k = 0; k < 60 && signal(0); k++) await new Promise((done) => setTimeout(done, 50));
  signal('SIGKILL');
}

// WebDriver runs no script before the page's own: WebKit's pages come through
// this proxy, which puts a page's scripts first in its HTML when the browser
// navigates to it (the service worker, checking the page's files, gets them as
// they are) and answers for the files a page has blocked (404, or the
// connection dropped). Each page opened gets a path prefix of its own that names them.
let proxyUrl = null;
const routes = [];   // { origin, scripts, block, drop } by prefix number
async function proxied(url, scripts, block, drop) {
  proxyUrl ??= await startProxy();
  const target = new URL(url);
  routes.push({ origin: target.origin, scripts, block, drop });
  return `${proxyUrl}${routes.length - 1}${target.pathname}${target.search}`;
}

async function startProxy() {
  const server = http.createServer((request, response) => {
    const [, number, rest] = /^\/(\d+)(\/.*)$/.exec(request.url) || [];
    const route = routes[number];
    if (!route) return response.writeHead(404).end();
    if (route.block && rest.split('?')[0].endsWith(route.block)) {
      if (route.drop) return request.socket.destroy();
      return response.writeHead(404, { 'Content-Type': 'text/plain' }).end('Not found');
    }
    http.get(route.origin + rest, (upstream) => {
      if (!/html/.test(upstream.headers['content-type']) || !/text\/html/.test(request.headers.accept)) {
        response.writeHead(upstream.statusCode, upstream.headers);
        return upstream.pipe(response);
      }
      let html = '';
      upstream.setEncoding('utf8').on('data', (text) => { html += text; }).on('end', () => {
        const { 'content-length': _, ...headers } = upstream.headers;
        response.writeHead(upstream.statusCode, headers);
        response.end(html.replace('<head>', `<head><script>${route.scripts.map((script) => `(${script})();`).join('\n')}</script>`));
      });
    }).on('error', () => response.destroy());
  });
  servers.push(server);
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  return `http://127.0.0.1:${server.address().port}/`;
}

// The page's console lines, uncaught errors and rejections, kept in the page
// (window.pageLog) for consoleLines(): WebKit's driver reports none.
function keepConsole() {
  const log = window.pageLog = [];
  ['log', 'info', 'warn', 'error'].forEach((type) => {
    const write = console[type];
    console[type] = (...args) => { log.push({ type, text: args.join(' ') }); write.apply(console, args); };
  });
  addEventListener('error', (event) => log.push({ type: 'error', text: event.message || `${event.target.src} failed` }), true);
  addEventListener('unhandledrejection', (event) => log.push({ type: 'error', text: String(event.reason) }));
}

// The browser: one session, one window.
class WebKit {
  constructor(session) { this.session = session; }
  close() { return webdriver(this.session, 'DELETE'); }
  async newPage() { return new WebKitPage(this.session); }
  async pages() { return [new WebKitPage(this.session)]; }
}

// A page in that window, with the part of puppeteer's Page that the tests and
// benchmarks use; each page opened is a fresh document, with the page's scripts first.
class WebKitPage {
  constructor(session) {
    this.session = session;
    this.scripts = [keepConsole];
    this.blocked = [];
    this.keyboard = { down: (key) => this.keys('keyDown', key), up: (key) => this.keys('keyUp', key),
      press: (key) => this.keys('keyDown', key).then(() => this.keys('keyUp', key)) };
    this.mouse = { click: (x, y) => this.actions({ type: 'pointer', id: 'mouse', actions: [
      { type: 'pointerMove', x: Math.round(x), y: Math.round(y) }, { type: 'pointerDown', button: 0 },
      { type: 'pointerUp', button: 0 }] }) };
  }

  command(method, where, body) { return webdriver(this.session + where, method, body); }
  evaluateOnNewDocument(script) { this.scripts.push(script); }
  block(file, drop = false) { this.blocked = [file, drop]; }
  close() { return this.command('POST', '/url', { url: 'about:blank' }); }

  async goto(url) {
    const address = url.startsWith('file:') ? url : await proxied(url, this.scripts, ...this.blocked);
    await this.command('POST', '/url', { url: address });
  }

  evaluate(fn, ...args) {
    return this.command('POST', '/execute/sync', { script: `return (${fn}).apply(null, arguments)`, args });
  }

  $eval(selector, fn, ...args) {
    return this.evaluate(`(selector, ...rest) => (${fn})(document.querySelector(selector), ...rest)`, selector, ...args);
  }

  async waitForFunction(fn, { timeout = 30000, polling = 50 } = {}, ...args) {
    for (const end = Date.now() + timeout; ; await new Promise((done) => setTimeout(done, polling))) {
      const value = await this.evaluate(fn, ...args);
      if (value) return { jsonValue: async () => value };
      if (Date.now() > end) throw new Error(`WebKit: waited ${timeout} ms for ${fn}`);
    }
  }

  title() { return this.command('GET', '/title'); }
  consoleLines() { return this.evaluate(() => (window.pageLog || []).splice(0)); }
  // The window's outer size (sizeCanvas measures the canvas and corrects it),
  // once the page has it too: it comes a moment after the window's.
  async setViewport({ width, height }) {
    const inner = () => this.evaluate(() => `${innerWidth}x${innerHeight}`);
    const [before, was] = [await inner(), await this.command('GET', '/window/rect')];
    if (was.width === width && was.height === height) return;
    await this.command('POST', '/window/rect', { width, height });
    for (let tries = 0, last = before; tries < 100; tries++) {
      await new Promise((done) => setTimeout(done, 20));
      const now = await inner();
      if (now !== before && now === last) return;
      last = now;
    }
  }
  actions(...sources) { return this.command('POST', '/actions', { actions: sources }); }
  keys(type, key) { return this.actions({ type: 'key', id: 'keyboard', actions: [{ type, value: KEYS[key] ?? key }] }); }
}

// run(MAIN): MAIN(), then everything stopped; exits with MAIN's status, 1 on
// an error, 130, 143 or 129 on a signal.
function run(main) {
  let finishing = null;   // the first end wins: a signal's status, not the error it causes in MAIN
  const finish = (status) => {
    finishing ??= stopAll().then(() => process.exit(status));
    return finishing;
  };
  [['SIGINT', 130], ['SIGTERM', 143], ['SIGHUP', 129]].forEach(([signal, status]) =>
    process.on(signal, () => finish(status)));
  main().then((status) => finish(status || 0), (error) => {
    if (!finishing) console.error(`${path.basename(process.argv[1])}: ${error.message}`);
    finish(1);
  });
}

async function startServer(dir) {
  const { server, url } = await serve(dir);
  servers.push(server);
  return url;
}

// Waits (up to 30 s) until the program has drawn a frame; throws with the
// page's own sentence when it shows a failure instead.
async function firstFrame(page) {
  const shown = await page.waitForFunction(() => document.getElementById('status')?.className === 'failed'
    ? document.getElementById('status').textContent
    : typeof Module === 'object' && Module.calledRun && Module._frameCount() > 0, { timeout: 30000, polling: 50 });
  const result = await shown.jsonValue();
  if (result !== true) throw new Error(`the page says: ${result}`);
}

// open(PAGE, URL): loads the page and waits for its first frame.
async function open(page, url) {
  await page.goto(url);
  await firstFrame(page);
}

// sizeCanvas(PAGE, W, H, RATIO): the window sized so that the canvas is WxH CSS pixels.
async function sizeCanvas(page, width, height, deviceScaleFactor = 1) {
  await page.setViewport({ width, height, deviceScaleFactor });
  const box = await page.$eval('#canvas', (canvas) => canvas.getBoundingClientRect().toJSON());
  await page.setViewport({ width: width + width - box.width, height: height + height - box.height, deviceScaleFactor });
}

// waitTicks(PAGE, N): until the program has ticked N more times.
async function waitTicks(page, ticks) {
  const start = await page.evaluate(() => Module._tickCount());
  await page.waitForFunction((end) => Module._tickCount() >= end, { timeout: 30000, polling: 20 }, start + ticks);
}

// The page's violations of WCAG 2.x A and AA and of axe-core's best practices, as "rule: what (N)".
async function accessibilityViolations(page) {
  await page.evaluate(fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8'));
  const { violations } = await page.evaluate(() => axe.run({ runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa',
    'wcag22aa', 'best-practice'] }));
  return violations.map((v) => `${v.id}: ${v.help} (${v.nodes.length})`);
}

async function shot(page, file) {
  await (await page.$('#canvas')).screenshot({ path: file });
}

async function cli([mode, dir, arg]) {
  if (mode !== 'shot' || !dir || !arg) {
    console.log('usage: node tools/browsers/browsers.js shot DIR FILE');
    return mode === '-h' || mode === '--help' ? 0 : 2;
  }
  const url = await startServer(dir);
  const page = (await (await launch('chromium')).pages())[0];
  await open(page, url + 'index.html');
  await sizeCanvas(page, 640, 480);
  await new Promise((done) => setTimeout(done, 1000));
  await shot(page, arg);
}

if (require.main === module) run(() => cli(process.argv.slice(2)));
module.exports = { launch, closeBrowser, run, startServer, firstFrame, open, sizeCanvas, waitTicks, shot,
  accessibilityViolations };
