// The "How it moves" view, case by case, for tests/web_test.js: its state words, table and chart
// along a stepped drive against the desktop's joint trace, axe-core's rules with it open (Chromium),
// the canvas's frame with the view open and closed; Chromium, the view kept across a reload, Step and Slow.
// Each case reports through EXPECT.
'use strict';
const fs = require('fs');
const b = require('../tools/browsers/browsers.js');

module.exports = (expect) => {
  const toggle = (page) => page.$eval('#moves', (button) => button.click());
  // The view as drawn for tick TICK (at the next animation frame): the state words, the table's
  // angles and the chart's newest points.
  const read = async (page, tick) => {
    await page.waitForFunction((want) => document.getElementById('moves-tick')?.textContent === String(want), {}, tick);
    return page.evaluate(() => ({
      state: document.getElementById('moves-state').textContent + document.getElementById('moves-blend').textContent,
      table: [...document.querySelectorAll('#moves-joints tbody tr')].map((row) => Number(row.cells[2].textContent)),
      newest: Module.insides.newest(),
    }));
  };
  const frame = (page) => page.evaluate(() => Module._step(0) || canvas.toDataURL());
  // The canvas at 640x480; with the view open, from a window wide enough to have it beside the
  // canvas (below it, in a narrow one, it takes a share of the height).
  const fit = async (page, open = true) => {
    if (open) {
      await page.setViewport({ width: 1200, height: 800 });
      const box = await page.$eval('#canvas', (canvas) => canvas.getBoundingClientRect().toJSON());
      await page.setViewport({ width: 1200 + 640 - box.width, height: 800 + 480 - box.height });
    } else {
      await b.sizeCanvas(page, 640, 480);
    }
    await page.waitForFunction(() => canvas.width === 640 && canvas.height === 480);
  };

  // TRACE: tools/joint_trace --all stand=50 run=15 stand=33, tick, action and the 13 joints a row.
  // Read after 50 ticks standing, 3 and 15 ticks into Up held, 3 and 33 ticks after its release: the
  // words, the 13 angles within 0.01 degree of the trace's, the chart's newest points the table's.
  // Then the frame is the same with the view closed, and (Chromium) a reload opens the view again.
  async function driveCases(engine, page, url, traceFile) {
    const trace = new Map(fs.readFileSync(traceFile, 'utf8').trim().split('\n').slice(1)
      .map((row) => row.split(',').map(Number)).map(([tick, , ...joints]) => [tick, joints]));
    await b.open(page, url + 'index.html?step');
    await toggle(page);
    await fit(page);
    const points = [[50, null, 'standing'], [3, 'down', 'starting, blend tick 3 of 10'], [12, null, 'running'],
      [3, 'up', 'stopping, blend tick 3 of 10'], [30, null, 'standing']];
    let tick = 0;
    for (const [ticks, key, want] of points) {
      if (key) await page.keyboard[key]('ArrowUp');
      await page.evaluate((n) => Module._step(n), ticks);
      const got = await read(page, tick += ticks);
      const off = got.table.map((value, joint) => Math.abs(value - trace.get(tick)[joint]));
      const drawn = got.newest.every(([joint, value]) => Math.abs(value - got.table[joint]) <= 0.005);
      expect(got.state === want && Math.max(...off) <= 0.01 && drawn,
        `${engine}: how it moves, tick ${tick}: "${got.state}", the 13 angles within ${Math.max(...off).toFixed(4)} of the trace, ` +
        `the chart's newest points ${drawn ? '' : 'NOT '}the table's`);
    }
    if (engine === 'chromium') {
      const violations = await b.accessibilityViolations(page);
      expect(violations.length === 0, `axe-core, the view open: no violation of WCAG 2.2 A/AA or best practice (${violations.join('; ')})`);
    }
    const open = await frame(page);
    await toggle(page);
    await fit(page, false);
    expect(await frame(page) === open, `${engine}: the canvas's frame at tick ${tick} the same with the view open and closed`);
    if (engine !== 'chromium') return;
    await toggle(page);
    await page.goto(url + 'index.html?step');
    await page.waitForFunction(() => document.getElementById('moves-state'));
    const kept = await page.$eval('#moves', (button) => button.getAttribute('aria-expanded'));
    await toggle(page);   // closed again for the pages that follow
    expect(kept === 'true', `${engine}: the view open again after a reload (aria-expanded ${kept})`);
  }

  // On the running page with the view open: paused, Step runs one tick; Slow spaces the ticks to
  // 40 ms (at most 16 in 0.6 s) and its frame at a tick is the stepped page's at that tick.
  async function stepSlowCases(engine, browser, url) {
    const page = await browser.newPage();
    await b.open(page, url + 'index.html');
    await toggle(page);
    await page.waitForFunction(() => document.getElementById('moves-step'));
    await fit(page);
    await page.$eval('#pause', (button) => button.click());
    await page.waitForFunction(() => !document.getElementById('moves-step').disabled);
    await new Promise((done) => setTimeout(done, 100));   // the tick due meanwhile waits for Play
    const before = await page.evaluate(() => Module._tickCount());
    await page.$eval('#moves-step', (button) => button.click());
    await new Promise((done) => setTimeout(done, 150));
    const stepped = await page.evaluate(() => Module._tickCount()) - before;
    await page.$eval('#moves-slow', (box) => box.click());
    await page.$eval('#pause', (button) => button.click());
    const slow = await page.evaluate(() => new Promise((done) => {
      const start = Module._tickCount();
      setTimeout(() => done(Module._tickCount() - start), 600);
    }));
    await page.$eval('#pause', (button) => button.click());
    const [tick, slowFrame] = await page.evaluate(() => [Module._tickCount(), Module._step(0) || canvas.toDataURL()]);
    await toggle(page);
    await page.close();
    const stepPage = await browser.newPage();
    await b.open(stepPage, url + 'index.html?step');
    await fit(stepPage, false);
    const steppedFrame = await stepPage.evaluate((n) => Module._step(n) || canvas.toDataURL(), tick - 1);
    await stepPage.close();
    expect(stepped === 1 && slow >= 3 && slow <= 16 && slowFrame === steppedFrame,
      `${engine}: Step ran ${stepped} tick; Slow ran ${slow} ticks in 0.6 s; its frame at tick ${tick} the stepped page's`);
  }

  return { driveCases, stepSlowCases };
};
