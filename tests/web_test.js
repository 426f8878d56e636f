// The page in each ENGINE (chromium, firefox, webkit), one browser each, and its server; saves
// into WORK the pictures and clips tests/web_test.sh probes. Usage: node tests/web_test.js DIR WORK ENGINE...
// (DIR: the site folder; WORK/build-b: a copy with another icon, for the update case)
'use strict';
const fs = require('fs');
const http = require('http');
const zlib = require('zlib');
const b = require('../tools/browsers/browsers.js');
const [dir, work, ...engines] = process.argv.slice(2);
let failures = 0;

const expect = (ok, what) => console.log(`${ok ? 'ok' : (failures++, 'FAIL')}: ${what}`);
const access = require('./web_access.js')(expect);
const insides = require('./web_insides.js')(expect);

const get = (url, headers = {}) => new Promise((done, failed) => http.get(url, { headers }, (response) => {
  const chunks = [];
  response.on('data', (chunk) => chunks.push(chunk)).on('end', () => done({ response, body: Buffer.concat(chunks),
    said: `${response.statusCode} ${response.headers['content-type'].split(';')[0]}` }));
}).on('error', failed));

// Bad paths answered, the build's own files not served, the server still up afterwards (the pages below load from it).
async function serverCases(url) {
  const cases = [['%E0%A4%A', '400 text/plain'], ['%00', '400 text/plain'], ['../../etc/passwd', '404 text/plain'],
    ['%2e%2e/CMakeLists.txt', '404 text/plain'], ['nothing', '404 text/plain'], ['', '200 text/html'],
    ['CMakeCache.txt', '404 text/plain'], ['build.log', '404 text/plain'], ['index.js', '200 text/javascript'],
    ['index.wasm', '200 application/wasm'], ['manifest.webmanifest', '200 application/manifest+json']];
  for (const [path, want] of cases) expect((await get(url + path)).said === want, `server: GET /${path} -> ${want}`);
  // Compressed as each Accept-Encoding allows, the file's bytes once decoded, its ETag answered with a 304.
  const file = fs.readFileSync(`${dir}/index.wasm`), tags = new Set();
  for (const [accept, want] of [['gzip, deflate, br', 'br'], ['br;q=0, gzip', 'gzip'], ['', undefined]]) {
    const { response, body } = await get(url + 'index.wasm', { 'accept-encoding': accept });
    const { etag, vary } = response.headers, decode = { br: zlib.brotliDecompressSync, gzip: zlib.gunzipSync }[want];
    const again = await get(url + 'index.wasm', { 'accept-encoding': accept, 'if-none-match': etag });
    tags.add(etag);
    expect(response.headers['content-encoding'] === want && (decode ? decode(body) : body).equals(file) &&
      vary === 'Accept-Encoding' && response.headers['cache-control'] === 'no-cache' && etag &&
      again.response.statusCode === 304 && again.body.length === 0,
    `server: index.wasm for "${accept}": ${want || 'plain'}, ETag ${etag}, then 304`);
  }
  expect(tags.size === 3, 'server: an ETag for each encoding');
  // The first visit's bytes as bench/web_load.sh counts them, about: every file of the site but the
  // images, brotli-compressed, and 300 bytes of headers each, within the page's budget.
  const cached = [...fs.readFileSync(`${dir}/sw.js`, 'utf8').matchAll(/'([^']+)': '[0-9a-f]{64}'/g)].map((match) => match[1]);
  const names = ['sw.js', ...cached].filter((name) => !/\.png$/.test(name));
  let bytes = 0;
  for (const name of names) bytes += (await get(url + name, { 'accept-encoding': 'br' })).body.length + 300;
  expect(names.length >= 6 && bytes <= 110000, `server: a first visit of about ${bytes} bytes (${names.join(' ')}), at most 110,000`);
}

const buffer = (page) => page.$eval('#canvas', (canvas) => `${canvas.width}x${canvas.height}`);
// Key events as GLUT's listeners on the window receive them.
const recordKeys = (page) => page.evaluate(() => ['keydown', 'keyup'].forEach((type) =>
  window.addEventListener(type, (event) => (window.keyLog = window.keyLog || []).push(`${type} ${event.keyCode}`))));
const keyLog = (page) => page.evaluate(() => (window.keyLog || []).splice(0).join(', '));

const shown = (page, selector) => page.$eval(selector, (element) => element.offsetWidth > 0);

// A resize and density 2 (WebKit: the resize only, no screenshot), the buttons the engine can use,
// the keys and a mouse on an arrow, Pause and Play, axe-core's rules (Chromium), on one page, quiet.
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
  await access.pauseCases(engine, page);
  if (engine === 'chromium') await access.axeCases(page, 'a desktop window');
  await page.evaluate(() => navigator.serviceWorker.ready.then(() => true));   // for the pages below
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
  await access.axeCases(page, 'a phone');
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

// Loading, without leaves.rgb: the line shows until the first frame (the WebAssembly held back
// here), then the message is in the console only and the page goes on drawing.
async function loadingCase(engine, page, url) {
  let release;
  const lines = [];
  const status = () => page.$eval('#status', (line) => (line.hidden ? 'hidden' : line.className || 'shown'));
  page.on('console', (message) => lines.push(message.text()));
  await page.setRequestInterception(true);
  page.on('request', (request) => (request.url().endsWith('.wasm') ? (release = () => request.continue()) : request.continue()));
  await page.goto(url + 'index.html?without=leaves.rgb', { waitUntil: 'domcontentloaded' });
  await page.waitForFunction(() => typeof Module === 'object');
  expect(await status() === 'shown', `${engine}: loading line shown while the WebAssembly is on its way`);
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
// a scripted gamepad's d-pad), the canvas saved at each shot as ENGINE-step|pad-SHOT.png. With the
// keyboard the page is paused from the turn to the run (stepping goes on): the frames stay the pad's.
async function stepCases(engine, page, url, pad = false) {
  if (pad) await page.evaluateOnNewDocument(scriptBrowser);
  await b.open(page, url + 'index.html?step');
  if (engine !== 'webkit') {   // WebKit's pages each come at a path of their own (tools/browsers/browsers.js)
    expect(await page.evaluate(() => navigator.serviceWorker.controller !== null), `${engine}: step mode under the service worker`);
  }
  await b.sizeCanvas(page, 640, 480);
  await page.waitForFunction(() => canvas.width === 640 && canvas.height === 480);
  const held = new Set();
  for (const [ticks, what, arg] of plan()) {
    const drawn = await page.evaluate((end, shot) => Module._step(end - Module._tickCount()) || (shot && canvas.toDataURL()),
      Number(ticks), what === 'shot');
    if (what === 'shot') {
      fs.writeFileSync(`${work}/${engine}-${pad ? 'pad' : 'step'}-${arg}.png`, Buffer.from(drawn.split(',')[1], 'base64'));
      if (!pad && (arg === 'turn' || arg === 'run')) await page.$eval('#pause', (button) => button.click());
    } else if (!pad) await page.keyboard[what === 'keydown' ? 'down' : 'up'](`Arrow${arg}`);
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
  await access.startButtonCases(engine, page);
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
  const label = () => page.$eval('#record', (button) => button.textContent);
  await click();
  const during = await new Promise((done) => setTimeout(done, 2000)).then(label);
  const seconds = await new Promise((done) => setTimeout(done, 1000)).then(click).then(async (end) =>
    (end - await page.evaluate(() => window.began)) / 1000);
  await page.waitForFunction(() => window.offered, { timeout: 10000 });
  const [name, clip, size] = await page.evaluate(async () => [offered.name,
    [...new Uint8Array(await (await fetch(offered.href)).arrayBuffer())], `${canvas.width}x${canvas.height}`]);
  const stamp = /^squirrel-(\d{4})(\d\d)(\d\d)-(\d\d)(\d\d)(\d\d)\.webm$/.exec(name)?.slice(1).map(Number) || [];
  expect(/^■ Stop 0:0[12]$/.test(during) && await label() === '● Record',
    `${engine}: while recording "Stop" and the seconds (${during}), then "Record"`);
  expect(Math.abs(new Date(stamp[0], stamp[1] - 1, ...stamp.slice(2)) - Date.now()) < 60000, `${engine}: the clip named for its start (${name})`);
  fs.writeFileSync(`${work}/${engine}-clip.webm`, Buffer.from(clip));
  fs.writeFileSync(`${work}/${engine}-clip.txt`, `${seconds.toFixed(3)} ${size}\n`);
}

// Chromium: installable (its own check), the manifest's icons at their sizes; after the visits
// above, a reload with the network off shows the scene.
async function appCases(page, url) {
  await b.open(page, url + 'index.html');
  const cdp = await page.createCDPSession();
  const missing = [(await cdp.send('Page.getInstallabilityErrors')).installabilityErrors,
    (await cdp.send('Page.getAppManifest')).errors].flat();
  expect(missing.length === 0, `installable, the manifest read without errors (${JSON.stringify(missing)})`);
  const icons = await page.evaluate(async () => Promise.all((await (await fetch('manifest.webmanifest')).json()).icons
    .map((icon) => new Promise((done) => Object.assign(new Image(), { src: icon.src,
      onload: (event) => done(`${icon.sizes}: ${event.target.naturalWidth}x${event.target.naturalHeight}`),
      onerror: () => done(`${icon.src} failed`) })))));
  expect(icons.join() === '192x192: 192x192,512x512: 512x512', `manifest icons at their sizes (${icons.join()})`);
  await b.sizeCanvas(page, 640, 480);
  await page.setOfflineMode(true);
  await page.reload();
  const drawn = await page.$('#canvas') !== null && await b.firstFrame(page).then(() => b.waitTicks(page, 3), () => false);
  expect(drawn !== false, 'offline: a reload without the network draws');
  if (drawn !== false) await b.shot(page, `${work}/chromium-offline.png`);
}

// A new build replaces the old, at a sub-path of the host: build A visited, then build B (WORK/build-b,
// one icon changed) served instead; once A's pages have closed, B's worker holds the only cache and
// serves B's icon.
async function updateCase(browser) {
  const host = `${work}/host`, build = (site) => /BUILD = '(\w+)'/.exec(fs.readFileSync(`${site}/sw.js`, 'utf8'))[1];
  fs.cpSync(dir, `${host}/app`, { recursive: true });
  const url = `${await b.startServer(host)}app/`;
  await fresh(browser, (page) => b.open(page, url).then(() => page.evaluate(() => navigator.serviceWorker.ready.then(() => true))));
  fs.cpSync(`${work}/build-b`, `${host}/app`, { recursive: true });
  await fresh(browser, async (page) => {
    await b.open(page, url);
    await page.evaluate(() => navigator.serviceWorker.getRegistration().then((registration) => registration.update()));
    await page.waitForFunction(() => navigator.serviceWorker.getRegistration().then((registration) => !!registration.waiting),
      { timeout: 30000, polling: 200 });
  });
  const [caches, icon] = await fresh(browser, (page) => b.open(page, url).then(() => page.evaluate(async () =>
    [await caches.keys(), Array.from(new Uint8Array(await (await fetch('squirrel-192.png')).arrayBuffer()))])));
  const want = fs.readFileSync(`${work}/build-b/squirrel-192.png`);
  expect(build(dir) !== build(`${work}/build-b`) && caches.length === 1 && caches[0].endsWith(` ${build(`${work}/build-b`)}`) &&
    want.equals(Buffer.from(icon)), `update: only build B's cache left (${caches}), B's icon served`);
}

// A stepped page with Up held loses its WebGL context twice, and a page never lost follows the same
// drive: while lost the sentence shows and ticks go on undrawn; the frame the restore draws at once
// and one 10 ticks on (Up still steering) are saved for web_test.sh to hold against the other page's.
async function contextLossCases(engine, browser, url) {
  const said = (page) => page.$eval('#status', (line) => (line.hidden ? '' : line.textContent));
  const read = (page, ticks) => page.evaluate((n) => Module._step(n) || canvas.toDataURL(), ticks);
  const save = (name, data) => fs.writeFileSync(`${work}/${engine}-${name}.png`, Buffer.from(data.split(',')[1], 'base64'));
  const restore = (page) => page.evaluate(() => new Promise((done) => {
    const [start, frames] = [performance.now(), Module._frameCount()];
    canvas.addEventListener('webglcontextrestored', () => { const ms = performance.now() - start;   // after the page's
      done([canvas.toDataURL(), Module._frameCount() - frames, ms]); }, { once: true });   // own listener, in its task
    setTimeout(done, 5000, ['data:,', 0, 5000]);   // never restored
    window.loss.restoreContext();
  }));
  for (const lose of [true, false]) await fresh(browser, async (page) => {
    await b.open(page, url + 'index.html?step');
    await b.sizeCanvas(page, 640, 480);
    await page.waitForFunction(() => canvas.width === 640 && canvas.height === 480);
    await page.evaluate(() => { window.loss = canvas.getContext('webgl').getExtension('WEBGL_lose_context'); });
    await read(page, 10);
    await page.keyboard.down('ArrowUp');
    for (const n of [1, 2]) {
      await read(page, 5);
      if (lose) await page.evaluate(() => window.loss.loseContext());
      if (lose) await page.waitForFunction(() => !document.getElementById('status').hidden, { timeout: 5000 });
      const sentence = await said(page);
      const ran = await page.evaluate(() => { const [ticks, frames] = [Module._tickCount(), Module._frameCount()];
        Module._step(20);
        return `${Module._tickCount() - ticks} ticks, ${Module._frameCount() - frames} frames`; });
      if (lose) expect(/graphics device was reset: the picture will come back/.test(sentence) && ran === '20 ticks, 0 frames',
        `${engine}: loss ${n}: "${sentence}", ${ran} drawn while lost`);
      if (lose && n === 2) {   // left lost: the sentence turns to reloading
        const reload = await page.waitForFunction(() => /reload/.test(document.getElementById('status').textContent),
          { timeout: 6000 }).then(() => said(page), () => said(page));
        expect(/has not come back: reload the page/.test(reload), `${engine}: loss ${n}: seconds later "${reload}"`);
      }
      const [back, frames, ms] = lose ? await restore(page) : [await read(page, 0), 1, 0];
      if (lose) expect(frames === 1 && await said(page) === '', `${engine}: restore ${n} drew ${frames} frame in ${ms.toFixed(1)} ms`);
      save(`${lose ? 'lost' : 'unlost'}-back${n}`, back);
      save(`${lose ? 'lost' : 'unlost'}-steer${n}`, await read(page, 10));
    }
    await page.keyboard.up('ArrowUp');
  });
}

const fresh = (browser, run) => browser.newPage().then((page) => run(page).finally(() => page.close()));

const WEBGL_OFF = { chromium: '--disable-webgl', webkit: '--enable-webgl=false' };   // the browser's own switch

// One engine's cases, in one browser (and one without WebGL where the browser has a switch for it).
async function engineCases(engine, url, bare) {
  const browser = await b.launch(engine);
  await fresh(browser, (page) => viewCases(engine, page, url));
  await fresh(browser, (page) => stepCases(engine, page, url));
  await fresh(browser, (page) => stepCases(engine, page, url, true).then(() => padCases(engine, page)));
  await fresh(browser, (page) => access.narrationCases(engine, page, url));
  await fresh(browser, (page) => insides.driveCases(engine, page, url, `${work}/trace.csv`));
  if (engine === 'chromium') await insides.stepSlowCases(engine, browser, url);
  if (engine === 'chromium') await fresh(browser, (page) => access.motionCases(engine, page, url,
    (value) => page.emulateMediaFeatures([{ name: 'prefers-reduced-motion', value }])));
  if (engine !== 'webkit') await contextLossCases(engine, browser, url);
  if (engine === 'chromium') await fresh(browser, (page) => phoneCases(page, url));
  if (engine === 'firefox') await fresh(browser, (page) => b.open(page, url + 'index.html').then(() => touchCase(page)));
  for (const [what, how, want] of FAILURES) await fresh(browser, (page) => showsFailure(page, bare, `${engine}: ${what}`, how, want));
  if (engine !== 'webkit') {   // WebKit's pages cannot be held back while loading, nor record
    await fresh(browser, (page) => loadingCase(engine, page, bare));
    await fresh(browser, (page) => recordCase(engine, page, url));
  }
  if (engine === 'chromium') {
    await fresh(browser, (page) => appCases(page, url));
    await updateCase(browser);
  }
  await b.closeBrowser(browser);   // WebKit: one browser at a time
  if (engine !== 'chromium') {   // asking for reduced motion from the start: a browser of its own
    const still = await b.launch(engine, { reducedMotion: true });
    await fresh(still, (page) => access.motionCases(engine, page, url));
    await b.closeBrowser(still);
  }
  if (WEBGL_OFF[engine]) {
    const off = await b.launch(engine, { args: [WEBGL_OFF[engine]] });
    await fresh(off, (page) => showsFailure(page, url, `${engine} ${WEBGL_OFF[engine]}`, {}, FAILURES[2][2]));
    await b.closeBrowser(off);
  }
}

async function main() {
  const url = await b.startServer(dir);
  const bare = await b.startServer(dir);   // another origin: no service worker there until the last case
  await serverCases(url);
  for (const engine of engines) {
    const started = Date.now();
    await engineCases(engine, url, bare);
    console.log(`${engine}: ${((Date.now() - started) / 1000).toFixed(1)} s`);
  }
  return failures ? 1 : 0;
}

b.run(main);
