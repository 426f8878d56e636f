// Animation: the real `timer` with keys held: steps, turns, tail, camera,
// bird, wing phase, trunk band, re-arm, and the pose cycles and blends on
// their Catmull-Rom curves (the stand-run-stand sequence is joint_trace_test's).
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "scene.h"

namespace {

struct { int rearms = 0, redisplays = 0; unsigned ms = 0; void (*callback)(int) = nullptr; int value = -1; } glut;

float f(double x) { return static_cast<float>(x); }

// Step {x, z} of 0.1f along a heading: angle in float, sin and cos in double, products in float.
std::pair<float, float> stepVector(float heading)
{
    const double a = f(-static_cast<double>(heading) * 3.141592653589793 / 180.0);
    return {f(0.1f * std::sin(a)), f(0.1f * std::cos(a))};
}

void press(int key) { special(key, 0, 0); }
void release(int key) { specialUp(key, 0, 0); }

// Ticks, each of which must ask for one redraw and re-arm itself once as (10, timer, 0).
void ticks(int n = 1)
{
    for (int i = 0; i < n; i++) {
        const int rearms = glut.rearms, redisplays = glut.redisplays;
        timer(0);
        ASSERT_TRUE(glut.rearms == rearms + 1 && glut.ms == 10 && glut.callback == timer && glut.value == 0 &&
                    glut.redisplays == redisplays + 1) << "the tick must redraw and re-arm with (10, timer, 0)";
    }
}

// The ten driven joints: those named at their values (1e-3), the others 0.
void expectPose(const std::vector<std::pair<int, double>>& want, const char* when)
{
    for (int j : {0, 1, 3, 4, 5, 6, 8, 9, 10, 11}) {
        double expected = 0;
        for (const auto& [joint, value] : want)
            expected = joint == j ? value : expected;
        EXPECT_NEAR(squirrel.part(j), expected, 1e-3) << when << ", joint " << j;
    }
    EXPECT_EQ(squirrel.part(2), 60.0f) << when;
}

// The pose step keeps static state: each tick test needs a process of its own.
struct Tick : ::testing::Test {
    void SetUp() override
    {
        static int runs = 0;
        ASSERT_EQ(runs++, 0) << "run one tick test per process";
        openWindow();
    }
};

} // namespace

extern "C" {
void __real_glutPostRedisplay();
void __wrap_glutPostRedisplay() { ++glut.redisplays; __real_glutPostRedisplay(); }
// No main loop runs here: a re-arm is only noted.
void __wrap_glutTimerFunc(unsigned ms, void (*callback)(int), int value) { glut = {glut.rearms + 1, glut.redisplays, ms, callback, value}; }
}

// Just below t = 0 a closed curve extends its first segment: on eight values
// t = -0.0006 is segment 0 at u = -0.0048, not segment -1.
TEST(CatmullRom, ClosedCurveJustBelowZeroExtendsItsFirstSegment)
{
    float v[] = {5, -30, 7, 11, 2, 0, -30, 0};
    EXPECT_FLOAT_EQ(catmullRomSpline(v, 8, -0.0006f), catmullRom(5, -30, 7, 11, -0.0048f));
}

// Other keys change nothing. Right swings the tail 3, 5.7, 8.13, ... to 30, Left
// over to -30 (x 0.85 against its side); released it decays x 0.9, with both x 0.85.
// The camera, 5.71 away, goes to z 7.886, then toward 8.5696: only x and z scale.
TEST_F(Tick, TailSwingsOutWhileTurningAndRelaxesWhenReleasedAndTheCameraSettles)
{
    for (int other : {GLUT_KEY_F1, GLUT_KEY_HOME, GLUT_KEY_PAGE_UP, GLUT_KEY_INSERT, 112, 0, -1})
        press(other);   // no arrow: nothing must move or turn
    const double tail = -30 * std::pow(0.9, 5);
    const struct { bool right, left; int ticks; double want; } steps[] = {
        {true, false, 1, 3}, {true, false, 1, 5.7}, {true, false, 1, 8.13}, {true, false, 300, 30},
        {false, true, 1, 30 * 0.85 - 3}, {false, true, 300, -30}, {false, false, 5, tail}, {true, true, 4, tail * std::pow(0.85, 4)}};
    for (const auto& step : steps) {
        (step.right ? special : specialUp)(GLUT_KEY_RIGHT, 0, 0);
        (step.left ? special : specialUp)(GLUT_KEY_LEFT, 0, 0);
        ticks(step.ticks);
        EXPECT_NEAR(squirrel.part(12), step.want, 1e-4) << "step " << &step - steps;
        EXPECT_NEAR(position[2], &step == steps ? 7.886 : 8.5696, &step == steps ? 5e-4 : 0.1) << "camera, step " << &step - steps;
    }
    EXPECT_TRUE(position[0] == 0.0f && position[1] == 2.75f && std::fabs(position[2] - 8.5696) < 1e-4) << position[2];
    EXPECT_EQ(action, 0) << "turning alone keeps the squirrel standing";
    // A turn is 45 * 0.1f = 4.5000000671 degrees: from 0, right stores exactly
    // -4.5 and left then leaves about 6.7e-8.
    srot[1] = 0.0f;
    release(GLUT_KEY_LEFT);
    ticks();
    EXPECT_EQ(srot[1], -4.5f);
    release(GLUT_KEY_RIGHT);
    press(GLUT_KEY_LEFT);
    ticks();
    EXPECT_NEAR(srot[1], 6.7e-8, 0.05e-8);
}

// The bird flies its heading at height 8, steering on its new position: -0.1 a
// tick inside radius 30, +3 outside, within [0, 360]. The wing phase rises 0.05
// a tick, is -1 on the twentieth, then 40 ticks a period.
TEST_F(Tick, BirdFliesItsHeadingAtHeightEightAndSteersOnItsNewPosition)
{
    const struct { float x, z, heading, wantHeading; } cases[] = {
        {0, 0, 0, f(360.0 - 0.1f)}, {0, 0, 90, 89.9f}, {0, -29.95f, 0, 3}, {21.2f, 21.2f, 180, 183},
        {0, 29.95f, 0, f(360.0 - 0.1f)}, {40, 0, 357, 360}, {0, 0, 0.1f, 0}};
    for (const auto& c : cases) {
        bpos[0] = c.x, bpos[2] = c.z, brot = c.heading;
        ticks();
        const auto [sx, sz] = stepVector(c.heading);
        EXPECT_TRUE(bpos[0] == c.x + sx && bpos[1] == 8.0f && bpos[2] == c.z - sz) << c.x << ", " << c.z << " heading " << c.heading;
        EXPECT_FLOAT_EQ(brot, c.wantHeading) << c.x << ", " << c.z << " heading " << c.heading;
    }
    flap = 0.0f;
    for (int i = 1; i <= 60; i++) {
        ticks();
        EXPECT_NEAR(flap, i == 20 || i == 60 ? -1.0 : i < 20 ? 0.05 * i : -1.0 + 0.05 * (i - 20), 1e-5) << "tick " << i;
    }
}

// A step ending 0.1 <= d^2 < 1 from a trunk (tree 0 at (3, 0)) is undone; that
// tick's turn, tail swing and pose blend stand, and the camera follows the squirrel.
TEST_F(Tick, StepEndingInTrunkBandIsUndoneWhileTurnTailPoseAndCameraGoOn)
{
    float onEdge = 0.29f;   // from x 3.25 a step toward -z ends at d^2 exactly 0.1f
    while (onEdge < 0.3f && f(0.0625 + std::pow(onEdge - 0.1f, 2)) != 0.1f)
        onEdge = std::nextafter(onEdge, 1.0f);
    const struct { float x, z, heading; bool undone; } cases[] = {
        {3, 1.05f, 0, true},       // ends at d 0.95
        {4.05f, 0, 90, true},      // sideways, ends at d 0.95
        {18, 27.05f, 0, true},     // the last tree, at (18, 26)
        {3, 0.4163f, 0, true},     // ends at d 0.3163, just outside sqrt(0.1)
        {3.25f, onEdge, 0, true},  // ends at d^2 exactly 0.1f
        {3, 0.4162f, 0, false},    // ends at d 0.3162, inside sqrt(0.1)
        {4, 0.1f, 0, false},       // ends at (4, 0), d exactly 1
    };
    ticks();
    press(GLUT_KEY_UP);
    ticks();   // the pose blend's first tick
    press(GLUT_KEY_RIGHT);
    for (const auto& c : cases) {
        spos[0] = c.x, spos[2] = c.z, srot[1] = c.heading;
        position[0] = c.x, position[2] = c.z + 20;   // 20 behind: the follow pulls it in
        ticks();
        const auto [sx, sz] = stepVector(c.heading);
        const float x = c.undone ? c.x : c.x + sx, z = c.undone ? c.z : c.z - sz;
        EXPECT_TRUE(spos[0] == x && spos[1] == 0.0f && spos[2] == z) << "from " << c.x << ", " << c.z;
        EXPECT_EQ(srot[1], f(c.heading - 45 * static_cast<double>(0.1f))) << "the turn stands";
        const double dx = c.x - x, dz = c.z + 20 - z, scale = 10 / std::sqrt(dx * dx + 2.75 * 2.75 + dz * dz);
        EXPECT_NEAR(position[0], x + dx * scale, 1e-5) << "camera, from " << c.x << ", " << c.z;
        EXPECT_NEAR(position[2], z + dz * scale, 1e-5) << "camera, from " << c.x << ", " << c.z;
        if (&c == cases) {   // the blend's second tick
            EXPECT_EQ(squirrel.part(12), 3.0f) << "an undone step still swings the tail";
            EXPECT_NEAR(squirrel.part(3), 5.505, 1e-3) << "an undone step still blends the pose";
        }
    }
    // Two ticks on, the blend's tenth and last: each shoulder from 0, 0 toward
    // its running curve's start, the left's at 86 and 85.738, the right's half
    // a cycle on, at 30 and 116 - 85.738; at 0.9 the segment weighs those 0.9765 and -0.0405.
    ticks(2);
    EXPECT_EQ(action, 2);
    EXPECT_NEAR(squirrel.part(3), 80.507, 1e-3);
    EXPECT_NEAR(squirrel.part(4), 0.9765 * 30 - 0.0405 * (116 - 85.738), 1e-3);
}

// Starting on the very first tick nothing is captured: the blend runs over zeros,
// then running starts at phase 0.1; at 0.5 each curve is at a keyframe (the right
// limbs' half a cycle on).
TEST_F(Tick, KeyHeldBeforeFirstTickBlendsFromZeroThenRunsTheCycleWithPairsHalfACycleApart)
{
    press(GLUT_KEY_UP);
    press(GLUT_KEY_DOWN);   // with Up: the steps cancel, the legs run
    for (int i = 0; i < 10; i++) {
        ticks();
        expectPose({}, "blend from the empty capture");
        EXPECT_EQ(action, i < 9 ? 1 : 2) << "tick " << i;
    }
    ticks();
    EXPECT_NEAR(squirrel.part(3), 80.176, 1e-3) << "running at phase 0.1";
    ticks(20);
    expectPose({{0, 0}, {1, 0}, {3, 30}, {4, 86}, {5, 30}, {6, 20}, {8, 80}, {9, -40}, {10, 30}, {11, 50}}, "running at phase 0.5");
    EXPECT_TRUE(spos[0] == 0.0f && spos[2] == 0.0f) << "Up and Down cancel: " << spos[0] << ", " << spos[2];
}
