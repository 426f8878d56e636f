// Browser build only: the program's own state for the page's web-only code,
// read after each tick (web/describe.js says what the squirrel does from it).
#include <emscripten.h>

#include "scene.h"

namespace {

// action, the four arrows (up, right, down, left), spos, the heading srot[1]
// and the thirteen joint angles, as the page reads them from the heap.
float state[22];

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE const float* sceneState()
{
    state[0] = action;
    for (int k = 0; k < 4; k++)
        state[1 + k] = arrows[k];
    for (int k = 0; k < 3; k++)
        state[5 + k] = spos[k];
    state[8] = srot[1];
    for (int j = 0; j < 13; j++)
        state[9 + j] = squirrel.part(j);
    return state;
}
