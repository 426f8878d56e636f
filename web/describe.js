// Runs in the page before the program starts (emcc --pre-js): tells screen
// readers what the squirrel does, in a polite live region (#said): it starts
// running forward or backward, runs on the spot, stops, or a tree trunk stops
// it (its step undone while Up or Down is held). Read from the program's own
// state after each tick (web/state.cpp). At most one sentence per 100 ticks
// (a second at full speed), counted in ticks so that a stepped page says the
// same: a change inside that window is said at its end, as the state then.
(function () {
  'use strict';
  var SENTENCES = {
    standing: 'The squirrel stops.',
    forward: 'The squirrel runs forward.',
    backward: 'The squirrel runs backward.',
    spot: 'The squirrel runs on the spot.',
    blocked: 'A tree trunk stops the squirrel.'
  };
  var WINDOW = 100;        // ticks between two sentences at least
  var said = document.getElementById('said');
  var ticks = 0;           // ticks read
  var last = 'standing';   // what was said last (the squirrel starts standing)
  var lastAt = -WINDOW;    // at which tick
  var where = null;        // the squirrel's x and z after the previous tick

  // The state after a tick: action, arrows (up, right, down, left), x, y, z.
  function doing(state) {
    var up = state[1] !== 0, down = state[3] !== 0;
    var moved = where === null || state[5] !== where[0] || state[7] !== where[1];
    where = [state[5], state[7]];
    if (!up && !down) return 'standing';
    if (up && down) return 'spot';
    if (!moved) return 'blocked';
    return up ? 'forward' : 'backward';
  }

  var before = Module['afterTick'];
  Module['afterTick'] = function () {
    if (before) before();
    var pointer = Module['_sceneState']() >> 2;
    var now = doing(HEAPF32.subarray(pointer, pointer + 8));
    ticks++;
    if (now !== last && ticks - lastAt >= WINDOW) {
      said.textContent = SENTENCES[now];
      last = now;
      lastAt = ticks;
    }
  };
})();
