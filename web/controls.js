// Runs in the page before the program starts (emcc --pre-js): the page's
// controls. The keyboard, the on-screen arrows and gamepads press and release
// the program's four arrow keys; Pause, Space and a gamepad's Start pause and
// play the page (paused from the start where the system asks for reduced
// motion); "How it moves" opens the view of the animation's insides; the
// record button makes a clip of the canvas; the full-screen button shows
// where the browser offers full screen.
(function () {
  'use strict';
  var canvas = Module['canvas'];

  // A key press or release as GLUT's own listeners receive it from the keyboard.
  var KEY_CODES = { Left: 37, Up: 38, Right: 39, Down: 40 };
  function sendKey(type, name) {
    var event = new KeyboardEvent(type, { key: 'Arrow' + name, code: 'Arrow' + name, bubbles: true, cancelable: true });
    Object.defineProperty(event, 'keyCode', { value: KEY_CODES[name] });
    Object.defineProperty(event, 'which', { value: KEY_CODES[name] });
    window.dispatchEvent(event);
  }

  // Every source of presses (the keyboard, each pointer on the on-screen
  // arrows, each gamepad) holds some of the four keys; a key is down while any
  // source holds it, so the program sees one press and one release however
  // many sources share it.
  var ARROWS = ['Up', 'Down', 'Left', 'Right'];
  var holding = {};      // source -> the names of the keys it holds
  function heldKeys() {
    var held = {};
    Object.keys(holding).forEach(function (source) {
      holding[source].forEach(function (name) { held[name] = true; });
    });
    return held;
  }
  // hold(SOURCE, NAMES): from now on SOURCE holds these keys and no others.
  function hold(source, names) {
    var before = heldKeys();
    if (names.length) holding[source] = names; else delete holding[source];
    var after = heldKeys();
    ARROWS.forEach(function (name) { if (before[name] && !after[name]) change('keyup', name); });
    ARROWS.forEach(function (name) { if (after[name] && !before[name]) change('keydown', name); });
  }
  function change(type, name) {
    document.querySelector('[data-key="' + name + '"]').classList.toggle('held', type === 'keydown');
    sendKey(type, name);
  }

  // The keyboard's own arrow key events stop here; the program gets the page's.
  // Repeated key-downs go on to the key-repeat filter (web/pre.js).
  ['keydown', 'keyup'].forEach(function (type) {
    window.addEventListener(type, function (event) {
      var name = event.isTrusted && !event.repeat &&
        ARROWS.filter(function (arrow) { return KEY_CODES[arrow] === event.keyCode; })[0];
      if (!name) return;
      event.preventDefault();
      event.stopImmediatePropagation();
      var others = (holding.keyboard || []).filter(function (held) { return held !== name; });
      hold('keyboard', type === 'keydown' ? others.concat(name) : others);
    }, true);
  });

  // On-screen arrows: each pointer holds the arrow it is over, found by
  // hit-testing every move (browsers differ on events when a finger slides
  // off), until it lifts or is cancelled.
  var pointers = {};     // the pointers pressed on the arrows
  function arrowAt(event) {
    var element = document.elementFromPoint(event.clientX, event.clientY);
    var arrow = element && element.closest('[data-key]');
    hold('pointer ' + event.pointerId, arrow ? [arrow.getAttribute('data-key')] : []);
  }
  var pad = document.getElementById('pad');
  pad.addEventListener('pointerdown', function (event) {
    event.preventDefault();
    if (pad.setPointerCapture) pad.setPointerCapture(event.pointerId);
    pointers[event.pointerId] = true;
    arrowAt(event);
  });
  pad.addEventListener('pointermove', function (event) {
    if (pointers[event.pointerId]) arrowAt(event);
  });
  ['pointerup', 'pointercancel', 'lostpointercapture'].forEach(function (type) {
    pad.addEventListener(type, function (event) {
      delete pointers[event.pointerId];
      hold('pointer ' + event.pointerId, []);
    });
  });
  pad.addEventListener('contextmenu', function (event) { event.preventDefault(); });

  // Pause and Play. While paused no tick runs (web/ffp_webgl.cpp holds the
  // timer, Module.paused) and the last frame stays; keys still reach the
  // program and act from the next tick. Screen readers hear "Paused" and
  // "Playing" (#playing). With reduced motion asked for, the page starts
  // paused, and pauses when the wish comes later, saying why (#motion).
  var pause = document.getElementById('pause');
  var playing = document.getElementById('playing');
  var motionLine = document.getElementById('motion');
  function setPaused(on, why) {
    motionLine.hidden = !(on && why === 'motion');
    if (!!Module['paused'] === on) return;
    Module['paused'] = on;
    pause.textContent = on ? 'Play' : 'Pause';
    playing.textContent = on ? 'Paused' : 'Playing';
    if (on) watchPads();
    else if (Module['calledRun']) Module['_play']();
  }
  pause.addEventListener('click', function () { setPaused(!Module['paused']); });
  // Space, unless a button (or anything else that takes Space) has the focus.
  window.addEventListener('keydown', function (event) {
    if (event.key !== ' ' || event.repeat || event.ctrlKey || event.altKey || event.metaKey) return;
    var focused = document.activeElement;
    if (focused && focused.closest && focused.closest('button, a[href], input, select, textarea, [contenteditable]')) return;
    event.preventDefault();
    setPaused(!Module['paused']);
  });
  var reducedMotion = window.matchMedia && matchMedia('(prefers-reduced-motion: reduce)');
  if (reducedMotion) {
    if (reducedMotion.matches) setPaused(true, 'motion');
    reducedMotion.addEventListener('change', function () {
      if (reducedMotion.matches) setPaused(true, 'motion');
      else motionLine.hidden = true;
    });
  }

  // Gamepads with the standard mapping: the d-pad (buttons 12 to 15) and the
  // left stick (axes 0 and 1 beyond half way) hold the same keys, and Start
  // (button 9) pauses and plays. Read before each tick (Module.beforeTick,
  // web/ffp_webgl.cpp), also when stepped, and at each animation frame while
  // paused, from the browser's announcing a pad until none is left; a pad
  // that is gone lets go of what it held.
  var PAD_BUTTONS = { Up: 12, Down: 13, Left: 14, Right: 15 };
  var START = 9;
  var startDown = {};    // pad -> its Start was down at the last reading
  function readPads() {
    var present = {};
    Array.prototype.forEach.call(navigator.getGamepads ? navigator.getGamepads() : [], function (gamepad) {
      if (!gamepad || !gamepad.connected || gamepad.mapping !== 'standard') return;
      var source = 'pad ' + gamepad.index;
      var x = gamepad.axes[0] || 0, y = gamepad.axes[1] || 0;
      var stick = { Up: y < -0.5, Down: y > 0.5, Left: x < -0.5, Right: x > 0.5 };
      var pressed = function (index) { return !!(gamepad.buttons[index] && gamepad.buttons[index].pressed); };
      present[source] = true;
      hold(source, ARROWS.filter(function (name) { return stick[name] || pressed(PAD_BUTTONS[name]); }));
      if (pressed(START) && !startDown[source]) setPaused(!Module['paused']);
      startDown[source] = pressed(START);
    });
    Object.keys(holding).forEach(function (source) {
      if (/^pad /.test(source) && !present[source]) hold(source, []);
    });
    Object.keys(startDown).forEach(function (source) {
      if (!present[source]) delete startDown[source];
    });
    if (Object.keys(present).length === 0) Module['beforeTick'] = null;
  }
  var watching = false;  // reading the pads at animation frames
  function watchPads() {
    if (watching || !Module['paused'] || !Module['beforeTick']) return;
    watching = true;
    requestAnimationFrame(function read() {
      if (Module['paused'] && Module['beforeTick']) readPads();
      watching = Module['paused'] && !!Module['beforeTick'];
      if (watching) requestAnimationFrame(read);
    });
  }
  window.addEventListener('gamepadconnected', function () {
    Module['beforeTick'] = readPads;
    watchPads();
  });

  // "How it moves": the view beside the canvas (web/insides.js, loaded when it
  // first opens), open or closed as it was at the last visit. The canvas gives
  // up the room, as on any resize.
  var moves = document.getElementById('moves');
  var insides = document.getElementById('insides');
  function showInsides(open) {
    moves.setAttribute('aria-expanded', String(open));
    insides.hidden = !open;
    try { localStorage.setItem('squirrel view', open ? 'open' : ''); } catch (error) { /* not kept */ }
    if (open && !document.getElementById('insides-script')) {
      var script = document.createElement('script');
      script.id = 'insides-script';
      script.src = 'insides.js';
      document.body.appendChild(script);
    }
  }
  moves.addEventListener('click', function () { showInsides(insides.hidden); });
  try { if (localStorage.getItem('squirrel view') === 'open') showInsides(true); } catch (error) { /* none kept */ }

  // Full screen, where the browser offers it to pages (Safari on iPhones does not).
  var full = document.getElementById('full');
  full.hidden = !(document.fullscreenEnabled || document.webkitFullscreenEnabled);
  full.addEventListener('click', function () {
    var root = document.documentElement;
    if (document.fullscreenElement) document.exitFullscreen();
    else if (document.webkitFullscreenElement) document.webkitExitFullscreen();
    else if (root.requestFullscreen) root.requestFullscreen().catch(function () {});
    else root.webkitRequestFullscreen();
  });

  // A clip of the canvas (MediaRecorder over its stream), at most 60 s,
  // offered as squirrel-YYYYMMDD-HHMMSS.webm, or .mp4 where only that is
  // recordable. The button shows where the browser can record one.
  var record = document.getElementById('record');
  var clipType = typeof MediaRecorder === 'function' && canvas.captureStream &&
    ['video/webm;codecs=vp8', 'video/webm', 'video/mp4'].filter(function (type) {
      return MediaRecorder.isTypeSupported(type);
    })[0];
  var recorder = null;   // while recording
  var clipUrl = null;    // the last clip offered
  record.hidden = !clipType;
  function two(n) { return ('0' + n).slice(-2); }
  function clipName(time) {
    return 'squirrel-' + time.getFullYear() + two(time.getMonth() + 1) + two(time.getDate()) + '-' +
      two(time.getHours()) + two(time.getMinutes()) + two(time.getSeconds()) + (/mp4/.test(clipType) ? '.mp4' : '.webm');
  }
  // Its name is its text: "Record", or "Stop" and the time recorded; the mark is not read out.
  function showRecording(seconds) {
    record.firstChild.textContent = seconds === null ? '●' : '■';
    record.lastChild.textContent = seconds === null ? 'Record' : 'Stop ' + Math.floor(seconds / 60) + ':' + two(seconds % 60);
    record.classList.toggle('on', seconds !== null);
  }
  function stopRecording() {
    if (recorder && recorder.state === 'recording') recorder.stop();
  }
  function offer(blob, name) {
    if (clipUrl) URL.revokeObjectURL(clipUrl);
    clipUrl = URL.createObjectURL(blob);
    var link = document.createElement('a');
    link.href = clipUrl;
    link.download = name;
    document.body.appendChild(link);
    link.click();
    link.remove();
  }
  // The time shown and the minute run from the recorder's start, which may
  // come a moment after the click on a busy machine.
  record.addEventListener('click', function () {
    if (recorder) return stopRecording();
    var clicked = new Date();
    var chunks = [];
    var stream = canvas.captureStream(30);
    var shown, limit;
    recorder = new MediaRecorder(stream, { mimeType: clipType });
    recorder.onstart = function () {
      var began = Date.now();
      shown = setInterval(function () { showRecording(Math.floor((Date.now() - began) / 1000)); }, 250);
      limit = setTimeout(stopRecording, 60000);
    };
    recorder.ondataavailable = function (event) { chunks.push(event.data); };
    recorder.onstop = function () {
      clearInterval(shown);
      clearTimeout(limit);
      stream.getTracks().forEach(function (track) { track.stop(); });
      recorder = null;
      showRecording(null);
      offer(new Blob(chunks, { type: clipType.split(';')[0] }), clipName(clicked));
    };
    recorder.start();
    showRecording(0);
  });
})();
