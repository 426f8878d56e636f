// The browser build's stand-ins for GLU's quadrics and GL's evaluator
// (web/glu_compat), built natively against Debian's libGLU, vertex for
// vertex, and Mesa's evaluator, read back through GL feedback.
#include <GL/glut.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "glu_compat.h"

using Vertex = std::array<double, 10>;   // primitive type and number, position, normal, texture coordinates
static std::vector<Vertex> emitted;
static Vertex current;                    // primitive, normal and texture coordinates in force

// libGLU and the stand-ins draw through these, which note what they get (glBegin
// and glEnd reach the real GL too, for Mesa's evaluator).
#define REAL(name, ...) reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name))(__VA_ARGS__)
extern "C" {
void glBegin(GLenum mode) { current[0] = mode, current[1]++, REAL(glBegin, mode); }
void glEnd() { REAL(glEnd); }
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { current[5] = x, current[6] = y, current[7] = z; }
void glTexCoord2f(GLfloat s, GLfloat t) { current[8] = s, current[9] = t; }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { current[2] = x, current[3] = y, current[4] = z, emitted.push_back(current); }
}

namespace {

// A 2x2 window, once per process (feedback flips y by the window's height).
void openWindow()
{
    static int argc = 1;
    static char name[] = "web-compat-test", *argv[] = {name, nullptr};
    static const int window = (glutInit(&argc, argv), glutInitWindowSize(2, 2), glutCreateWindow(name));
    ASSERT_NE(window, 0);
}

// What `draw` emits, from a normal and texture coordinates that no quadric
// gives, so that a vertex emitted without them shows.
template <typename Draw>
std::vector<Vertex> record(Draw draw)
{
    openWindow();
    emitted.clear();
    current = {0, 0, 0, 0, 0, 9, 9, 9, 9, 9};
    draw();
    return emitted;
}

// Largest difference between two runs of vertices (infinite if their counts differ).
double worst(const std::vector<Vertex>& a, const std::vector<Vertex>& b)
{
    double d = a.size() == b.size() && !a.empty() ? 0.0 : INFINITY;
    for (size_t i = 0; i < std::min(a.size(), b.size()); i++)
        for (int k = 0; k < 10; k++)
            d = std::max(d, std::fabs(a[i][k] - b[i][k]));
    return d;
}

}  // namespace

// Every quadric call the program makes, and others: sizes of a s(phere):
// radius; c(ylinder): base, top, height; d(isk): inner, outer.
TEST(WebCompat, QuadricsEmitWhatLibGLUEmits)
{
    struct Case { const char* what; char shape; bool texture; int slices, stacks; std::vector<std::array<double, 3>> sizes; };
    const Case cases[] = {
        {"squirrel spheres", 's', false, 16, 16, {{0.5}, {0.4}, {0.3}, {0.2}, {0.1}}},
        {"squirrel cylinders", 'c', false, 16, 2, {{0.1, 0.1, 0.3}, {0.1, 0.1, 0.4}, {0.1, 0.3, 0.7},
            {0.3, 0.4, 0.7}, {0.4, 0.4, 1.0}, {0.4, 0.3, 0.7}, {0.5, 0.5, 1.0}}},
        {"squirrel head top", 'd', false, 16, 1, {{0.0, 0.5}}},
        {"leaf sphere", 's', true, 5, 5, {{0.85 * 1.458}}},
        {"branches", 'c', true, 5, 1, {{0.4, 0.36, 2.0}, {0.36, 0.324, 1.8}, {0.324, 0.2916, 1.62}}},
        {"spheres of two stacks", 's', false, 7, 2, {{0.7}}}, {"spheres of two stacks, textured", 's', true, 7, 2, {{0.7}}},
        {"cones and flares, textured", 'c', true, 3, 3, {{1.0, 0.0, 2.0}, {0.2, 0.9, 0.5}}}, {"rings", 'd', false, 4, 2, {{0.2, 0.5}}},
        {"rings, textured", 'd', true, 9, 3, {{0.2, 0.5}}}, {"disks of three loops, textured", 'd', true, 3, 3, {{0.0, 0.6}}},
    };
    static GLUquadric* const real[2] = {gluNewQuadric(), gluNewQuadric()};   // plain, textured
    static GLUquadric* const ours[2] = {compatNewQuadric(), compatNewQuadric()};
    gluQuadricTexture(real[1], GL_TRUE);
    compatQuadricTexture(ours[1], GL_TRUE);
    for (const Case& c : cases)
        for (const auto& [a, b, h] : c.sizes) {
            const auto draw = [&](bool libGLU) {
                GLUquadric* q = libGLU ? real[c.texture] : ours[c.texture];
                if (c.shape == 's')
                    (libGLU ? gluSphere : compatSphere)(q, a, c.slices, c.stacks);
                else if (c.shape == 'c')
                    (libGLU ? gluCylinder : compatCylinder)(q, a, b, h, c.slices, c.stacks);
                else
                    (libGLU ? gluDisk : compatDisk)(q, a, b, c.slices, c.stacks);
            };
            const std::vector<Vertex> want = record([&] { draw(true); }), got = record([&] { draw(false); });
            EXPECT_LE(worst(want, got), 1e-6) << c.what << " " << a << " " << b << " " << h << ": " << want.size()
                                              << " vertices from libGLU, " << got.size() << " from the stand-in";
        }
}

// The wing's map (u1, u2, v1, v2, then 4x4 points) for flap a, on its domain and
// another; Mesa's points come back halved in a 2x2 viewport: x = 2 (xw - 1), z = 4 zw - 2.
TEST(WebCompat, EvaluatorGivesMesasPoints)
{
    for (float a : {0.0f, 0.5f, 1.0f}) {
        const float x[4] = {0, 0.33f, 0.66f, 1}, y[4] = {0, 0.5f * a + 0.1f, 0.2f * a, -0.5f * a}, z[4] = {1, 0.66f, 0.33f, 0};
        std::vector<GLfloat> map = a < 1 ? std::vector<GLfloat>{0, 1, 0, 1} : std::vector<GLfloat>{-1, 2, 0.5f, 1.5f};
        for (int j = 0; j < 4; j++)
            for (int i = 0; i < 4; i++)
                map.insert(map.end(), {x[j], y[j], j == 3 ? 0 : z[i]});
        const auto draw = [&](bool mesa) {   // the wing's grid over the map's domain
            (mesa ? glMap2f : compatMap2f)(GL_MAP2_VERTEX_3, map[0], map[1], 3, 4, map[2], map[3], 12, 4, &map[4]);
            glBegin(GL_POINTS);
            for (int r = 0; r <= 5; r++)
                for (int k = 0; k <= 5; k++)
                    (mesa ? glEvalCoord2f : compatEvalCoord2f)(map[0] + (map[1] - map[0]) * (k / 5.0f), map[2] + (map[3] - map[2]) * (r / 5.0f));
            glEnd();
        };
        GLfloat buffer[4 * 36];
        const std::vector<Vertex> got = record([&] { draw(false); });
        glViewport(0, 0, 2, 2);
        glLoadIdentity();
        glScalef(0.5f, 0.5f, 0.5f);
        glEnable(GL_MAP2_VERTEX_3);
        glFeedbackBuffer(4 * 36, GL_3D, buffer);
        glRenderMode(GL_FEEDBACK);
        draw(true);
        ASSERT_EQ(glRenderMode(GL_RENDER), 4 * 36) << "points fed back by Mesa";
        std::vector<Vertex> want;
        for (const GLfloat* p = buffer; p < buffer + 4 * 36; p += 4)
            want.push_back({GL_POINTS, 1, 2 * (p[1] - 1.0), 2 * (p[2] - 1.0), 4 * p[3] - 2.0, 9, 9, 9, 9, 9});
        EXPECT_LE(worst(want, got), 1e-6) << "flap " << a << ", map over u " << map[0] << ".." << map[1];
    }
}
