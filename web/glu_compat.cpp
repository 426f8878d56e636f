// GLU's quadrics (filled, smooth normals, facing outward, with or without
// texture coordinates), gluLookAt, and GL's 2-D evaluator for
// GL_MAP2_VERTEX_3. The quadrics emit the primitives, vertex order, normals
// and texture coordinates that Debian's libGLU emits for the same call.
#include "glu_compat.h"

#include <cmath>
#include <new>
#include <vector>

struct GLUquadric {
    bool texture = false;   // emit texture coordinates
};

namespace {

const double pi = 3.141592653589793;
const int maxOrder = 30;    // highest evaluator order, as in Mesa

// The evaluator's map: control points in u-major order, 3 floats each.
struct Map2 {
    float u1, u2, v1, v2;
    int uorder = 0, vorder = 0;
    std::vector<double> points;
} map2;

// Sphere vertex at slice i (angle 2 pi i / slices about z, from +y toward
// +x) on ring k (angle pi k / stacks down from +z).
void sphereVertex(const GLUquadric* q, double radius, int i, int slices, int k, int stacks)
{
    const double theta = 2 * pi * i / slices, phi = pi * k / stacks;
    const double x = std::sin(theta) * std::sin(phi), y = std::cos(theta) * std::sin(phi);
    const double z = std::cos(phi);
    glNormal3f(x, y, z);
    if (q->texture)
        glTexCoord2f(1.0 - static_cast<double>(i) / slices, 1.0 - static_cast<double>(k) / stacks);
    glVertex3f(radius * x, radius * y, radius * z);
}

// Disk vertex at slice i on the circle of radius r; the texture spans the
// outer circle.
void diskVertex(const GLUquadric* q, double outer, double r, int i, int slices)
{
    const double theta = 2 * pi * i / slices;
    const double x = r * std::sin(theta), y = r * std::cos(theta);
    if (q->texture)
        glTexCoord2f(0.5 + x / (2 * outer), 0.5 + y / (2 * outer));
    glVertex3f(x, y, 0.0f);
}

// Bernstein weights of the given order at t.
void bernstein(int order, double t, double* weight)
{
    weight[0] = 1.0;
    for (int k = 1; k < order; k++) {
        weight[k] = t * weight[k - 1];
        for (int i = k - 1; i > 0; i--)
            weight[i] = t * weight[i - 1] + (1.0 - t) * weight[i];
        weight[0] *= 1.0 - t;
    }
}

}  // namespace

GLUquadric* compatNewQuadric()
{
    return new (std::nothrow) GLUquadric;
}

void compatQuadricTexture(GLUquadric* quadric, GLboolean texture)
{
    quadric->texture = texture != GL_FALSE;
}

// Without texture coordinates the two polar caps are triangle fans (north
// first, each around its pole) and the stacks between them quad strips; with
// them every stack is a quad strip. Strips run north to south.
void compatSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks)
{
    int first = 0, last = stacks;   // the stacks drawn as strips
    if (!quadric->texture) {
        glNormal3f(0.0f, 0.0f, 1.0f);
        glBegin(GL_TRIANGLE_FAN);
        glVertex3f(0.0f, 0.0f, radius);
        for (int i = slices; i >= 0; i--)
            sphereVertex(quadric, radius, i, slices, 1, stacks);
        glEnd();
        glNormal3f(0.0f, 0.0f, -1.0f);
        glBegin(GL_TRIANGLE_FAN);
        glVertex3f(0.0f, 0.0f, -radius);
        for (int i = 0; i <= slices; i++)
            sphereVertex(quadric, radius, i, slices, stacks - 1, stacks);
        glEnd();
        first = 1;
        last = stacks - 1;
    }
    for (int k = first; k < last; k++) {
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; i++) {
            sphereVertex(quadric, radius, i, slices, k + 1, stacks);
            sphereVertex(quadric, radius, i, slices, k, stacks);
        }
        glEnd();
    }
}

// One quad strip per stack from z = 0 up; the radius runs linearly from base
// to top, and each slice's normal leans by the taper.
void compatCylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height,
                    GLint slices, GLint stacks)
{
    const double lean = (base - top) / height;
    const double length = std::sqrt(1.0 + lean * lean);
    for (int j = 0; j < stacks; j++) {
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; i++) {
            const double theta = 2 * pi * i / slices;
            const double x = std::sin(theta), y = std::cos(theta);
            glNormal3f(x / length, y / length, lean / length);
            for (int k = j; k <= j + 1; k++) {
                const double r = base + (top - base) * k / stacks;
                if (quadric->texture)
                    glTexCoord2f(1.0 - static_cast<double>(i) / slices, static_cast<double>(k) / stacks);
                glVertex3f(r * x, r * y, height * k / stacks);
            }
        }
        glEnd();
    }
}

// In the plane z = 0, facing +z. A disk without a hole has its innermost
// ring as a triangle fan, drawn first; the other rings are quad strips from
// the outside in.
void compatDisk(GLUquadric* quadric, GLdouble inner, GLdouble outer, GLint slices, GLint loops)
{
    const auto radius = [&](int loop) { return outer - (outer - inner) * loop / loops; };
    int strips = loops;
    glNormal3f(0.0f, 0.0f, 1.0f);
    if (inner == 0.0) {
        glBegin(GL_TRIANGLE_FAN);
        diskVertex(quadric, outer, 0.0, 0, slices);
        for (int i = slices; i >= 0; i--)
            diskVertex(quadric, outer, radius(loops - 1), i, slices);
        glEnd();
        strips = loops - 1;
    }
    for (int loop = 0; loop < strips; loop++) {
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; i++) {
            diskVertex(quadric, outer, radius(loop), i, slices);
            diskVertex(quadric, outer, radius(loop + 1), i, slices);
        }
        glEnd();
    }
}

void compatLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX,
                  GLdouble centerY, GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ)
{
    const auto normalise = [](double* v) {
        const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length > 0.0)
            for (int k = 0; k < 3; k++)
                v[k] /= length;
    };
    double forward[3] = {centerX - eyeX, centerY - eyeY, centerZ - eyeZ};
    normalise(forward);
    double side[3] = {forward[1] * upZ - forward[2] * upY, forward[2] * upX - forward[0] * upZ,
                      forward[0] * upY - forward[1] * upX};
    normalise(side);
    const double up[3] = {side[1] * forward[2] - side[2] * forward[1],
                          side[2] * forward[0] - side[0] * forward[2],
                          side[0] * forward[1] - side[1] * forward[0]};
    const GLfloat rotation[16] = {
        static_cast<GLfloat>(side[0]), static_cast<GLfloat>(up[0]), static_cast<GLfloat>(-forward[0]), 0.0f,
        static_cast<GLfloat>(side[1]), static_cast<GLfloat>(up[1]), static_cast<GLfloat>(-forward[1]), 0.0f,
        static_cast<GLfloat>(side[2]), static_cast<GLfloat>(up[2]), static_cast<GLfloat>(-forward[2]), 0.0f,
        0.0f, 0.0f, 0.0f, 1.0f};
    glMultMatrixf(rotation);
    glTranslated(-eyeX, -eyeY, -eyeZ);
}

// Only GL_MAP2_VERTEX_3 is kept; it stays on once loaded (the program enables
// the map at start and never disables it).
void compatMap2f(GLenum target, GLfloat u1, GLfloat u2, GLint ustride, GLint uorder,
                 GLfloat v1, GLfloat v2, GLint vstride, GLint vorder, const GLfloat* points)
{
    if (target != GL_MAP2_VERTEX_3 || uorder < 1 || uorder > maxOrder || vorder < 1 ||
        vorder > maxOrder || u1 == u2 || v1 == v2)
        return;
    map2 = Map2{u1, u2, v1, v2, uorder, vorder, {}};
    for (int i = 0; i < uorder; i++)
        for (int j = 0; j < vorder; j++)
            for (int k = 0; k < 3; k++)
                map2.points.push_back(points[i * ustride + j * vstride + k]);
}

void compatEvalCoord2f(GLfloat u, GLfloat v)
{
    if (map2.points.empty())
        return;
    double wu[maxOrder], wv[maxOrder], point[3] = {0.0, 0.0, 0.0};
    bernstein(map2.uorder, (u - map2.u1) / static_cast<double>(map2.u2 - map2.u1), wu);
    bernstein(map2.vorder, (v - map2.v1) / static_cast<double>(map2.v2 - map2.v1), wv);
    const double* p = map2.points.data();
    for (int i = 0; i < map2.uorder; i++)
        for (int j = 0; j < map2.vorder; j++, p += 3)
            for (int k = 0; k < 3; k++)
                point[k] += wu[i] * wv[j] * p[k];
    glVertex3f(point[0], point[1], point[2]);
}
