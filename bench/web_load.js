// The page's load over a slow network in headless Chromium (CDP network
// emulation), served by web/serve.js. For each profile, ROUNDS fresh loads,
// each in a new browser (an empty cache, no service worker), each followed by
// a reload with the cache warm. Prints per profile the medians of: the bytes on
// the wire of the first visit (the responses' headers and bodies as the server
// wrote them, images not counted, everything until the server has been idle
// for two seconds: a service worker's precache included), the time from
// navigation to the first frame, the bytes on the wire of the reload, and the
// main thread's long tasks (over 50 ms, Chromium's long-task observer) from
// navigation until the first visit is done, but the one that runs the
// program's main (the page measures it as "main"): how many, and the longest.
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

// Milliseconds from navigation to the first frame, noted by the page at each
// animation frame; the long tasks from the start, kept in window.longTasks.
function noteFirstFrame() {
  window.longTasks = [];
  new PerformanceObserver((list) => longTasks.push(...list.getEntries().map((task) => [task.startTime, task.duration])))
    .observe({ type: 'longtask', buffered: true });
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

// The long tasks but main's: [how many, the longest in ms].
const longTasks = (page) => page.evaluate(() => {
  const main = performance.getEntriesByName('main', 'measure')[0];
  const others = longTasks.filter(([start, duration]) => !main || start + duration <= main.startTime ||
    start >= main.startTime + main.duration).map(([, duration]) => duration);
  return [others.length, Math.round(Math.max(0, ...others))];
});

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
  const [count, longest] = await longTasks(page);
  const [reload] = await bytesOf(counter, () => page.reload().then(() => firstFrameAt(page)));
  await b.closeBrowser(browser);
  return [first, ms, reload, count, longest];
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
        `warm reload ${runs[n][2]} B, long tasks but main's ${runs[n][3]} (longest ${runs[n][4]} ms)`);
    }
    const [bytes, ms, reload, count, longest] = [0, 1, 2, 3, 4].map((i) => median(runs.map((run) => run[i])));
    console.log(`${profile[0]}: median of ${rounds}: first visit ${bytes} B on the wire, first frame ` +
      `${(ms / 1000).toFixed(2)} s, warm reload ${reload} B, long tasks but main's ${count} (longest ${longest} ms)`);
  }
  server.close();
  server.closeAllConnections();
  return 0;
}

b.run(() => main(process.argv.slice(2)));
