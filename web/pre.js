// Runs in the page before the program starts (emcc --pre-js): the program's
// start, and the options of the page's address.

// glutIgnoreKeyRepeat: a held key gives one key-down event. This listener
// comes before GLUT's own and stops the browser's repeated key-downs while
// the program asks for that (Module.ignoreKeyRepeat, set by web/ffp_webgl.cpp).
window.addEventListener('keydown', function (event) {
  if (event.repeat && Module['ignoreKeyRepeat']) {
    event.preventDefault();
    event.stopImmediatePropagation();
  }
}, true);

// index.html?without=leaves.rgb starts the program without that texture
// file, to show how it carries on without one; index.html?fail=quadric makes
// its GLU quadric fail (web/ffp_webgl.cpp), to show how it stops.
// index.html?step: the program's timer waits for Module._step(N) (tests).
var pageOptions = new URLSearchParams(location.search);
Module['stepping'] = pageOptions.has('step');
Module['failQuadric'] = pageOptions.getAll('fail').indexOf('quadric') >= 0;

// The start, each step in a task of its own, so that the page answers in
// between and no task but main's holds it long: the two texture files
// (web/textures.cpp), the program's main (the window, the WebGL context and
// init with its texture uploads; measured as "main" for bench/web_load.js),
// then the renderer's shaders, buffers and vertex layout. The first frame
// waits for them (a frame due earlier is skipped, and asked for again at the
// end). Without a context (WebGL refused: index.html says so) the start ends
// with main.
var started = false;
Module['noInitialRun'] = true;
Module['preMainLoop'] = function () { return started; };
Module['onRuntimeInitialized'] = function () {
  var steps = [
    function () { Module['_writeTextureFile'](0); },
    function () { Module['_writeTextureFile'](1); },
    function () {
      pageOptions.getAll('without').forEach(function (name) {
        FS.unlink(name);
      });
      performance.mark('main');
      Module['callMain']([]);
      performance.measure('main', 'main');
      return Module['ctx'] != null;
    },
    function () {
      Module['_prepare']();
      started = true;
      _glutPostRedisplay();
    }
  ];
  function next() {
    if (steps.shift()() !== false && steps.length) setTimeout(next, 0);
  }
  setTimeout(next, 0);
};
