// The page for everyone, case by case, for tests/web_test.js: Pause and Play (the button, Space, a
// gamepad's Start), reduced motion, the canvas's text alternative, what the live region says along
// a drive, and axe-core's rules. Each case takes the page (and what it needs) and reports through EXPECT.
'use strict';
const b = require('../tools/browsers/browsers.js');

module.exports = (expect) => {
  const sleep = (ms) => new Promise((done) => setTimeout(done, ms));
  const label = (page) => page.$eval('#pause', (button) => button.textContent);
  // The tick count, the squirrel's x and z (the program's state, web/state.cpp), the frame of the
  // current tick drawn again, the button's name, what the pause's live region and #motion say.
  const read = (page) => page.evaluate(() => {
    const at = Module._sceneState() >> 2;
    const text = (id) => (document.getElementById(id).hidden ? '' : document.getElementById(id).textContent);
    return { ticks: Module._tickCount(), x: HEAPF32[at + 5], z: HEAPF32[at + 7], frame: Module._step(0) || canvas.toDataURL(),
      label: document.getElementById('pause').textContent, said: text('playing'), motion: text('motion') };
  });
  const MOTION = 'Paused because your system asks for reduced motion: press Play or Space.';

  // On the running page: the canvas named for the scene; Pause stops the ticks and keeps the frame, Up
  // pressed meanwhile waits; Space (no button focused) plays on from there, Up acting at once.
  async function pauseCases(engine, page) {
    const name = await page.$eval('#canvas', (canvas) => `${canvas.getAttribute('role')}: ${canvas.getAttribute('aria-label')}`);
    expect(/^img: .*squirrel.*trees.*bird.*arrow keys.*Space pauses/.test(name), `${engine}: the canvas is an image named for the scene (${name})`);
    await page.$eval('#pause', (button) => button.click());
    const paused = await read(page);
    await page.keyboard.down('ArrowUp');
    await sleep(200);
    const still = await read(page);
    expect(paused.label === 'Play' && paused.said === 'Paused' && still.ticks === paused.ticks && still.frame === paused.frame &&
      still.x === paused.x && still.z === paused.z, `${engine}: Pause: "Play", "Paused" said, no tick in 0.2 s, the frame kept, Up waits`);
    await page.evaluate(() => document.activeElement.blur());
    await page.keyboard.press(' ');
    await b.waitTicks(page, 5);
    const played = await read(page);
    await page.keyboard.up('ArrowUp');
    expect(played.label === 'Pause' && played.said === 'Playing' && played.z < paused.z,
      `${engine}: Space plays: "Pause", "Playing" said, the squirrel runs forward (z ${paused.z} -> ${played.z})`);
  }

  // A page started where reduced motion is asked for: paused on its first frame, saying why; Play
  // starts it. With Chromium's emulation the wish also comes while it runs, and pauses it.
  async function motionCases(engine, page, url, emulate = null) {
    await emulate?.('reduce');
    await b.open(page, url + 'index.html');
    await sleep(300);
    const first = await read(page);
    expect(first.ticks === 1 && first.label === 'Play' && first.motion === MOTION,
      `${engine}: reduced motion: paused on the first frame (${first.ticks} timer set), "${first.motion}"`);
    await page.$eval('#pause', (button) => button.click());
    await b.waitTicks(page, 5);
    const played = await read(page);
    expect(played.label === 'Pause' && played.motion === '', `${engine}: reduced motion: Play runs it, the sentence gone`);
    if (!emulate) return;
    await emulate('no-preference');
    await page.waitForFunction(() => !matchMedia('(prefers-reduced-motion: reduce)').matches);
    await sleep(100);   // the wish's end seen by the page's listener too, before it comes again
    await emulate('reduce');
    const paused = await page.waitForFunction(() => document.getElementById('pause').textContent === 'Play', { timeout: 5000 })
      .then(() => read(page), () => read(page));
    await sleep(300);
    expect(paused.label === 'Play' && paused.motion === MOTION && (await read(page)).ticks === paused.ticks,
      `${engine}: reduced motion asked for while running: paused, saying why`);
  }

  // What the live region says along a stepped drive, as ticks since Up was pressed: forward at once;
  // tree row 0's trunk, straight to the right after the turn, stops the squirrel within 30 ticks, said
  // at the window's end (100 ticks on) as the state then; Up released at 150, the stop said at 201.
  // Standing and turning say nothing. (A small canvas: the frames drawn along do not matter here.)
  async function narrationCases(engine, page, url) {
    await b.open(page, url + 'index.html?step');
    await b.sizeCanvas(page, 320, 240);
    const said = [];
    const run = async (ticks) => said.push(...await page.evaluate((n) => {
      const region = document.getElementById('said'), changes = [];
      for (let k = 0; k < n; k++) {
        const before = region.textContent;
        Module._step(1);
        if (region.textContent !== before) changes.push([Module._tickCount(), region.textContent]);
      }
      return changes;
    }, ticks));
    const hold = async (key, ticks) => { await page.keyboard.down(key); await run(ticks); await page.keyboard.up(key); };
    await run(40);
    await hold('ArrowRight', 20);
    const start = await page.evaluate(() => Module._tickCount());
    await hold('ArrowUp', 150);
    await run(60);
    const got = said.map(([tick, text]) => `${tick - start} ${text}`).join(' ');
    const want = '1 The squirrel runs forward. 101 A tree trunk stops the squirrel. 201 The squirrel stops.';
    expect(got === want, `${engine}: the live region along a drive into a trunk: "${got}"`);
  }

  // After the drive with a scripted gamepad: Start pauses at the next tick; paused, the pad is read
  // at animation frames, and Start pressed again plays.
  async function startButtonCases(engine, page) {
    await page.evaluate(() => { pads[0] = makePad(0, [9]); Module._step(1); });
    const pausedBy = await label(page);
    await page.evaluate(() => { pads[0] = makePad(0); });
    await sleep(200);
    await page.evaluate(() => { pads[0] = makePad(0, [9]); });
    const played = await page.waitForFunction(() => document.getElementById('pause').textContent === 'Pause', { timeout: 5000 })
      .then(() => true, () => false);
    await page.evaluate(() => { pads[0] = makePad(0); Module._step(1); });
    expect(pausedBy === 'Play' && played, `${engine}: the gamepad's Start pauses (${pausedBy}), and while paused plays again`);
  }

  async function axeCases(page, where) {
    const violations = await b.accessibilityViolations(page);
    expect(violations.length === 0, `axe-core, ${where}: no violation of WCAG 2.2 A/AA or best practice (${violations.join('; ')})`);
  }

  return { pauseCases, motionCases, narrationCases, startButtonCases, axeCases };
};
