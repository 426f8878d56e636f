// The page's renderer (web/ffp), built natively, against Mesa: every GL and GLU
// call the program makes goes to both, and Mesa's vertices, read back through
// GL feedback with their lit colours and texture coordinates, must be the
// renderer's to 1e-5: the program's frames, each primitive the renderer splits
// into triangles, libGLU's quadrics and Mesa's evaluator.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <vector>

#include "ffp.h"
#include "scene.h"

namespace {

using Vertex = std::array<double, 9>;   // normalised device x, y, z; RGBA; s, t
bool points = false;                    // Mesa draws each primitive as points
bool inGLU = false;                     // inside libGLU's quadric: its calls are Mesa's only
std::vector<ffp::Frame> frames;         // what the renderer handed over

struct Quadrics {
    GLUquadric* mesa;
    ffp::Quadric ours;
};

}  // namespace

// The calls the program and libGLU make, to Mesa and to the renderer.
#define REAL(name) (*[] { static const auto f = reinterpret_cast<decltype(&name)>(dlsym(RTLD_NEXT, #name)); return f; }())
#define BOTH(name, ours, params, args) \
    void name params { REAL(name) args; if (!inGLU) ours args; }
#define QUADRIC(name, renderer, params, ...)             \
    void name params                                    \
    {                                                   \
        Quadrics* both = reinterpret_cast<Quadrics*>(q); \
        inGLU = true;                                   \
        REAL(name)(both->mesa, __VA_ARGS__);            \
        inGLU = false;                                  \
        renderer(both->ours, __VA_ARGS__);              \
    }
extern "C" {
BOTH(glMatrixMode, ffp::matrixMode, (GLenum mode), (mode))
BOTH(glLoadIdentity, ffp::loadIdentity, (), ())
BOTH(glPushMatrix, ffp::pushMatrix, (), ())
BOTH(glPopMatrix, ffp::popMatrix, (), ())
BOTH(glTranslatef, ffp::translate, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
BOTH(glRotatef, ffp::rotate, (GLfloat a, GLfloat x, GLfloat y, GLfloat z), (a, x, y, z))
BOTH(glScalef, ffp::scale, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
BOTH(glLightfv, ffp::light, (GLenum l, GLenum name, const GLfloat* p), (l, name, p))
BOTH(glMaterialfv, ffp::material, (GLenum face, GLenum name, const GLfloat* p), (face, name, p))
BOTH(glEnd, ffp::end, (), ())
BOTH(glVertex3f, ffp::vertex, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
BOTH(glNormal3f, ffp::normal, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
BOTH(glTexCoord2f, ffp::texCoord, (GLfloat s, GLfloat t), (s, t))
BOTH(glEvalCoord2f, ffp::evalCoord2, (GLfloat u, GLfloat v), (u, v))
BOTH(glMap2f, ffp::map2, (GLenum t, GLfloat u1, GLfloat u2, GLint us, GLint uo, GLfloat v1, GLfloat v2, GLint vs, GLint vo,
     const GLfloat* p), (t, u1, u2, us, uo, v1, v2, vs, vo, p))
BOTH(gluPerspective, ffp::perspective, (GLdouble fovy, GLdouble aspect, GLdouble n, GLdouble f), (fovy, aspect, n, f))
BOTH(gluLookAt, ffp::lookAt, (GLdouble ex, GLdouble ey, GLdouble ez, GLdouble cx, GLdouble cy, GLdouble cz, GLdouble ux,
     GLdouble uy, GLdouble uz), (ex, ey, ez, cx, cy, cz, ux, uy, uz))
QUADRIC(gluSphere, ffp::sphere, (GLUquadric* q, GLdouble r, GLint slices, GLint stacks), r, slices, stacks)
QUADRIC(gluCylinder, ffp::cylinder, (GLUquadric* q, GLdouble b, GLdouble t, GLdouble h, GLint slices, GLint stacks), b, t, h,
        slices, stacks)
QUADRIC(gluDisk, ffp::disk, (GLUquadric* q, GLdouble inner, GLdouble outer, GLint slices, GLint loops), inner, outer, slices,
        loops)
void glBegin(GLenum mode) { REAL(glBegin)(points ? GL_POINTS : mode); if (!inGLU) ffp::begin(mode); }
void glEnable(GLenum cap) { REAL(glEnable)(cap), ffp::enable(cap, true); }
void glBindTexture(GLenum target, GLuint texture) { REAL(glBindTexture)(target, texture), ffp::bindTexture(texture); }
void glTexImage2D(GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border, GLenum format, GLenum type,
                  const void* pixels)
{
    REAL(glTexImage2D)(target, level, internal, w, h, border, format, type, pixels), ffp::textureImage(level);
}
GLUquadric* gluNewQuadric() { return reinterpret_cast<GLUquadric*>(new Quadrics{REAL(gluNewQuadric)(), {}}); }
void gluQuadricTexture(GLUquadric* q, GLboolean texture)
{
    Quadrics* both = reinterpret_cast<Quadrics*>(q);
    REAL(gluQuadricTexture)(both->mesa, texture), both->ours.texture = texture;
}
void glutSwapBuffers() { ffp::finish(); }
void glutTimerFunc(unsigned, void (*)(int), int) {}
void glutPostRedisplay() {}
}

namespace {

// Mesa's vertices and the renderer's for what `draw` draws, in normalised device
// coordinates (Mesa's window coordinates come in steps of 1/16384 pixel: in a
// 128x128 viewport those are well below the tolerance).
// As points, Mesa gives every vertex in the view volume, in order; otherwise
// the triangles it splits each primitive into.
std::pair<std::vector<Vertex>, std::vector<Vertex>> capture(const std::function<void()>& draw, bool asPoints)
{
    std::vector<GLfloat> buffer(1 << 20);
    const int half = 64;
    ffp::setSink([](const ffp::Frame& frame) { frames.push_back(frame); });
    frames.clear();
    glViewport(0, 0, 2 * half, 2 * half);
    glFeedbackBuffer(buffer.size(), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    points = asPoints;
    draw();
    points = false;
    ffp::finish();
    const int n = glRenderMode(GL_RENDER);
    EXPECT_GT(n, 0) << "feedback buffer overflow";
    std::vector<Vertex> mesa, ours;
    for (int i = 0; i < n;) {
        const GLfloat token = buffer[i++];
        for (int count = token == GL_POLYGON_TOKEN ? buffer[i++] : 1; count > 0; count--, i += 11) {
            const GLfloat* v = &buffer[i];
            mesa.push_back({v[0] / half - 1.0, v[1] / half - 1.0, 2.0 * v[2] - 1.0, v[3], v[4], v[5], v[6], v[7], v[8]});
        }
    }
    const float* m = nullptr;   // the camera of the frame at hand
    const auto add = [&](const ffp::Vertex& v) {
        const float* p = v.position;
        float c[4];
        for (int k = 0; k < 4; k++)
            c[k] = m[k] * p[0] + m[4 + k] * p[1] + m[8 + k] * p[2] + m[12 + k];
        if (!asPoints || (std::fabs(c[0]) <= c[3] && std::fabs(c[1]) <= c[3] && std::fabs(c[2]) <= c[3]))
            ours.push_back({c[0] / c[3], c[1] / c[3], c[2] / c[3], v.color[0], v.color[1], v.color[2], v.color[3],
                            v.texCoord[0], v.texCoord[1]});
    };
    for (const ffp::Frame& frame : frames) {
        m = frame.camera;
        if (asPoints)
            std::for_each(frame.vertices.begin(), frame.vertices.end(), add);
        else
            for (const ffp::Batch& batch : frame.batches)
                for (GLushort index : batch.indices)
                    add(frame.vertices[index]);
    }
    return {mesa, ours};
}

// Both sides' vertices agree within 1e-5, and there are some.
void expectSame(const std::pair<std::vector<Vertex>, std::vector<Vertex>>& got, const std::string& what)
{
    const auto& [mesa, ours] = got;
    ASSERT_EQ(mesa.size(), ours.size()) << what << ": vertex counts, Mesa's then the renderer's";
    ASSERT_FALSE(mesa.empty()) << what;
    for (size_t i = 0; i < mesa.size(); i++)
        for (int k = 0; k < 9; k++)
            ASSERT_NEAR(mesa[i][k], ours[i][k], 1e-5) << what << ": vertex " << i << " of " << mesa.size()
                                                      << ", component " << k << " (x y z r g b a s t)";
}

void stepTicks(int n)
{
    for (int i = 0; i < n; i++)
        timer(0);
}

}  // namespace

// The program's own frames, every vertex in view: camera, light, ground, the
// textured trees, the bird's evaluated wings, the squirrel's quadrics.
TEST(Renderer, ProgramFramesMatchMesa)
{
    struct Moment { const char* what; int key; bool press; int ticks; };
    const Moment moments[] = {
        {"first frame", 0, false, 0},
        {"standing sway", 0, false, 150},
        {"mid-blend into running", GLUT_KEY_UP, true, 5},
        {"running", 0, false, 40},
        {"turning, tail out", GLUT_KEY_LEFT, true, 20},
        {"running on after the turn", GLUT_KEY_LEFT, false, 100},
    };
    openWindow();
    for (const Moment& m : moments) {
        if (m.key)
            (m.press ? special : specialUp)(m.key, 0, 0);
        stepTicks(m.ticks);
        expectSame(capture(display, true), m.what);
    }
}

// Each kind of primitive split as Mesa splits it, libGLU's quadrics as the
// program and others call them, the evaluator on a domain other than [0, 1],
// a local light on unnormalised normals: Mesa's triangles, vertex for vertex.
TEST(Renderer, PrimitivesQuadricsAndLightingMatchMesa)
{
    const auto strip = [](GLenum mode) {
        return [mode] {
            glBegin(mode);
            for (int i = 0; i < 9; i++) {
                glNormal3f(std::sin(i), std::cos(i), 0.5f);
                glTexCoord2f(0.1f * i, 1.0f - 0.1f * i);
                glVertex3f(0.5f * std::cos(0.7 * i), 0.5f * std::sin(1.1 * i), 0.05f * i);
            }
            glEnd();
        };
    };
    const auto quadric = [](bool texture, const std::function<void(GLUquadric*)>& draw) {
        return [texture, draw] {
            static GLUquadric* const q[2] = {gluNewQuadric(), gluNewQuadric()};
            gluQuadricTexture(q[1], GL_TRUE);
            glScalef(0.4f, 0.4f, 0.4f);
            draw(q[texture]);
        };
    };
    const auto sphere = [&](bool t, double r, int sl, int st) { return quadric(t, [=](GLUquadric* q) { gluSphere(q, r, sl, st); }); };
    const auto cylinder = [&](bool t, double b, double top, double h, int sl, int st) {
        return quadric(t, [=](GLUquadric* q) { gluCylinder(q, b, top, h, sl, st); });
    };
    const auto disk = [&](bool t, double in, double out, int sl, int l) { return quadric(t, [=](GLUquadric* q) { gluDisk(q, in, out, sl, l); }); };
    const auto wing = [](float u1, float u2, float v1, float v2) {
        return [=] {
            const int corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
            GLfloat net[48];
            for (int k = 0; k < 48; k++)
                net[k] = 0.4f * std::sin(1.7f * k);
            glMap2f(GL_MAP2_VERTEX_3, u1, u2, 3, 4, v1, v2, 12, 4, net);
            glBegin(GL_QUADS);
            for (int r = 0; r < 5; r++)
                for (int k = 0; k < 5; k++)
                    for (const auto& corner : corners)
                        glEvalCoord2f(u1 + (u2 - u1) * (k + corner[0]) / 5.0f, v1 + (v2 - v1) * (r + corner[1]) / 5.0f);
            glEnd();
        };
    };
    const auto localLight = [&](bool normalise) {
        return [=] {
            static const GLfloat at[] = {0.5f, -0.5f, 2.0f, 2.0f};
            glLightfv(GL_LIGHT0, GL_POSITION, at);
            (normalise ? REAL(glEnable) : REAL(glDisable))(GL_NORMALIZE);
            ffp::enable(GL_NORMALIZE, normalise);
            glScalef(0.5f, 1.5f, 1.0f);
            strip(GL_TRIANGLE_STRIP)();
        };
    };
    struct Case { const char* what; std::function<void()> draw; };
    const Case cases[] = {
        {"triangles", strip(GL_TRIANGLES)}, {"triangle strip", strip(GL_TRIANGLE_STRIP)},
        {"triangle fan", strip(GL_TRIANGLE_FAN)}, {"quads", strip(GL_QUADS)}, {"quad strip", strip(GL_QUAD_STRIP)},
        {"polygon", strip(GL_POLYGON)},
        {"squirrel sphere", sphere(false, 0.5, 16, 16)}, {"squirrel tail tip", sphere(false, 0.3, 16, 16)},
        {"squirrel cylinder, tapered", cylinder(false, 0.1, 0.3, 0.7, 16, 2)}, {"squirrel body", cylinder(false, 0.5, 0.5, 1.0, 16, 2)},
        {"squirrel head top", disk(false, 0.0, 0.5, 16, 1)}, {"leaf sphere", sphere(true, 0.85 * 1.458, 5, 5)},
        {"branch", cylinder(true, 0.36, 0.324, 1.8, 5, 1)}, {"sphere of two stacks", sphere(false, 0.7, 7, 2)},
        {"sphere of two stacks, textured", sphere(true, 0.7, 7, 2)}, {"cone, textured", cylinder(true, 1.0, 0.0, 2.0, 3, 3)},
        {"flare, textured", cylinder(true, 0.2, 0.9, 0.5, 3, 3)}, {"ring", disk(false, 0.2, 0.5, 4, 2)},
        {"ring, textured", disk(true, 0.2, 0.5, 9, 3)}, {"disk of three loops, textured", disk(true, 0.0, 0.6, 3, 3)},
        {"wing on [0, 1]", wing(0, 1, 0, 1)}, {"wing on u -1..2, v 0.5..1.5", wing(-1, 2, 0.5f, 1.5f)},
        {"local light, normalised", localLight(true)}, {"local light, unnormalised", localLight(false)},
    };
    openWindow();
    static const GLfloat fur[] = {0.3f, 0.1f, 0.0f, 0.5f}, sun[] = {1.0f, 2.0f, 3.0f, 0.0f};
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, fur);
    for (const Case& c : cases) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glLightfv(GL_LIGHT0, GL_POSITION, sun);
        glRotatef(20.0f, 1.0f, 2.0f, 0.0f);
        expectSame(capture(c.draw, false), c.what);
    }
}

// GL draws untextured while texturing is off or the bound texture has no
// image (texture 0 included); the frame keeps one batch per texture drawn.
TEST(Renderer, DrawsUntexturedWithoutAnImageOrTexturing)
{
    openWindow();
    GLuint named[2];
    glGenTextures(2, named);
    const GLubyte texel[3] = {255, 255, 255};
    glBindTexture(GL_TEXTURE_2D, named[0]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    struct Case { const char* what; bool texturing; GLuint bound; GLuint want; };
    const Case cases[] = {
        {"texture 0", true, 0, 0}, {"a texture with an image", true, named[0], named[0]},
        {"a texture without one", true, named[1], 0}, {"texturing off", false, named[0], 0},
    };
    for (const Case& c : cases) {
        ffp::enable(GL_TEXTURE_2D, c.texturing);
        glBindTexture(GL_TEXTURE_2D, c.bound);
        capture([] { gluSphere(gluq, 0.5, 4, 4); }, false);
        ASSERT_EQ(frames.size(), 1u) << c.what;
        ASSERT_EQ(frames[0].batches.size(), 1u) << c.what;
        EXPECT_EQ(frames[0].batches[0].texture, c.want) << c.what;
    }
}
