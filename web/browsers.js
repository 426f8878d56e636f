// Starts Chromium and Firefox for the browser build through puppeteer-core
// and closes them again, whatever happens: on an error, on Ctrl-C (exit 130),
// SIGTERM (143) or SIGHUP (129), every browser started is closed (its whole
// process group if it does not answer) and its profile removed. Used by
// ./run.sh --web for its screenshot, tests/web_test.js and bench/web_rate.js.
//
//   node web/browsers.js shot DIR FILE            the first frame's 640x480 canvas, headless Chromium
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');
const { serve } = require('./serve.js');

// WebGL and compositing both on SwiftShader through ANGLE (Chromium's default
// software fallback makes the page wait on every frame); none of the
// background traffic that a closed network would refuse.
const CHROMIUM_FLAGS = ['--no-sandbox', '--enable-unsafe-swiftshader', '--use-gl=angle', '--use-angle=swiftshader',
  '--disable-gpu-sandbox', '--disable-quic', '--no-first-run', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--disable-default-apps', '--mute-audio', '--disable-dev-shm-usage'];
const FIREFOX_PREFS = { 'app.update.enabled': false, 'network.captive-portal-service.enabled': false,
  'network.connectivity-service.enabled': false, 'browser.safebrowsing.update.enabled': false,
  'webgl.force-enabled': true };

const started = [];   // { browser, profile } of each browser started
const servers = [];   // servers started

// launch('chromium' | 'firefox', { args }): a browser with a fresh profile.
// Chromium runs headless; Firefox, which gets no WebGL headless, needs $DISPLAY.
async function launch(engine, { args = [] } = {}) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), `squirrel-${engine}-`));
  const entry = { browser: null, profile };
  started.push(entry);
  const common = { userDataDir: profile, handleSIGINT: false, handleSIGTERM: false, handleSIGHUP: false,
    defaultViewport: null, protocolTimeout: 60000 };
  entry.browser = engine === 'firefox'
    ? await puppeteer.launch({ ...common, browser: 'firefox', headless: false,
      executablePath: process.env.FIREFOX || '/usr/bin/firefox-esr', extraPrefsFirefox: FIREFOX_PREFS, args })
    : await puppeteer.launch({ ...common, browser: 'chrome', headless: true, pipe: true,
      executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: [...CHROMIUM_FLAGS, ...args] });
  return entry.browser;
}

// Closes a browser politely, else kills its process group; removes its profile.
async function close(entry) {
  const child = entry.browser?.process();
  if (entry.browser) {
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

async function shot(page, file) {
  await (await page.$('#canvas')).screenshot({ path: file });
}

async function cli([mode, dir, arg]) {
  if (mode !== 'shot' || !dir || !arg) {
    console.log('usage: node web/browsers.js shot DIR FILE');
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
module.exports = { launch, closeBrowser, run, startServer, firstFrame, open, sizeCanvas, waitTicks, shot };
