// Shared by the drawing tests: matrices, and link-time wrappers of GLU's
// quadrics that note each call's sizes, tessellation, quadric, modelview,
// material and texture, then draw it (include it from one source a binary).
#ifndef TESTS_DRAW_RECORDER_H
#define TESTS_DRAW_RECORDER_H

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "scene.h"

using Mat = std::array<double, 16>;   // column-major, as GL stores it
using Vec = std::array<double, 3>;

inline double rad(double deg) { return deg * 3.141592653589793 / 180.0; }
inline Mat translation(const Vec& v) { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, v[0], v[1], v[2], 1}; }

inline Mat operator*(const Mat& a, const Mat& b)
{
    Mat r{};
    for (int i = 0; i < 16; i++)
        for (int k = 0; k < 4; k++)
            r[i] += a[k * 4 + i % 4] * b[i / 4 * 4 + k];
    return r;
}

// Rotation by `deg` degrees about coordinate axis 0 (x), 1 (y) or 2 (z).
inline Mat rotation(double deg, int axis)
{
    Mat m = translation({0, 0, 0});
    const int a = (axis + 1) % 3, b = (axis + 2) % 3;
    m[a * 5] = m[b * 5] = std::cos(rad(deg));
    m[b * 4 + a] = -(m[a * 4 + b] = std::sin(rad(deg)));
    return m;
}

inline Vec apply(const Mat& m, const Vec& p) { const Mat moved = m * translation(p); return {moved[12], moved[13], moved[14]}; }

inline Mat readMatrix(GLenum which) { Mat m{}; glGetDoublev(which, m.data()); return m; }

template <size_t N>
void expectNear(const std::array<double, N>& got, const std::array<double, N>& want, double tol, const std::string& what)
{
    for (size_t k = 0; k < N; k++)
        EXPECT_NEAR(got[k], want[k], tol) << what << ", element " << k;
}

// The modelview stack is `depth` deep and holds `before`.
inline void expectStackAsFound(GLint depth, const Mat& before, const std::string& what)
{
    GLint now = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &now);
    EXPECT_TRUE(now == depth && readMatrix(GL_MODELVIEW_MATRIX) == before) << what << ": modelview stack not as found";
}

enum class Kind { Sphere, Cylinder, Disk };

struct Call {
    Kind kind;
    Vec args;                  // sphere: r; cylinder: base, top, height; disk: inner, outer
    std::array<int, 2> grid;   // slices and stacks (loops for the disk)
    GLUquadric* quadric;
    Mat m;
    std::array<float, 4> diffuse;
    GLint texture;
    // Local point (0, 0, z) of the call's frame; a cylinder's far end is at z = height.
    Vec at(double z = 0) const { return apply(m, {0, 0, z}); }
    Vec end() const { return at(kind == Kind::Cylinder ? args[2] : 0); }
};

inline std::vector<Call> calls;
inline bool recording = false;

inline void record(Kind kind, GLUquadric* q, Vec args, std::array<int, 2> grid)
{
    if (!recording)
        return;
    calls.push_back({kind, args, grid, q, readMatrix(GL_MODELVIEW_MATRIX), {}, 0});
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, calls.back().diffuse.data());
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &calls.back().texture);
}

template <class Draw>
std::vector<Call> recordDuring(Draw draw) { calls.clear(), recording = true, draw(), recording = false; return calls; }

extern "C" {
void __real_gluSphere(GLUquadric* q, GLdouble r, GLint slices, GLint stacks);
void __real_gluCylinder(GLUquadric* q, GLdouble base, GLdouble top, GLdouble h, GLint slices, GLint stacks);
void __real_gluDisk(GLUquadric* q, GLdouble inner, GLdouble outer, GLint slices, GLint loops);
void __wrap_gluSphere(GLUquadric* q, GLdouble r, GLint sl, GLint st)
{ record(Kind::Sphere, q, {r, 0, 0}, {sl, st}); __real_gluSphere(q, r, sl, st); }
void __wrap_gluCylinder(GLUquadric* q, GLdouble base, GLdouble top, GLdouble h, GLint sl, GLint st)
{ record(Kind::Cylinder, q, {base, top, h}, {sl, st}); __real_gluCylinder(q, base, top, h, sl, st); }
void __wrap_gluDisk(GLUquadric* q, GLdouble inner, GLdouble outer, GLint sl, GLint loops)
{ record(Kind::Disk, q, {inner, outer, 0}, {sl, loops}); __real_gluDisk(q, inner, outer, sl, loops); }
}

#endif
