// Browser build only: the program's own state and keyframe cycles for the
// page's web-only code, read after each tick: web/describe.js says what the
// squirrel does from it, web/insides.js shows how it moves.
#include <emscripten.h>

#include "joint_names.h"
#include "scene.h"

// The keyframe table and its indices, in the program's main unit.
extern float animation[32];
extern int standIndex[7], runIndex[7], jointCurve[12];

namespace {

// action, the four arrows (up, right, down, left), spos, the heading srot[1]
// and the thirteen joint angles, as the page reads them from the heap.
float state[22];

// The index table of the standing (0) or running (1) cycle.
const int* cycle(int running)
{
    return running ? runIndex : standIndex;
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const float* sceneState()
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

// Curve K (0 to 5) of a cycle: its keyframe count, its keyframe I, and its
// value at phase T as the pose step samples it (closed Catmull-Rom).
EMSCRIPTEN_KEEPALIVE int curveLength(int running, int k)
{
    return cycle(running)[k + 1] - cycle(running)[k];
}
EMSCRIPTEN_KEEPALIVE float curveKeyframe(int running, int k, int i)
{
    return animation[cycle(running)[k] + i];
}
EMSCRIPTEN_KEEPALIVE float curveAt(int running, int k, float t)
{
    return catmullRomSpline(&animation[cycle(running)[k]], curveLength(running, k), t);
}

// The curve that drives joint J, -1 for the joints the pose step leaves alone.
EMSCRIPTEN_KEEPALIVE int jointCurveOf(int j)
{
    return j < 12 ? jointCurve[j] : -1;
}

EMSCRIPTEN_KEEPALIVE const char* jointName(int j)
{
    return jointNames[j];
}

}  // extern "C"
