// Runs in the page before the program starts (emcc --pre-js).

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
Module['stepping'] = new URLSearchParams(location.search).has('step');
Module['failQuadric'] = new URLSearchParams(location.search).getAll('fail').indexOf('quadric') >= 0;
Module['onRuntimeInitialized'] = function () {
  new URLSearchParams(location.search).getAll('without').forEach(function (name) {
    FS.unlink(name);
  });
};
