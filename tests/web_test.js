// The page in each ENGINE (chromium, firefox, webkit), one browser each, and its server; saves
// into WORK the pictures and clips tests/web_test.sh probes. Usage: node tests/web_test.js DIR WORK ENGINE...
'use strict';
const fs = require('fs');
const http = require('http');
const b = require('../web/browsers.js');
const [dir, work, ...engines] = process.argv.slice(2);
let failures = 0;

const expect = (ok, what) => console.log(`${ok ? 'ok' : (failures++, 'FAIL')}: ${what}`);

const get = (url) => new Promise((done, failed) => http.get(url, (response) =>
  done(`${response.resume().statusCode} ${response.headers['content-type'].split(';')[0]}`)).on('error', failed));

// Bad paths answered, the server still up afterwards (the pages below load from it).
async function serverCases(url) {
  const cases = [['%E0%A4%A', '400 text/plain'], ['%00', '400 text/plain'], ['../../etc/passwd', '404 text/plain'],
    ['%2e%2e/CMakeLists.txt', '404 text/plain'], ['nothing', '404 text/plain'], ['', '200 text/html'],
    ['index.js', '200 text/javascript'], ['index.wasm', '200 application/wasm']];
  for (const [path, want] of cases) expect(await get(url + path) === want, `server: GET /${path} -> ${want}`);
}

const buffer = (page) => page.$eval('#canvas', (canvas) => `${canvas.width}x${canvas.height}`);
// Key events as GLUT's listeners on the window receive them.
const recordKeys = (page) => page.evaluate(() => ['keydown', 'keyup'].forEach((type) =>
  window.addEventListener(type, (event) => (window.keyLog = window.keyLog || []).push(`${type} ${event.keyCode}`))));
const keyLog = (page) => page.evaluate(() => (window.keyLog || []).splice(0).join(', '));

const shown = (page, selector) => page.$eval(selector, (element) => element.offsetWidth > 0);

// A resize and density 2 (WebKit: the resize only, no screenshot), the buttons the engine can use,
// the keys and a mouse on an arrow, on one page, quiet.
async function viewCases(engine, page, url) {
  const errors = [];   // every warning or error in the console, exception, failed request (WebKit: kept in the page)
  page.on?.('console', (line) => /^(error|warn)/.test(line.type()) && errors.push(line.text()));
  page.on?.('pageerror', (error) => errors.push(error.message));
  page.on?.('requestfailed', (request) => errors.push(`${request.url()} failed`));
  page.on?.('response', (response) => response.status() >= 400 && errors.push(`${response.url()} ${response.status()}`));
  const webkit = engine === 'webkit';
  await b.open(page, url + 'index.html');
  await b.sizeCanvas(page, 640, 480);
  await b.waitTicks(page, 5);
  expect(await page.title() === 'squirrel', `${engine}: title`);
  for (const [width, height, ratio] of webkit ? [[1000, 500, 1]] : [[1000, 500, 1], [640, 480, 2]]) {
    await b.sizeCanvas(page, width, height, ratio);
    const want = `${width * ratio}x${height * ratio}`;   // the resize reaches the page at its next frame
    await page.waitForFunction((size) => `${canvas.width}x${canvas.height}` === size, { timeout: 10000 }, want).catch(() => {});
    expect(await buffer(page) === want, `${engine}: ${width}x${height} at ratio ${ratio}: drawing buffer ${want}`);
    await b.waitTicks(page, 3);
    if (!webkit) await b.shot(page, `${work}/${engine}-${width}x${height}x${ratio}.png`);
  }
  // WebKitGTK's MediaRecorder takes none of the formats.
  expect(await shown(page, '#full') && await shown(page, '#record') === !webkit,
    `${engine}: Full screen shown, Record ${webkit ? 'hidden' : 'shown'}`);
  await recordKeys(page);   // glutIgnoreKeyRepeat: a held key's repeated key-downs never reach GLUT
  await page.evaluate(() => [['keydown', false], ['keydown', true], ['keyup', false]].forEach(([type, repeat]) =>
    document.dispatchEvent(new KeyboardEvent(type, { keyCode: 38, repeat, bubbles: true }))));
  expect(await keyLog(page) === 'keydown 38, keyup 38', `${engine}: a repeated key-down dropped`);
  const up = await page.$eval('[aria-label="Up"]', (arrow) => arrow.getBoundingClientRect().toJSON());
  await page.mouse.click(up.x + up.width / 2, up.y + up.height / 2);
  expect(await keyLog(page) === 'keydown 38, keyup 38', `${engine}: a click on the Up arrow presses and releases it`);
  const glError = await page.$eval('#canvas', (canvas) => canvas.getContext('webgl').getError());
  if (webkit) errors.push(...(await page.consoleLines()).filter((line) => /^(error|warn)/.test(line.type)).map((line) => line.text));
  expect(errors.length === 0 && glError === 0, `${engine}: a quiet console, no failed request, WebGL error ${glError} (${errors.join('; ')})`);
}

// At phone size with touch (Chromium emulates one): laid out at device
// width, the arrows big enough for a thumb, two held at once, released when
// the finger slides off or lifts; Up held moves the scene.
async function phoneCases(page, url) {
  await page.emulate({ userAgent: await page.browser().userAgent(),
    viewport: { width: 375, height: 667, deviceScaleFactor: 1, isMobile: true, hasTouch: true } });
  await b.open(page, url + 'index.html');
  const width = await page.$eval('#canvas', (canvas) => canvas.width);
  const arrow = await page.$eval('[aria-label="Up"]', (up) => up.getBoundingClientRect().toJSON());
  expect(await page.evaluate(() => innerWidth) === 375 && width === 375, 'phone: laid out 375 wide');
  expect(arrow.width >= 44 && arrow.height >= 44, `phone: Up is ${arrow.width}x${arrow.height}, at least 44x44`);
  await b.shot(page, `${work}/chromium-phone-first.png`);
  await recordKeys(page);
  const up = await (await page.$('[aria-label="Up"]')).touchStart();
  await b.waitTicks(page, 50);
  await b.shot(page, `${work}/chromium-phone-up.png`);
  const left = await (await page.$('[aria-label="Left"]')).touchStart();
  await up.move(arrow.x + arrow.width / 2, arrow.y - 40);
  await left.end();
  expect(await keyLog(page) === 'keydown 38, keydown 37, keyup 38, keyup 37',
    'phone: Up held, Left with it, Up released sliding off, Left released lifting');
  await up.end();
}

// Firefox cannot emulate a phone: a touch on the arrow steers.
async function touchCase(page) {
  await recordKeys(page);
  const touch = await (await page.$('[aria-label="Right"]')).touchStart();
  await touch.end();
  expect(await keyLog(page) === 'keydown 39, keyup 39', 'firefox: a touch on Right presses and releases it');
}

const stubWebGL = () => { const get = HTMLCanvasElement.prototype.getContext;   // refuses WebGL contexts
  HTMLCanvasElement.prototype.getContext = function (type, ...rest) { return /webgl/.test(type) ? null : get.call(this, type, ...rest); }; };
// Each failure, on a fresh page: WHAT, how it is brought about, what the page's sentence must name.
const FAILURES = [
  ['opened as a file', { file: true }, /HTTP.*\.\/run\.sh --web.*python3 -m http\.server -d /],
  ['no WebAssembly', { script: () => { delete window.WebAssembly; } }, /WebAssembly/],
  ['no WebGL', { script: stubWebGL }, /WebGL/],
  ['index.js missing', { block: 'index.js' }, /index\.js/],
  ['index.wasm dropped', { block: 'index.wasm', drop: true }, /index\.wasm/],
  ['index.data missing', { block: 'index.data' }, /index\.data/],
  ['quadric failure', { query: '?fail=quadric' }, /stopped: Unable to create GLU quadric object\./],
];

async function showsFailure(page, url, what, how, want) {
  if (how.script) await page.evaluateOnNewDocument(how.script);
  if (how.block && page.block) page.block(how.block, how.drop);   // WebKit: through its proxy
  else if (how.block) {
    await page.setRequestInterception(true);
    page.on('request', (request) => {
      if (!request.url().endsWith(how.block)) request.continue();
      else if (how.drop) request.abort('connectionreset');
      else request.respond({ status: 404, contentType: 'text/plain', body: 'Not found' });
    });
  }
  const address = how.file ? `file://${require('path').resolve(dir)}/index.html` : url + 'index.html' + (how.query || '');
  const said = await b.open(page, address).then(() => 'a frame', (error) => error.message);
  expect(/^the page says: /.test(said) && !/on an error/.test(said) && want.test(said), `${what}: the page names ${want} (${said})`);
}

// Loading, without leaves.rgb: the line shows until the first frame (the data file held back
// here), then the message is in the console only and the page goes on drawing.
async function loadingCase(engine, page, url) {
  let release;
  const lines = [];
  const status = () => page.$eval('#status', (line) => (line.hidden ? 'hidden' : line.className || 'shown'));
  page.on('console', (message) => lines.push(message.text()));
  await page.setRequestInterception(true);
  page.on('request', (request) => (request.url().endsWith('.data') ? (release = () => request.continue()) : request.continue()));
  await page.goto(url + 'index.html?without=leaves.rgb', { waitUntil: 'load' });
  expect(await status() === 'shown', `${engine}: loading line shown while the data file is on its way`);
  release();
  await b.firstFrame(page);
  await b.sizeCanvas(page, 640, 480);
  for (const n of [1, 2]) await b.waitTicks(page, 10).then(() => b.shot(page, `${work}/${engine}-missing${n}.png`));
  expect(await status() === 'hidden' && lines.filter((line) => /Error/.test(line)).join() === 'Error loading leaves.rgb',
    `${engine}: loading line gone; without leaves.rgb "Error loading leaves.rgb" in the console only (${lines.join('; ')})`);
}

const plan = () => fs.readFileSync(`${work}/desktop/plan`, 'utf8').trim().split('\n').map((row) => row.split(' '));
const PAD_BUTTONS = { Up: 12, Down: 13, Left: 14, Right: 15 };

// Scripted at load: no Fullscreen API, a recorder that takes MP4 only, and gamepads (window.pads,
// makePad(INDEX, BUTTONS, AXES) a standard one, announced as the browser does) for navigator.getGamepads.
function scriptBrowser() {
  for (const name of ['fullscreenEnabled', 'webkitFullscreenEnabled']) Object.defineProperty(Document.prototype, name, { get: () => false });
  if (window.MediaRecorder) MediaRecorder.isTypeSupported = (type) => type === 'video/mp4';
  window.pads = [];
  window.makePad = (index, pressed = [], axes = [0, 0]) => dispatchEvent(new Event('gamepadconnected')) && ({ index, id: 'scripted',
    connected: true, mapping: 'standard', axes, buttons: Array.from({ length: 17 }, (_, k) => ({ pressed: pressed.includes(k) })) });
  Object.defineProperty(Navigator.prototype, 'getGamepads', { value: () => window.pads });
}

// The desktop program's drive (WORK/desktop/plan by tools/step_shots.sh: TICKS ROW), replayed on
// the page stepped tick by tick: the same key events at the same ticks (with PAD, the same buttons of
// a scripted gamepad's d-pad), the canvas saved at each shot as ENGINE-step|pad-SHOT.png.
async function stepCases(engine, page, url, pad = false) {
  if (pad) await page.evaluateOnNewDocument(scriptBrowser);
  await b.open(page, url + 'index.html?step');
  await b.sizeCanvas(page, 640, 480);
  await page.waitForFunction(() => canvas.width === 640 && canvas.height === 480);
  const held = new Set();
  for (const [ticks, what, arg] of plan()) {
    const drawn = await page.evaluate((end, shot) => Module._step(end - Module._tickCount()) || (shot && canvas.toDataURL()),
      Number(ticks), what === 'shot');
    if (what === 'shot') fs.writeFileSync(`${work}/${engine}-${pad ? 'pad' : 'step'}-${arg}.png`, Buffer.from(drawn.split(',')[1], 'base64'));
    else if (!pad) await page.keyboard[what === 'keydown' ? 'down' : 'up'](`Arrow${arg}`);
    else {
      held[what === 'keydown' ? 'add' : 'delete'](PAD_BUTTONS[arg]);
      await page.evaluate((pressed) => { pads[0] = makePad(0, pressed); }, [...held]);
    }
  }
}

// After the drive with a gamepad: no Full screen, Record shown; the stick, a pad that disconnects and
// keys held by several sources, each as the key events GLUT receives at the next tick.
async function padCases(engine, page) {
  expect(!await shown(page, '#full') && await shown(page, '#record'),
    `${engine}: without a Fullscreen API no Full screen; a recorder that takes MP4: Record shown`);
  await page.evaluate(() => Module._step(1)).then(() => recordKeys(page));
  for (const [what, action, want] of [
    ['the stick pushed up and left', () => page.evaluate(() => { pads[0] = makePad(0, [], [-0.8, -0.7]); }), 'keydown 38, keydown 37'],
    ['the keyboard and a second pad hold Up too', () => page.keyboard.down('ArrowUp')
      .then(() => page.evaluate(() => { pads[1] = makePad(1, [12]); })), ''],
    ['the first pad disconnects: Left let go', () => page.evaluate(() => { pads[0] = null; }), 'keyup 37'],
    ['the keyboard lets go of Up, the second pad holds it', () => page.keyboard.up('ArrowUp'), ''],
    ['the second pad disconnects: Up let go', () => page.evaluate(() => { pads[1] = { ...pads[1], connected: false }; }), 'keyup 38'],
  ]) {
    const got = await action().then(() => page.evaluate(() => Module._step(1))).then(() => keyLog(page));
    expect(got === want, `${engine}: ${what}: "${want}" (${got})`);
  }
}

// About 3 s recorded with Up held; the clip taken from the page instead of downloaded, saved with
// the seconds from the recorder's start to the click on Stop, and the drawing buffer's size, for
// tests/web_test.sh.
async function recordCase(engine, page, url) {
  await page.evaluateOnNewDocument(() => {
    HTMLAnchorElement.prototype.click = function () { window.offered = { href: this.href, name: this.download }; };
    const start = MediaRecorder.prototype.start;
    MediaRecorder.prototype.start = function (...args) {
      this.addEventListener('start', () => { window.began = performance.now(); });
      return start.apply(this, args);
    };
  });
  await b.open(page, url + 'index.html');
  await b.sizeCanvas(page, 640, 480);
  await page.keyboard.down('ArrowUp');
  const click = () => page.evaluate(() => document.getElementById('record').click() || performance.now());
  const label = () => page.$eval('#record', (button) => `${button.getAttribute('aria-label')}: ${button.textContent}`);
  await click();
  const during = await new Promise((done) => setTimeout(done, 2000)).then(label);
  const seconds = await new Promise((done) => setTimeout(done, 1000)).then(click).then(async (end) =>
    (end - await page.evaluate(() => window.began)) / 1000);
  await page.waitForFunction(() => window.offered, { timeout: 10000 });
  const [name, clip, size] = await page.evaluate(async () => [offered.name,
    [...new Uint8Array(await (await fetch(offered.href)).arrayBuffer())], `${canvas.width}x${canvas.height}`]);
  const stamp = /^squirrel-(\d{4})(\d\d)(\d\d)-(\d\d)(\d\d)(\d\d)\.webm$/.exec(name)?.slice(1).map(Number) || [];
  expect(/^Stop: ■ 0:0[12]$/.test(during) && await label() === 'Record: ● Rec',
    `${engine}: while recording "Stop" and the seconds (${during}), then "Record"`);
  expect(Math.abs(new Date(stamp[0], stamp[1] - 1, ...stamp.slice(2)) - Date.now()) < 60000, `${engine}: the clip named for its start (${name})`);
  fs.writeFileSync(`${work}/${engine}-clip.webm`, Buffer.from(clip));
  fs.writeFileSync(`${work}/${engine}-clip.txt`, `${seconds.toFixed(3)} ${size}\n`);
}

const fresh = (browser, run) => browser.newPage().then((page) => run(page).finally(() => page.close()));

const WEBGL_OFF = { chromium: '--disable-webgl', webkit: '--enable-webgl=false' };   // the browser's own switch

async function main() {
  const url = await b.startServer(dir);
  await serverCases(url);
  for (const engine of engines) {
    const started = Date.now();
    const browser = await b.launch(engine);
    await fresh(browser, (page) => viewCases(engine, page, url));
    await fresh(browser, (page) => stepCases(engine, page, url));
    await fresh(browser, (page) => stepCases(engine, page, url, true).then(() => padCases(engine, page)));
    if (engine === 'chromium') await fresh(browser, (page) => phoneCases(page, url));
    if (engine === 'firefox') await fresh(browser, (page) => b.open(page, url + 'index.html').then(() => touchCase(page)));
    if (engine !== 'webkit') {   // WebKit's pages cannot be held back while loading, nor record
      await fresh(browser, (page) => loadingCase(engine, page, url));
      await fresh(browser, (page) => recordCase(engine, page, url));
    }
    for (const [what, how, want] of FAILURES) await fresh(browser, (page) => showsFailure(page, url, `${engine}: ${what}`, how, want));
    if (WEBGL_OFF[engine]) {
      await b.closeBrowser(browser);   // WebKit: one browser at a time
      const off = await b.launch(engine, { args: [WEBGL_OFF[engine]] });
      await fresh(off, (page) => showsFailure(page, url, `${engine} ${WEBGL_OFF[engine]}`, {}, FAILURES[2][2]));
    }
    console.log(`${engine}: ${((Date.now() - started) / 1000).toFixed(1)} s`);
  }
  return failures ? 1 : 0;
}

b.run(main);
