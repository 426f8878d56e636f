// Ticks and frames per second of the page against its engine's ceiling
// (bench/ceiling/index.html), one page at a time: for each engine in turn a
// fresh browser loads the ceiling, then the page, each counted over SECONDS
// after a second to settle, at 640x480, the page standing and then running.
// Prints one line a measurement:
//   ENGINE ceiling|page|running ticks/s T frames/s F
// Usage: node bench/web_rate.js DIR SECONDS ENGINE...   (DIR: the browser build's site folder)
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

async function main([dir, seconds, ...engines]) {
  if (!dir || !(Number(seconds) > 0) || engines.some((engine) => !['chromium', 'firefox', 'webkit'].includes(engine))) {
    console.log('usage: node bench/web_rate.js DIR SECONDS ENGINE... (ENGINE: chromium, firefox or webkit)');
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
    // Up and Left held: the squirrel runs in a small circle, clear of the trees, and the camera follows.
    for (const key of ['ArrowUp', 'ArrowLeft']) await page.keyboard.down(key);
    console.log(`${engine} running ${await measure(page, 'page', Number(seconds))}`);
    await b.closeBrowser(browser);
  }
  return 0;
}

b.run(() => main(process.argv.slice(2)));
