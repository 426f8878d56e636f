// Catmull-Rom interpolation: the segment `catmullRom` and the closed curve
// `catmullRomSpline`, against the control values they must hit exactly and
// the uniform basis evaluated independently in long double.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "scene.h"

namespace {

long double basis(long double p0, long double p1, long double p2, long double p3, long double t)
{
    return 0.5L * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t +
                   (-p0 + 3 * p1 - 3 * p2 + p3) * t * t * t);
}

// Two float steps at the result, plus the cancellation error of a double
// evaluation with control values of total size `scale`.
double tolerance(long double expected, double scale)
{
    const float e = std::fabs(static_cast<float>(expected));
    return 2.0 * (std::nextafter(e, INFINITY) - e) + 1e-13 * scale;
}

float spline(std::vector<float> v, float t) { return catmullRomSpline(v.data(), static_cast<int>(v.size()), t); }

const std::vector<float> tail = {-30, -30, -30, -30, -30, 0, -30, 0}, tip = {50, -10, 50, -20},
                         mixed = {5.25f, -7.0f, 11.5f, 2.0f, 13.0f, -3.75f, 17.0f, 19.5f};

} // namespace

TEST(CatmullRom, SegmentRunsFromSecondToThirdValueAlongTheBasis)
{
    const float segments[][4] = {{0, 0, 86, 85.738f}, {50, -10, 50, -20}, {0.1f, 1.7f, -2.3f, 9.99f},
                                 {1e-3f, -4.25f, 123.456f, -0.5f}};
    for (const auto& p : segments) {
        const double scale = std::fabs(p[0]) + std::fabs(p[1]) + std::fabs(p[2]) + std::fabs(p[3]);
        EXPECT_EQ(catmullRom(p[0], p[1], p[2], p[3], 0.0f), p[1]);
        for (float t : {-0.3f, -0.0048f, 0.1f, 0.37f, 0.5f, 0.61f, 0.9f, 0.99f, 1.0f, 1.25f}) {
            const long double e = basis(p[0], p[1], p[2], p[3], t);
            EXPECT_NEAR(catmullRom(p[0], p[1], p[2], p[3], t), static_cast<double>(e), tolerance(e, scale))
                << p[0] << ", " << p[1] << ", " << p[2] << ", " << p[3] << " at " << t;
        }
    }
    EXPECT_EQ(catmullRom(80, -40, 30, 50, 1.0f), 30.0f);  // whole numbers land on p2 exactly
}

TEST(CatmullRom, SplineHitsTheNextValueWhereNTimesTIsWhole)
{
    // At t = k / n the curve is at v[(k + 1) mod n]: at t = 0 the second value;
    // a single value is constant.
    const struct { std::vector<float> v; float t, expected; } cases[] = {
        {{7.5f}, -0.0006f, 7.5f}, {{7.5f}, 0.3f, 7.5f}, {{30, 86}, 0, 86}, {{30, 86}, 0.25f, 58},
        {{30, 86}, 0.5f, 30}, {{30, 86}, 1, 86}, {tip, 0, -10}, {tip, 0.25f, 50}, {tip, 0.5f, -20},
        {tip, 0.75f, 50}, {tip, 1, -10}, {tail, 0.5f, 0}, {tail, 0.625f, -30}, {tail, 0.75f, 0},
        {mixed, 0, mixed[1]}, {mixed, 0.375f, mixed[4]}, {mixed, 0.875f, mixed[0]}, {mixed, 1, mixed[1]}};
    for (const auto& c : cases)
        EXPECT_EQ(spline(c.v, c.t), c.expected) << "n " << c.v.size() << ", t " << c.t;
}

TEST(CatmullRom, SplineFollowsTheClosedCurveFromJustBelowZeroPastOne)
{
    // Segment n t truncated toward zero, local parameter rounded to float,
    // indices modulo n: just below zero the first segment is extended
    // backwards, past one the curve repeats, and on the steep three-value curve
    // a local parameter from a single-precision n t would be many steps off.
    const std::vector<std::vector<float>> curves = {
        {30, 86}, {80, -40}, tip, {-15, 0, -12, 0}, tail, mixed, {-1000, 1000, -1000}};
    for (const auto& v : curves) {
        const int n = static_cast<int>(v.size());
        double scale = 0;
        for (float c : v)
            scale += 4 * std::fabs(c);
        for (int s = -1; s <= 150; s++) {
            const float t = s < 0 ? -0.0006f : s * 0.01f;
            const long double x = n * static_cast<long double>(t);
            const int i = static_cast<int>(x);
            const long double e =
                basis(v[i % n], v[(i + 1) % n], v[(i + 2) % n], v[(i + 3) % n], static_cast<float>(x - i));
            EXPECT_NEAR(spline(v, t), static_cast<double>(e), tolerance(e, scale)) << "n " << n << ", t " << t;
        }
    }
}
