// Ticks and frames per second of the page against its engine's ceiling
// (bench/ceiling/index.html), one page at a time: for each engine in turn a
// fresh browser loads the ceiling, then the page, each counted over SECONDS
// after a second to settle, at 640x480, the page standing and then running;
// with --view also standing with its "How it moves" view open beside the
// canvas (the window widened by the view, the canvas still 640x480).
// Prints one line a measurement:
//   ENGINE ceiling|page|view|running ticks/s T frames/s F
// Usage: node bench/web_rate.js [--view] DIR SECONDS ENGINE...   (DIR: the browser build's site folder)
'use strict';
const path = require('path');
const b = require('../tools/browsers/browsers.js');

const counted = {
  ceiling: () => [performance.now(), window.ticks, window.frames],
  page: () => [performance.now(), Module._tickCount(), Module._frameCount()],
};

async function measure(page, which, seconds) {
  await new Promise((done) => setTimeout(done, 1000));
  const [t0, ticks0, frames0] = await page.evaluate(counted[which]);
  await new Promise((done) => setTimeout(done, seconds * 1000));
  const [t1, ticks1, frames1] = await page.evaluate(counted[which]);
  const perSecond = (n) => (n * 1000 / (t1 - t0)).toFixed(1);
  return `ticks/s ${perSecond(ticks1 - ticks0)} frames/s ${perSecond(frames1 - frames0)}`;
}

// The view opened and the window widened by its width, so that the canvas stays WxH.
async function openView(page) {
  const box = await page.$eval('#canvas', (canvas) => canvas.getBoundingClientRect().toJSON());
  await page.$eval('#moves', (button) => button.click());
  await page.waitForFunction(() => document.getElementById('moves-state'));
  const narrowed = await page.$eval('#canvas', (canvas) => canvas.getBoundingClientRect().toJSON());
  const size = await page.evaluate(() => [innerWidth, innerHeight]);
  await page.setViewport({ width: size[0] + box.width - narrowed.width, height: size[1] + box.height - narrowed.height });
}

async function main(args) {
  const view = args[0] === '--view';
  const [dir, seconds, ...engines] = view ? args.slice(1) : args;
  if (!dir || !(Number(seconds) > 0) || engines.some((engine) => !['chromium', 'firefox', 'webkit'].includes(engine))) {
    console.log('usage: node bench/web_rate.js [--view] DIR SECONDS ENGINE... (ENGINE: chromium, firefox or webkit)');
    return dir === '-h' || dir === '--help' ? 0 : 2;
  }
  const pageUrl = await b.startServer(dir);
  const ceilingUrl = await b.startServer(path.join(__dirname, 'ceiling'));
  for (const engine of engines) {
    const browser = await b.launch(engine);
    const page = (await browser.pages())[0];   // the one tab, in front
    for (const [which, url] of [['ceiling', ceilingUrl + 'index.html'], ['page', pageUrl + 'index.html']]) {
      if (which === 'page') await b.open(page, url);
      else await page.goto(url);
      await b.sizeCanvas(page, 640, 480);
      console.log(`${engine} ${which} ${await measure(page, which, Number(seconds))}`);
    }
    if (view) {
      await openView(page);
      console.log(`${engine} view ${await measure(page, 'page', Number(seconds))}`);
      await page.$eval('#moves', (button) => button.click());   // closed, for the next visit
      await b.sizeCanvas(page, 640, 480);
    }
    // Up and Left held: the squirrel runs in a small circle, clear of the trees, and the camera follows.
    for (const key of ['ArrowUp', 'ArrowLeft']) await page.keyboard.down(key);
    console.log(`${engine} running ${await measure(page, 'page', Number(seconds))}`);
    await b.closeBrowser(browser);
  }
  return 0;
}

b.run(() => main(process.argv.slice(2)));
