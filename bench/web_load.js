// The page's load over a slow network in headless Chromium (CDP network
// emulation), served by web/serve.js. For each profile, ROUNDS fresh loads,
// each in a new browser (an empty cache, no service worker), each followed by
// a reload with the cache warm. Prints per profile the medians of: the bytes on
// the wire of the first visit (the responses' headers and bodies as the server
// wrote them, images not counted, everything until the server has been idle
// for two seconds: a service worker's precache included), the time from
// navigation to the first frame, and the bytes on the wire of the reload.
// Usage: node bench/web_load.js DIR [ROUNDS]   (DIR: the folder to serve)
'use strict';
const b = require('../tools/browsers/browsers.js');
const { serve } = require('../web/serve.js');

const PROFILES = [['200,000 B/s, 150 ms', 200000, 150], ['50,000 B/s, 400 ms', 50000, 400]];
const IDLE_MS = 2000;

// The server, counting the bytes it writes for each response but images (a
// connection carries one response at a time: each write belongs to its latest request).
async function countingServer(dir) {
  const { server, url } = await serve(dir);
  const counter = { bytes: 0, last: Date.now() };
  server.on('connection', (socket) => {
    const write = socket.write;
    socket.write = function (data, ...rest) {
      if (socket.counted) counter.bytes += Buffer.byteLength(data);
      counter.last = Date.now();
      return write.call(this, data, ...rest);
    };
  });
  server.prependListener('request', (request) => {
    request.socket.counted = !/\.(png|ico|svg)$/.test(new URL(request.url, url).pathname);
    counter.last = Date.now();
  });
  return { server, url, counter };
}

// Bytes the server sends from now until it has been idle for IDLE_MS after DONE.
async function bytesOf(counter, done) {
  counter.bytes = 0;
  const result = await done();
  while (Date.now() - counter.last < IDLE_MS) await new Promise((wait) => setTimeout(wait, 100));
  return [counter.bytes, result];
}

// Milliseconds from navigation to the first frame, noted by the page at each animation frame.
function noteFirstFrame() {
  (function look() {
    if (typeof Module === 'object' && Module.calledRun && Module._frameCount() > 0) window.firstFrameAt = performance.now();
    else requestAnimationFrame(look);
  })();
}
const firstFrameAt = (page) => page.waitForFunction(() => window.firstFrameAt, { timeout: 120000 })
  .then((at) => at.jsonValue());

// The page's service worker ready, when it registers one.
const workerReady = (page) => page.evaluate(() => navigator.serviceWorker?.getRegistration()
  .then((registration) => registration && navigator.serviceWorker.ready.then(() => true)));

async function round(url, counter, [, download, latency]) {
  const browser = await b.launch('chromium');
  const page = (await browser.pages())[0];
  await page.emulateNetworkConditions({ download, upload: download, latency });
  await page.evaluateOnNewDocument(noteFirstFrame);
  const [first, ms] = await bytesOf(counter, async () => {
    await page.goto(url + 'index.html');
    const at = await firstFrameAt(page);
    await workerReady(page);
    return at;
  });
  const [reload] = await bytesOf(counter, () => page.reload().then(() => firstFrameAt(page)));
  await b.closeBrowser(browser);
  return [first, ms, reload];
}

const median = (values) => values.sort((x, y) => x - y)[values.length >> 1];

async function main([dir, rounds = '3']) {
  if (!dir || !(Number(rounds) > 0)) {
    console.log('usage: node bench/web_load.js DIR [ROUNDS]   (DIR: the folder to serve)');
    return dir === '-h' || dir === '--help' ? 0 : 2;
  }
  const { server, url, counter } = await countingServer(dir);
  for (const profile of PROFILES) {
    const runs = [];
    for (let n = 0; n < Number(rounds); n++) {
      runs.push(await round(url, counter, profile));
      console.log(`  ${profile[0]}: first visit ${runs[n][0]} B, first frame ${(runs[n][1] / 1000).toFixed(2)} s, ` +
        `warm reload ${runs[n][2]} B`);
    }
    const [bytes, ms, reload] = [0, 1, 2].map((i) => median(runs.map((run) => run[i])));
    console.log(`${profile[0]}: median of ${rounds}: first visit ${bytes} B on the wire, first frame ` +
      `${(ms / 1000).toFixed(2)} s, warm reload ${reload} B`);
  }
  server.close();
  server.closeAllConnections();
  return 0;
}

b.run(() => main(process.argv.slice(2)));
