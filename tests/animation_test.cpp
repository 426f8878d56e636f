// Animation: the Catmull-Rom functions, and the real `timer` on the real
// scene globals with arrow keys held: step and turn, tail swing, camera
// follow, bird flight and wing phase, the trunk band and what an undone step
// keeps, the re-arm, and the pose blends at the values the keyframes give
// (the plain stand-run-stand sequence is joint_trace_test's).
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "scene.h"

namespace {

struct { int rearms = 0, redisplays = 0; unsigned ms = 0; void (*callback)(int) = nullptr; int value = -1; } glut;

float f(double x) { return static_cast<float>(x); }

// Step of 0.1f along a heading in degrees, {x, z}: the angle rounded to
// float, sin and cos in double, each product rounded to float.
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

// A segment runs from its second value (t = 0) to its third (t = 1); the
// closed curve through n values passes v[(k + 1) mod n] where n t is a whole
// k, repeats each unit, and just below t = 0 extends its first segment.
TEST(CatmullRom, SegmentsAndClosedCurvesHitTheirValues)
{
    float tail[] = {-30, -30, -30, -30, -30, 0, -30, 0}, pair[] = {30, 86}, one[] = {7.5f};
    EXPECT_TRUE(catmullRom(0.1f, 1.7f, -2.3f, 9.99f, 0.0f) == 1.7f && catmullRom(80, -40, 30, 50, 1.0f) == 30.0f &&
                catmullRom(-30, -30, -30, -30, 0.42f) == -30.0f && catmullRom(30, 86, 30, 86, 0.5f) == 58.0f);
    for (const auto& [v, n, t, want] : {std::tuple{one, 1, 0.3f, 7.5f}, {pair, 2, 0.0f, 86.0f}, {pair, 2, 0.25f, 58.0f},
                                        {pair, 2, 0.5f, 30.0f}, {pair, 2, 1.0f, 86.0f}, {tail, 8, 0.5f, 0.0f}, {tail, 8, 0.625f, -30.0f}})
        EXPECT_EQ(catmullRomSpline(v, n, t), want) << "n " << n << ", t " << t;
    // t = -0.0006 on eight values: segment 0 at u = -0.0048, not segment -1.
    EXPECT_FLOAT_EQ(catmullRomSpline(tail, 8, -0.0006f), catmullRom(-30, -30, -30, -30, -0.0048f));
    EXPECT_NEAR(catmullRomSpline(pair, 2, -0.0006f), catmullRom(30, 86, 30, 86, -0.0012f), 1e-5);
}

// Other keys than the arrows change nothing. With Right held the tail
// swings out 3, 5.7, 8.13, ... toward 30; left swings it over to -30 (0.85
// while the key works against the tail's side); released it decays by 0.9;
// with both keys the +3 and -3 cancel and it decays by 0.85. Meanwhile the
// camera, 5.71 from the squirrel at start, goes to z 7.886 on the first tick
// and on toward 8.5696, 9 away, as only its x and z scale.
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

// The bird flies its heading at height 8; steering tests the position after
// this tick's flight: inside radius 30 -0.1 a tick, outside +3, kept within
// 0 to 360 (exactly 360 and exactly 0 stay). The wing phase rises 0.05 a
// tick to 0.95 and becomes -1 on the twentieth, then runs 40 ticks a period.
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
        const bool wrap = i == 20 || i == 60;
        EXPECT_NEAR(flap, wrap ? -1.0 : i < 20 ? 0.05 * i : -1.0 + 0.05 * (i - 20), wrap ? 0.0 : 1e-5) << i;
    }
}

// A step that ends 0.1 <= d^2 < 1 from a trunk is undone; the turn, the tail
// swing and the pose blend of that tick stand, and the camera follows the
// squirrel where it stays. Tree 0 stands at (3, 0).
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

// Already starting on the first tick: nothing is captured, the blend runs
// over all-zero control values, then running starts at phase 0.1. At phase
// 0.5 every curve is at a keyframe; each right limb runs half a cycle behind.
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
    float atPhase01[13];
    for (int j = 0; j < 13; j++)
        atPhase01[j] = squirrel.part(j);
    ticks(20);
    expectPose({{0, 0}, {1, 0}, {3, 30}, {4, 86}, {5, 30}, {6, 20}, {8, 80}, {9, -40}, {10, 30}, {11, 50}}, "running at phase 0.5");
    ticks(5);
    for (const auto& [left, right] : {std::pair{3, 4}, {5, 6}, {8, 9}, {10, 11}})
        EXPECT_NEAR(squirrel.part(left), atPhase01[right], 1e-3) << "joint " << left << " at 0.6, joint " << right << " at 0.1";
    EXPECT_TRUE(spos[0] == 0.0f && spos[2] == 0.0f) << "Up and Down cancel: " << spos[0] << ", " << spos[2];
}
