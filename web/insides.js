// The page's "How it moves" view (loaded when it first opens, web/controls.js):
// the locomotion state, the thirteen joint angles in a table, a rolling chart
// of the animated joints over the last 400 ticks, and the standing and running
// cycles' keyframe curves with each shown joint's angle as a level line. Every
// value comes from the program itself (web/state.cpp): its state read after
// each tick, its keyframe table sampled with its own Catmull-Rom spline. The
// view draws at an animation frame, at most every 100 ms (on a software GPU its
// drawing competes with the scene's), its curves kept as drawn until the
// joints shown or the cycle in use change; Step and Slow are the page's.
(function () {
  'use strict';
  var JOINTS = 13;
  var TICKS = 400;                          // ticks the chart keeps
  var FIXED = [2, 7];                       // the joints nothing animates
  var ANIMATED = [0, 1, 3, 4, 5, 6, 8, 9, 10, 11, 12];
  var COLORS = ['#ff8a65', '#ffd54f', '', '#4fc3f7', '#81d4fa', '#aed581', '#c5e1a5', '', '#f48fb1', '#f8bbd0',
    '#ce93d8', '#e1bee7', '#80cbc4'];
  var WORDS = ['standing', 'starting', 'running', 'stopping'];
  var EVERY = 100;                          // ms between two drawings at least
  var LOW = -50, HIGH = 100;                // degrees the charts span
  var shown = { 0: true, 3: true, 8: true }; // joints drawn, a few at first

  var history = new Float32Array(TICKS * JOINTS);   // a ring of the last ticks' angles
  var kept = 0;                                     // ticks in it
  var action = 0, blend = null, lastAction = null;  // blend: ticks of the blend gone by, null if not seen whole
  var drawnAt = -1;                                 // the tick count last drawn
  var drawnWhen = 0;                                // and when (an animation frame's time)

  // After each tick: the angles into the ring, the blend counted from the tick action changed.
  var before = Module['afterTick'];
  Module['afterTick'] = function () {
    if (before) before();
    var at = Module['_sceneState']() >> 2;
    action = HEAPF32[at];
    history.set(HEAPF32.subarray(at + 9, at + 9 + JOINTS), (kept % TICKS) * JOINTS);
    kept++;
    if (action === 1 || action === 3) {
      if (action !== lastAction) blend = lastAction === null ? null : 1;
      else if (blend !== null) blend++;
    } else {
      blend = null;
    }
    lastAction = action;
  };
  var angle = function (back, joint) { return history[((kept - 1 - back) % TICKS) * JOINTS + joint]; };

  // The view's parts, made once.
  var view = document.getElementById('insides');
  function make(tag, attributes, parent, text) {
    var element = document.createElement(tag);
    Object.keys(attributes).forEach(function (name) { element.setAttribute(name, attributes[name]); });
    if (text) element.textContent = text;
    return parent.appendChild(element);
  }
  make('h2', {}, view, 'How it moves');
  var line = make('p', { class: 'moves-line' }, view);
  var stateWord = make('strong', { id: 'moves-state' }, line);
  var blendText = make('span', { id: 'moves-blend' }, line);
  line.appendChild(document.createTextNode(' · tick '));
  var tickText = make('span', { id: 'moves-tick' }, line);
  var controls = make('p', {}, view);
  var step = make('button', { id: 'moves-step', disabled: '' }, controls, 'Step');
  var slowLabel = make('label', {}, controls);
  var slow = make('input', { id: 'moves-slow', type: 'checkbox', role: 'switch' }, slowLabel);
  slowLabel.appendChild(document.createTextNode(' Slow (a quarter of the pace)'));
  step.addEventListener('click', function () { Module['_step'](1); });
  slow.addEventListener('change', function () { Module['slow'] = slow.checked; });

  var table = make('table', { id: 'moves-joints' }, view);
  make('caption', {}, table, 'The joints after the last tick, in degrees');
  var head = make('tr', {}, make('thead', {}, table));
  ['#', 'joint', 'angle'].forEach(function (name) { make('th', { scope: 'col' }, head, name); });
  var body = make('tbody', {}, table);
  var cells = [];
  for (var joint = 0; joint < JOINTS; joint++) {
    var row = make('tr', {}, body);
    make('td', {}, row, String(joint));
    make('th', { scope: 'row', class: 'moves-name' }, row);
    cells.push(make('td', { class: 'moves-angle' }, row));
  }

  function figure(id, label, caption) {
    var box = make('figure', {}, view);
    var canvas = make('canvas', { id: id, role: 'img', 'aria-label': label }, box);
    make('figcaption', {}, box, caption);
    return canvas;
  }
  var chart = figure('moves-chart', 'Chart of the shown joints\' angles over the last 400 ticks; the table holds their values now.',
    'The shown joints over the last 400 ticks (4 s), the newest at the right. Show or hide a joint:');
  var legend = make('div', { class: 'moves-legend' }, chart.parentNode);
  var curves = figure('moves-curves', 'The keyframe curves of the shown joints in the standing and the running cycle.',
    'Their keyframe curves over one cycle, standing (left) and running (right): dots are keyframes, the cycle in use ' +
    'is lit (during a blend, the one it leads to), and a level line marks each joint\'s angle now.');
  var toggles = [];
  ANIMATED.forEach(function (joint) {
    var toggle = make('button', { 'aria-pressed': String(!!shown[joint]), class: 'moves-toggle' }, legend);
    make('span', { 'aria-hidden': 'true', style: 'color:' + COLORS[joint] }, toggle, '■ ');
    toggles[joint] = make('span', {}, toggle);
    toggle.addEventListener('click', function () {
      shown[joint] = !shown[joint];
      toggle.setAttribute('aria-pressed', String(shown[joint]));
      drawnAt = -1;
    });
  });

  var style = make('style', {}, document.head);
  style.textContent = '#insides h2 { font-size: 1.1em; margin: 0.6em 0 0.3em; }' +
    '#insides p { margin: 0.3em 0; } #insides button { padding: 0.2em 0.6em; min-height: 1.9em; }' +
    '#moves-joints { border-collapse: collapse; font-variant-numeric: tabular-nums; }' +
    '#moves-joints th, #moves-joints td { padding: 0 0.5em; text-align: left; font-weight: normal; }' +
    '#moves-joints td.moves-angle { text-align: right; } #moves-joints caption { text-align: left; }' +
    '#insides figure { margin: 0.6em 0; } #insides canvas { display: block; width: 100%; height: 9em; background: #111; }' +
    '.moves-legend { display: flex; flex-wrap: wrap; gap: 4px; } .moves-toggle[aria-pressed="false"] { color: #bbb; }' +
    '.moves-toggle[aria-pressed="true"] { background: #555; }';

  // The names and the curves, from the program once it runs (its runtime is up).
  var samples = null;   // samples[running][curve]: the curve at 100 phases
  function fromProgram() {
    if (samples || !Module['calledRun']) return !!samples;
    for (var joint = 0; joint < JOINTS; joint++) {
      var name = UTF8ToString(Module['_jointName'](joint));
      body.rows[joint].cells[1].textContent = FIXED.indexOf(joint) >= 0 ? name + ' (fixed)' : name;
      if (toggles[joint]) toggles[joint].textContent = name;
    }
    samples = [0, 1].map(function (running) {
      return [0, 1, 2, 3, 4, 5].map(function (curve) {
        var values = [];
        for (var k = 0; k <= 100; k++) values.push(Module['_curveAt'](running, curve, k / 100));
        return values;
      });
    });
    return true;
  }

  // A canvas's drawing buffer at its size on screen; its 2-D context, cleared.
  function surface(canvas) {
    var ratio = window.devicePixelRatio || 1;
    var width = Math.round(canvas.clientWidth * ratio), height = Math.round(canvas.clientHeight * ratio);
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    var context = canvas.getContext('2d');
    context.clearRect(0, 0, width, height);
    context.lineWidth = ratio * 1.5;
    return context;
  }
  function yOf(degrees, height) { return height * (HIGH - degrees) / (HIGH - LOW); }
  function grid(context, left, width, height) {
    context.strokeStyle = '#555';
    context.fillStyle = '#bbb';
    context.font = Math.round(10 * (window.devicePixelRatio || 1)) + 'px sans-serif';
    [-50, 0, 50, 100].forEach(function (degrees) {
      var y = Math.min(Math.max(yOf(degrees, height), 8), height - 2);
      context.beginPath();
      context.moveTo(left, y);
      context.lineTo(left + width, y);
      context.stroke();
      context.fillText(degrees + '°', left + 2, y - 2);
    });
  }

  // The chart: its grid, drawn once for its size, and its lines, a tick a
  // pixel across, which move left by the ticks run since the last drawing
  // while only the newest stretch is drawn; both then scaled onto the chart.
  var chartGrid = document.createElement('canvas'), gridFor = '';
  var lines = document.createElement('canvas'), linesFor = '', linesAt = 0;
  function shownJoints() { return ANIMATED.filter(function (joint) { return shown[joint]; }); }
  function drawLines(context, from, height) {
    shownJoints().forEach(function (joint) {
      context.strokeStyle = COLORS[joint];
      context.beginPath();
      for (var back = from; back >= 0; back--) {
        context[back === from ? 'moveTo' : 'lineTo'](TICKS - 1 - back, yOf(angle(back, joint), height));
      }
      context.stroke();
    });
  }
  function drawChart() {
    var context = surface(chart), width = chart.width, height = chart.height;
    if (gridFor !== width + 'x' + height) {
      gridFor = width + 'x' + height;
      chartGrid.width = width;
      chartGrid.height = height;
      grid(chartGrid.getContext('2d'), 0, width, height);
    }
    var key = height + ':' + shownJoints().join(), fresh = kept - linesAt, linesContext = lines.getContext('2d');
    if (key !== linesFor || fresh >= TICKS - 1) {
      linesFor = key;
      lines.width = TICKS;
      lines.height = height;
      linesContext.lineWidth = (window.devicePixelRatio || 1) * 1.5;
      if (kept) drawLines(linesContext, Math.min(kept, TICKS) - 1, height);
    } else if (fresh > 0) {
      linesContext.globalCompositeOperation = 'copy';
      linesContext.imageSmoothingEnabled = false;   // whole pixels: moved as they are
      linesContext.drawImage(lines, -fresh, 0);
      linesContext.globalCompositeOperation = 'source-over';
      drawLines(linesContext, Math.min(fresh, kept - 1), height);
    }
    linesAt = kept;
    context.drawImage(chartGrid, 0, 0);
    context.drawImage(lines, 0, 0, TICKS, height, 0, 0, width, height);
  }

  // The curves as drawn for the joints shown, the cycle in use and the size;
  // each drawing then only copies them and adds the level lines.
  var drawnCurves = document.createElement('canvas'), drawnFor = '';
  function drawCurves() {
    var context = surface(curves), half = curves.width / 2, height = curves.height;
    var lit = action === 0 || action === 3 ? 0 : 1;
    var key = [lit, curves.width, height].concat(shownJoints()).join();
    if (key !== drawnFor) {
      drawnFor = key;
      drawnCurves.width = curves.width;
      drawnCurves.height = height;
      drawCycles(drawnCurves.getContext('2d'), half, height, lit);
    }
    context.drawImage(drawnCurves, 0, 0);
    context.setLineDash([4, 4]);
    [0, 1].forEach(function (running) {
      ANIMATED.forEach(function (joint) {
        if (!shown[joint]) return;
        context.strokeStyle = COLORS[joint];
        context.globalAlpha = running === lit ? 1 : 0.45;
        context.beginPath();
        context.moveTo(running * half, yOf(angle(0, joint), height));
        context.lineTo(running * half + half - 4, yOf(angle(0, joint), height));
        context.stroke();
      });
    });
    context.setLineDash([]);
    context.globalAlpha = 1;
  }

  function drawCycles(context, half, height, lit) {
    context.lineWidth = (window.devicePixelRatio || 1) * 1.5;
    [0, 1].forEach(function (running) {
      var left = running * half;
      context.fillStyle = running === lit ? '#2a2a2a' : '#111';
      context.fillRect(left, 0, half - 4, height);
      grid(context, left, half - 4, height);
      ANIMATED.forEach(function (joint) {
        var curve = Module['_jointCurveOf'](joint);
        if (!shown[joint]) return;
        context.strokeStyle = context.fillStyle = COLORS[joint];
        context.globalAlpha = running === lit ? 1 : 0.45;
        if (curve >= 0) {
          context.beginPath();
          samples[running][curve].forEach(function (value, k) {
            context[k ? 'lineTo' : 'moveTo'](left + (half - 4) * k / 100, yOf(value, height));
          });
          context.stroke();
          // Keyframe I is where the closed curve passes it: phase (I - 1) / N.
          var count = Module['_curveLength'](running, curve);
          for (var i = 0; i < count; i++) {
            var x = left + (half - 4) * (((i - 1 + count) % count) / count);
            context.beginPath();
            context.arc(x, yOf(Module['_curveKeyframe'](running, curve, i), height), 3 * (window.devicePixelRatio || 1), 0, 7);
            context.fill();
          }
        }
      });
    });
    context.globalAlpha = 1;
  }

  // At an animation frame, while the view is open: what changed.
  function frame(when) {
    requestAnimationFrame(frame);
    if (step.disabled !== !Module['paused']) step.disabled = !Module['paused'];
    var ticks = Module['calledRun'] ? Module['_tickCount']() - 1 : 0;
    if (view.hidden || !fromProgram() || (ticks === drawnAt && drawnAt >= 0) || when - drawnWhen < EVERY) return;
    drawnAt = ticks;
    drawnWhen = when;
    stateWord.textContent = WORDS[action];
    blendText.textContent = blend === null ? '' : ', blend tick ' + blend + ' of 10';
    tickText.textContent = String(ticks);
    for (var joint = 0; joint < JOINTS; joint++) cells[joint].textContent = kept ? angle(0, joint).toFixed(2) : '';
    drawChart();
    drawCurves();
  }
  requestAnimationFrame(frame);
  new ResizeObserver(function () { drawnAt = -1; }).observe(view);

  // For the tests and whoever drives the page: the chart's newest points, by joint.
  Module['insides'] = {
    newest: function () { return ANIMATED.map(function (joint) { return [joint, kept ? angle(0, joint) : null]; }); }
  };
})();
