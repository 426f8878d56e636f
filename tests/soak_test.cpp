// Soak: one million animation ticks driven through the real key callbacks by
// a seeded random schedule of arrow-key presses and releases (single keys,
// opposite pairs, all four, storms of events, taps and long holds). After
// every tick the scene must be finite and inside the bounds the tick keeps;
// every 10,000th tick a frame is drawn by the real display without GL error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "scene.h"

static struct { long count = 0; unsigned ms = 0; void (*callback)(int) = nullptr; int value = -1; } rearm;

// No main loop runs here, so a re-arm is only recorded (freeglut's sorted
// timer list would make a million unconsumed re-arms quadratic).
extern "C" void __wrap_glutTimerFunc(unsigned ms, void (*callback)(int), int value)
{
    rearm = {rearm.count + 1, ms, callback, value};
}

namespace {

const double pi = 3.141592653589793;
const float treeAt[11][2] = {{3, 0}, {10, 2}, {34, 6}, {32, 1}, {9, 30}, {3, 20},
                             {2, 10}, {30, 24}, {15, 15}, {12, 10}, {18, 26}};

// Worst camera distance after a tick. Only x and z are corrected, so a
// correction to radius r leaves D'^2 = r^2 + c - r^2 c / D^2 (c = 2.75^2);
// a squirrel running straight away from (toward) the camera moves the
// horizontal distance 0.1 per tick, and the distance settles at the fixed
// point of that map: the band's edges (about 8.990 and 10.008).
double worstCameraDistance(double radius, double step)
{
    const double c = 2.75 * 2.75;
    double d2 = radius * radius;
    for (int i = 0; i < 1000; i++) {
        const double h = std::sqrt(d2 - c) + step;
        d2 = radius * radius + c - radius * radius * c / (h * h + c);
    }
    return std::sqrt(d2);
}

// Bird: leaves radius 30 by one 0.1 step, then turns 3 degrees per 0.1 step,
// on a circle of diameter 0.1 / sin(1.5 deg) through that point.
const double birdBound = 30.1 + 0.1 / std::sin(1.5 * pi / 180.0);
// Keyframes are at most 86 degrees; Catmull-Rom weights sum to at most 1.25 in
// absolute value, and a blend is a segment through four segment samples.
const double poseBound = 1.25 * 1.25 * 86.0;
// The tail's side swing approaches the fixed point 30 of x = 0.9 x +- 3.
const double tailBound = 30.0 + 1e-3;

const int arrowKey[4] = {GLUT_KEY_UP, GLUT_KEY_RIGHT, GLUT_KEY_DOWN, GLUT_KEY_LEFT};
enum : unsigned { up = 1, right = 2, down = 4, left = 8 };  // bit i: arrows[i]
const int otherKeys[] = {GLUT_KEY_F1, GLUT_KEY_F12, GLUT_KEY_HOME, GLUT_KEY_PAGE_UP, GLUT_KEY_INSERT};

// Holds sets of arrows for random stretches, storms random events, and walks
// the squirrel back among the trees when it has wandered off.
class Player {
public:
    explicit Player(unsigned seed) : rng(seed) {}
    unsigned held = 0;  // what the arrows must read after this tick's events

    void beforeTick()
    {
        if (remaining-- <= 0)
            choose();
        for (int n = kind == storm ? uniform(1, 6) : 0; n > 0; n--) {
            const int which = uniform(0, 5), pressing = uniform(0, 1);
            if (which < 4)
                pressing ? press(which) : release(which);
            else
                (pressing ? special : specialUp)(otherKeys[uniform(0, 4)], 0, 0);
        }
        kind == home ? steerHome() : kind == keysHeld ? hold(keys) : void();
    }

private:
    enum Kind { keysHeld, storm, home };
    std::mt19937 rng;
    Kind kind = keysHeld;
    unsigned keys = 0;
    long remaining = 0;

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    void press(int i) { special(arrowKey[i], uniform(-5, 700), uniform(-5, 500)), held |= 1u << i; }
    void release(int i) { specialUp(arrowKey[i], 0, 0), held &= ~(1u << i); }
    void hold(unsigned want)
    {
        for (int i = 0; i < 4; i++)
            if ((want ^ held) & (1u << i))
                (want & (1u << i)) ? press(i) : release(i);
    }

    // Turns toward the grove's middle (forward at heading t is (-sin t, -cos t)), then runs.
    void steerHome()
    {
        const double vx = 17.0 - spos[0], vz = 13.0 - spos[2];
        if (vx * vx + vz * vz < 15.0 * 15.0)
            return remaining = 0, hold(0);
        const double error = std::remainder(std::atan2(-vx, -vz) * 180.0 / pi - srot[1], 360.0);
        hold(error > 4.5 ? left : error < -4.5 ? right : up);
    }

    void choose()
    {
        kind = keysHeld;
        if (std::hypot(spos[0] - 17.0, spos[2] - 13.0) > 40.0)
            return kind = home, void(remaining = 2000);
        const unsigned single[4] = {up, right, down, left};
        const unsigned moveTurn[4] = {up | left, up | right, down | left, down | right};
        const int r = uniform(0, 99);
        remaining = uniform(1, 3000);
        if (r < 12)
            keys = 0;
        else if (r < 37)
            keys = single[uniform(0, 3)];
        else if (r < 47)
            keys = uniform(0, 1) ? (up | down) : (left | right), remaining = uniform(1, 2000);
        else if (r < 65)
            keys = moveTurn[uniform(0, 3)];
        else if (r < 72)
            keys = up | right | down | left, remaining = uniform(1, 2000);
        else if (r < 87)
            kind = storm, remaining = uniform(20, 500);
        else
            keys = uniform(0, 15), remaining = uniform(1, 12);
    }
};

bool finite(const float* v, int n)
{
    return std::all_of(v, v + n, [](float x) { return std::isfinite(x); });
}

// A frame through the real display: GL errors, and the modelview stack left as found.
std::string frameProblem()
{
    display();
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    std::string bad = depth == 1 ? "" : "modelview stack depth " + std::to_string(depth) + "; ";
    for (GLenum e = glGetError(); e != GL_NO_ERROR; e = glGetError())
        bad += "GL error " + std::to_string(e) + "; ";
    return bad;
}

}  // namespace

TEST(Soak, MillionRandomKeyTicksKeepTheSceneFiniteAndInBounds)
{
    openWindow();
    ASSERT_EQ(frameProblem(), "");
    const double lowest = worstCameraDistance(9.0, -0.1), highest = worstCameraDistance(10.0, 0.1);
    Player player(0x5eed2024u);
    int lastAction = 0;
    bool settled = false, visited[4] = {};
    long blocked = 0;
    for (long tick = 1; tick <= 1000000; tick++) {
        player.beforeTick();
        const float x0 = spos[0], z0 = spos[2];
        timer(0);
        std::string bad;
        auto fails = [&](bool failed, const char* what, double value = 0) {
            if (failed)
                bad += what + (" " + std::to_string(value)) + "; ";
        };
        float joints[13];
        for (int j = 0; j < 13; j++)
            joints[j] = squirrel.part(j);

        fails(rearm.count != tick || rearm.ms != 10 || rearm.callback != &timer || rearm.value != 0,
              "tick did not re-arm once with (10, timer, 0)");
        for (int i = 0; i < 4; i++)
            fails(arrows[i] != ((player.held >> i) & 1u), "arrow ignores its key:", i);
        fails(!finite(position, 3) || !finite(spos, 3) || !finite(srot, 3) || !finite(bpos, 3) ||
                  !std::isfinite(brot) || !std::isfinite(flap) || !finite(joints, 13),
              "non-finite value");
        fails(!(flap >= -1.0f && flap <= 1.0f), "flap", flap);
        fails(!(brot >= 0.0f && brot <= 360.0f), "brot", brot);
        fails(action < 0 || action > 3 || (action != lastAction && action != (lastAction + 1) % 4),
              "action (10 * previous + now)", lastAction * 10 + action);
        fails(spos[1] != 0.0f || bpos[1] != 8.0f || position[1] != 2.75f, "a height changed");
        fails(srot[0] != 0.0f || srot[2] != 0.0f, "squirrel tilted");
        fails(std::hypot(bpos[0], bpos[2]) > birdBound, "bird at radius", std::hypot(bpos[0], bpos[2]));
        for (const auto& t : treeAt) {
            // Single-precision differences, squares summed in double, rounded to float.
            const float dx = spos[0] - t[0], dz = spos[2] - t[1];
            const float d2 = static_cast<float>(double(dx) * dx + double(dz) * dz);
            fails(d2 >= 0.1f && d2 < 1.0f, "inside a trunk band, d^2", d2);
        }
        fails(std::fabs(joints[12]) > tailBound, "tail swing", joints[12]);
        fails(joints[2] != 60.0f || joints[7] != 0.0f, "joint 2 or 7 changed");
        for (int j : {0, 1, 3, 4, 5, 6, 8, 9, 10, 11})
            fails(std::fabs(joints[j]) > poseBound, "joint out of bounds:", joints[j]);

        // The camera starts 5.71 away and must reach the band within 20 ticks,
        // then stay; the slack covers float rounding at this coordinate scale.
        const double dist = std::sqrt(std::pow(double(position[0]) - spos[0], 2) +
                                      std::pow(double(position[1]) - spos[1], 2) +
                                      std::pow(double(position[2]) - spos[2], 2));
        const double slack = 1e-5 + 1e-6 * std::fmax(std::fmax(std::fabs(position[0]), std::fabs(position[2])),
                                                     std::fmax(std::fabs(spos[0]), std::fabs(spos[2])));
        const bool inBand = dist >= lowest - slack && dist <= highest + slack;
        fails(!inBand && (settled || tick >= 20), "camera distance", dist);
        settled = settled || inBand;

        if (((player.held & up) != 0) != ((player.held & down) != 0) && spos[0] == x0 && spos[2] == z0)
            ++blocked;
        if (action >= 0 && action <= 3)
            visited[action] = true;
        lastAction = action;
        ASSERT_EQ(bad, "") << "after tick " << tick << ", keys " << player.held << ", squirrel at ("
                           << spos[0] << ", " << spos[2] << ")";
        if (tick % 10000 == 0) {
            ASSERT_EQ(frameProblem(), "") << "frame after tick " << tick;
        }
    }
    // The schedule must have reached every locomotion state and had steps undone by trees.
    for (int a = 0; a < 4; a++)
        EXPECT_TRUE(visited[a]) << "action " << a << " never reached";
    EXPECT_GT(blocked, 0) << "no step was ever undone by a tree";
}
