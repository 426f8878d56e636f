// The animation tick: the real `timer` on the real scene globals, with arrow
// keys held. Squirrel step and turn, tail swing, bird flight and wing phase,
// trunk collision, camera follow, locomotion states and pose blends. Expected
// values come from the tick's single-precision rules replayed here in double,
// and from a long double model of the cycles built from its own keyframes.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "scene.h"

namespace {

const double kPi = 3.141592653589793;
float f(long double x) { return static_cast<float>(x); }
double sq(double x) { return x * x; }

// Step of 0.1f along a heading in degrees, {x, z}: the angle rounded to
// float, sin and cos in double, each product rounded to float.
std::pair<float, float> stepVector(float heading)
{
    const double a = f(-static_cast<double>(heading) * kPi / 180.0);
    return {f(0.1f * std::sin(a)), f(0.1f * std::cos(a))};
}

// Keyframe cycles, curves 0..5: tail bend, tail tip, shoulder, elbow, hip, knee.
using Cycle = std::vector<std::vector<float>>;
const Cycle standing = {{-30, -30, -30, -30, -30, 0, -30, 0}, {50, -10, 50, -20}, {0}, {0}, {0}, {0}};
const Cycle running = {{-15, 0, -12, 0}, {12, 0, 15, 0}, {30, 86}, {30, 20}, {80, -40}, {30, 50}};
const int driven[10] = {0, 1, 3, 4, 5, 6, 8, 9, 10, 11};
const int curveOf[12] = {0, 1, -1, 2, 2, 3, 3, -1, 4, 4, 5, 5};
bool opposite(int j) { return j == 4 || j == 6 || j == 9 || j == 11; }
float half(float t) { return t + 0.5f > 1.0f ? t + 0.5f - 1.0f : t + 0.5f; }

long double basis(const long double p[4], long double t)
{
    return 0.5L * (2 * p[1] + (p[2] - p[0]) * t + (2 * p[0] - 5 * p[1] + 4 * p[2] - p[3]) * t * t +
                   (-p[0] + 3 * p[1] - 3 * p[2] + p[3]) * t * t * t);
}

// Closed curve at t: segment trunc(n t) from v[1] on, local parameter in float.
float curve(const std::vector<float>& v, float t)
{
    const int n = static_cast<int>(v.size());
    const long double x = n * static_cast<long double>(t);
    const int i = static_cast<int>(x);
    const long double p[4] = {v[i % n], v[(i + 1) % n], v[(i + 2) % n], v[(i + 3) % n]};
    return f(basis(p, f(x - i)));
}

float cyclePose(const Cycle& c, int j, float t) { return curve(c[curveOf[j]], opposite(j) ? half(t) : t); }

// Joint j at blend parameter s: the source cycle one standing step before and
// at the captured phase, the target at its start and one running step on
// (half a cycle on for the opposite-phase joints).
float blendPose(const Cycle& from, const Cycle& to, int j, float captured, float s)
{
    const float p = opposite(j) ? half(captured) : captured, o = opposite(j) ? 0.5f : 0.0f;
    const auto &a = from[curveOf[j]], &b = to[curveOf[j]];
    const long double m[4] = {curve(a, p - 0.0006f), curve(a, p), curve(b, o), curve(b, 0.02f + o)};
    return f(basis(m, s));
}

// One tick; checks the ten driven joints against `expected(j)`, returns all joints.
using Pose = std::array<float, 13>;
template <class Expected>
Pose tick(Expected expected, const char* what)
{
    timer(0);
    Pose pose;
    for (int j = 0; j < 13; j++)
        pose[j] = squirrel.part(j);
    for (int j : driven)
        EXPECT_NEAR(pose[j], expected(j), 1e-4) << what << ", joint " << j;
    return pose;
}

// `n` ticks of a cycle from phase `t`; returns the phase of the tick after.
float runCycle(const Cycle& c, float t, float step, int n)
{
    for (int i = 0; i < n; i++, t = t + step > 1.0f ? t + step - 1.0f : t + step) {
        tick([&](int j) { return cyclePose(c, j, t); }, &c == &standing ? "standing" : "running");
        EXPECT_EQ(action, &c == &standing ? 0 : 2);
    }
    return t;
}

// The ten ticks of a blend captured at phase `captured`; `action` reads
// `during` until the last tick, then `after`. `between` runs after the capture.
std::vector<Pose> blend(const Cycle& from, const Cycle& to, float captured, int during, int after,
                        void (*between)() = nullptr)
{
    std::vector<Pose> shown;
    float s = 0.0f;
    for (int i = 0; i < 10; i++, s += 0.1f) {
        shown.push_back(tick([&](int j) { return blendPose(from, to, j, captured, s); }, "blend"));
        EXPECT_EQ(action, i < 9 ? during : after) << "blend tick " << i;
        if (i == 0 && between)
            between();
    }
    return shown;
}

void pressUp() { special(GLUT_KEY_UP, 0, 0); }
void releaseUp() { specialUp(GLUT_KEY_UP, 0, 0); }

// The pose step keeps static state: each test needs a process of its own.
struct Animation : ::testing::Test {
    void SetUp() override
    {
        static int runs = 0;
        ASSERT_EQ(runs++, 0) << "run one animation test per process";
        openWindow();
    }
};

} // namespace

TEST_F(Animation, UpAndDownStepAlongTheHeadingInDoublePrecision)
{
    // At most of these headings a single-precision sine or cosine would round
    // the step differently.
    for (float heading : {0.0f, 90.0f, 30.0f, 17.0f, 45.0f, 77.7f, 123.4f, 250.5f, 359.9f}) {
        for (int keys : {1, 2, 3}) {  // up, down, both (they cancel)
            spos[0] = spos[2] = 0.0f;
            srot[1] = heading;
            arrows[0] = keys & 1;
            arrows[2] = keys & 2;
            timer(0);
            const auto [sx, sz] = stepVector(heading);
            const int dir = (keys & 1) - (keys >> 1);
            EXPECT_EQ(spos[0], dir * sx) << heading << ", keys " << keys;
            EXPECT_EQ(spos[2], -dir * sz) << heading << ", keys " << keys;
        }
    }
}

TEST_F(Animation, TurnIsFourAndAHalfDegreesAndBendsTheStepFromTheNextTick)
{
    // Each turn is 45 * 0.1f = 4.5000000671; the first is stored as exactly
    // -4.5, so right then left leaves about 6.7e-8.
    arrows[0] = arrows[1] = true;
    timer(0);
    EXPECT_EQ(srot[1], -4.5f);
    EXPECT_EQ(spos[2], -0.1f);
    arrows[1] = false;
    arrows[3] = true;
    timer(0);
    const auto [sx, sz] = stepVector(-4.5f);
    EXPECT_EQ(spos[0], sx);
    EXPECT_EQ(spos[2], -0.1f - sz);
    EXPECT_NEAR(srot[1], 6.7e-8, 0.05e-8);
}

TEST_F(Animation, TailSwingsOutWhileTurningAndRelaxesWhenReleased)
{
    // Each tick: by 0.85f while a turn key works against the tail's side, else
    // by 0.9f; then +3 for right, -3 for left. Right drives it 3, 5.7, 8.13, ...
    // toward 30; left swings it over to -30; released it decays by 0.9; with
    // both keys the +3 and -3 cancel and it decays by 0.85.
    const struct { bool right, left; int ticks; double end; } phases[] = {
        {true, false, 300, 30}, {false, true, 300, -30}, {false, false, 30, -30 * std::pow(0.9, 30)},
        {true, true, 20, -30 * std::pow(0.9, 30) * std::pow(0.85, 20)}};
    const double firstTicks[] = {3, 5.7, 8.13};
    float x = 0.0f;
    for (const auto& p : phases) {
        arrows[1] = p.right;
        arrows[3] = p.left;
        for (int i = 0; i < p.ticks; i++) {
            timer(0);
            x = f(x * static_cast<double>((p.right && x < 0) || (p.left && x > 0) ? 0.85f : 0.9f));
            x = f(f(x + (p.right ? 3.0 : 0.0)) - (p.left ? 3.0 : 0.0));
            ASSERT_EQ(squirrel.part(12), x) << "tick " << i << " of phase " << &p - phases;
            if (&p == phases && i < 3) {
                EXPECT_NEAR(x, firstTicks[i], 1e-5);
            }
        }
        EXPECT_NEAR(x, p.end, 1e-4) << "end of phase " << &p - phases;
    }
    EXPECT_EQ(action, 0) << "turning alone keeps the squirrel standing";
}

TEST_F(Animation, BirdFliesItsHeadingAndSteersBackInsideRadiusThirty)
{
    float x = 0.0f, z = 0.0f, heading = 0.0f;
    int outside = 0;
    for (int i = 1; i <= 3000; i++) {
        timer(0);
        const auto [sx, sz] = stepVector(heading);
        x += sx;
        z -= sz;
        const bool out = sq(x) + sq(z) > 900.0;
        outside += out;
        heading = f(heading + (out ? 3.0 : -static_cast<double>(0.1f)));
        heading = heading > 360.0f ? heading - 360.0f : heading < 0.0f ? heading + 360.0f : heading;
        ASSERT_EQ(bpos[0], x) << "tick " << i;
        ASSERT_EQ(bpos[2], z) << "tick " << i;
        ASSERT_EQ(brot, heading) << "tick " << i;
    }
    EXPECT_EQ(bpos[1], 8.0f);
    EXPECT_GT(outside, 0) << "the bird never left radius 30";
    // A heading that lands on exactly 360 or 0 is kept.
    brot = 357.0f;
    bpos[0] = 40.0f;
    timer(0);
    EXPECT_EQ(brot, 360.0f);
    brot = 0.1f;
    bpos[0] = bpos[2] = 0.0f;
    timer(0);
    EXPECT_EQ(brot, 0.0f);
}

TEST_F(Animation, WingPhaseRisesByFiveHundredthsAndWrapsToMinusOne)
{
    // 0.05 ... 0.95, -1 on the twentieth tick, and -1 again 40 ticks later.
    for (int i = 1; i <= 60; i++) {
        timer(0);
        const bool wrap = i == 20 || i == 60;
        EXPECT_NEAR(flap, wrap ? -1.0 : i < 20 ? 0.05 * i : -1.0 + 0.05 * (i - 20), wrap ? 0.0 : 1e-5) << i;
    }
    flap = 0.95f;  // 0.95f + 0.05f is exactly 1, which is kept for a tick
    timer(0);
    EXPECT_EQ(flap, 1.0f);
    timer(0);
    EXPECT_EQ(flap, -1.0f);
}

TEST_F(Animation, StepEndingInTrunkBandIsUndoneButTurnStands)
{
    // Tree 0 stands at (3, 0). Find a start whose step toward -z from x 3.25
    // ends at a squared distance of exactly 0.1f.
    float onEdge = 0.29f;
    while (onEdge < 0.3f && f(0.0625 + sq(onEdge - 0.1f)) != 0.1f)
        onEdge = std::nextafter(onEdge, 1.0f);
    ASSERT_LT(onEdge, 0.3f);
    const struct { float x, z, heading; bool undone; } cases[] = {
        {3, 1.05f, 0, true},       // ends at d 0.95
        {4.05f, 0, 90, true},      // sideways, ends at d 0.95
        {3, 0.4163f, 0, true},     // ends at d 0.3163, just outside sqrt(0.1)
        {3.25f, onEdge, 0, true},  // ends at d^2 exactly 0.1f
        {3, 0.4162f, 0, false},    // ends at d 0.3162, inside sqrt(0.1)
        {4, 0.1f, 0, false},       // ends at (4, 0), d exactly 1
    };
    arrows[0] = arrows[1] = true;
    for (const auto& c : cases) {
        spos[0] = c.x;
        spos[2] = c.z;
        srot[1] = c.heading;
        timer(0);
        const auto [sx, sz] = stepVector(c.heading);
        EXPECT_EQ(spos[0], c.undone ? c.x : c.x + sx) << "from " << c.x << ", " << c.z;
        EXPECT_EQ(spos[2], c.undone ? c.z : c.z - sz) << "from " << c.x << ", " << c.z;
        EXPECT_EQ(srot[1], f(c.heading - 45 * static_cast<double>(0.1f)));
    }
}

TEST_F(Animation, CameraKeepsNineToTenUnitsAtItsOwnHeight)
{
    // Each tick x and z scale to 10 units beyond 10 and to 9 within 9, with the
    // squared distance and each result in float; y stays.
    float cam[3] = {0.0f, 2.75f, 5.0f};
    auto replay = [&cam](int ticks) {
        for (int i = 0; i < ticks; i++) {
            timer(0);
            const float d[3] = {cam[0] - spos[0], cam[1] - spos[1], cam[2] - spos[2]};
            const float dist2 = f(sq(d[0]) + sq(d[1]) + sq(d[2]));
            const double target = dist2 > 100.0f ? 10.0 : dist2 < 81.0f ? 9.0 : 0.0;
            for (int k = 0; target > 0 && k < 3; k += 2)
                cam[k] = f(cam[k] - d[k] * (1.0 - target / std::sqrt(static_cast<double>(dist2))));
            ASSERT_TRUE(position[0] == cam[0] && position[1] == 2.75f && position[2] == cam[2])
                << "tick " << i << ": " << position[0] << ", " << position[1] << ", " << position[2];
        }
    };
    // From (0, 2.75, 5) to z 7.886, then on toward 8.5696 as only x and z scale.
    replay(1);
    EXPECT_NEAR(position[2], 7.886, 5e-4);
    replay(300);
    EXPECT_NEAR(position[2], 8.5696, 1e-4);
    position[0] = cam[0] = 1.5f;  // 9.53 away: it stays
    position[2] = cam[2] = 9.0f;
    replay(2);
    EXPECT_EQ(position[2], 9.0f);
    spos[0] = -6.0f;  // 15 away: pulled in along its bearing
    spos[2] = -12.0f;
    replay(20);
    EXPECT_NEAR(std::hypot(position[0] + 6.0, position[2] + 12.0), std::sqrt(100 - sq(2.75)), 1e-4);
}

TEST_F(Animation, PoseFollowsEachCycleAndBlendsOverTenTicksBetweenThem)
{
    runCycle(standing, 0.02f, 0.0006f, 1);  // the first tick adds the initial 0.02
    EXPECT_EQ(squirrel.part(0), -30.0f);
    EXPECT_NEAR(squirrel.part(1), -8.88, 1e-4);
    EXPECT_EQ(squirrel.part(2), 60.0f);
    pressUp();
    const auto start = blend(standing, running, 0.02f + 0.0006f, 1, 2);
    EXPECT_NEAR(start[1][3], 5.505, 5e-4);  // left shoulder from 0, 0 toward 86
    EXPECT_NEAR(start[9][3], 80.507, 5e-4);
    // Running resumes at phase 0.1: the blend step is added once more.
    runCycle(running, 0.1f, 0.02f, 1);
    EXPECT_NEAR(squirrel.part(3), 80.176, 5e-4);
    const float running02 = runCycle(running, 0.1f + 0.02f, 0.02f, 4);
    releaseUp();
    // Stopping heads for the standing tail tip at phase 0 (-10), but standing
    // resumes at phase 0.1, where the tip is at 11.6.
    const auto stop = blend(running, standing, running02, 3, 0);
    EXPECT_NEAR(stop[9][1], -8.5, 0.05);
    runCycle(standing, 0.1f, 0.0006f, 1);
    EXPECT_NEAR(squirrel.part(1), 11.6, 1e-4);
    const float later = runCycle(standing, 0.1f + 0.0006f, 0.0006f, 2000);  // past a wrap
    // A key change right after a capture waits for that blend to end; the next
    // blend then captures the other cycle at phase 0.1 (opposite 0.6).
    pressUp();
    blend(standing, running, later, 1, 2, releaseUp);
    blend(running, standing, 0.1f, 3, 0, pressUp);
    blend(standing, running, 0.1f, 1, 2, releaseUp);
}

TEST_F(Animation, KeyHeldBeforeFirstTickBlendsFromZeroPose)
{
    // Already starting on the first tick: nothing is captured, so the blend
    // runs over all-zero control values, then running starts at phase 0.1.
    pressUp();
    for (int i = 0; i < 10; i++) {
        tick([](int) { return 0.0f; }, "empty blend");
        EXPECT_EQ(action, i < 9 ? 1 : 2) << "tick " << i;
    }
    runCycle(running, 0.1f, 0.02f, 3);
}
