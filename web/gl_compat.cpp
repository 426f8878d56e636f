// Browser build only: closes the gaps between Emscripten's legacy GL
// emulation and desktop GL that the program runs into, and counts ticks and
// frames for the page. Built without web/compat.h, so that the GL names here
// are the emulation's own.
#include "gl_compat.h"

#include <GL/glut.h>
#include <emscripten.h>

#include <set>
#include <vector>

#include "glu_compat.h"

namespace {

// One vertex as the arrays hand it to the emulation.
struct Vertex {
    GLfloat texCoord[2];
    GLfloat normal[3];
    GLfloat position[3];
};

Vertex current = {{0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}};  // normal, texture coordinates
GLenum primitiveMode;          // of the open glBegin
size_t primitiveStart;         // its first vertex in `vertices`
std::vector<Vertex> vertices;  // waiting to be drawn
std::vector<GLushort> indices; // their triangles
bool batching = false;         // inside a quadric: draw once at its end
bool texturing = false;        // GL_TEXTURE_2D as the program has set it
bool texturingShown = false;   // GL_TEXTURE_2D as the emulation has it
GLuint boundTexture = 0;       // the program's 2-D texture binding
std::set<GLuint> loaded;       // textures given a level-0 image
int ticks = 0;                 // timer registrations
int frames = 0;                // buffer swaps

// Desktop GL draws untextured while the bound texture has no image (texture
// 0 included); the emulation would sample black, so texturing is switched
// off for such drawing.
void showTexturing()
{
    const bool textured = texturing && loaded.count(boundTexture) > 0;
    if (textured != texturingShown) {
        (textured ? glEnable : glDisable)(GL_TEXTURE_2D);
        texturingShown = textured;
    }
}

void pointVertexArrays()
{
    const Vertex* v = vertices.data();
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), v->texCoord);
    glNormalPointer(GL_FLOAT, sizeof(Vertex), v->normal);
    glVertexPointer(3, GL_FLOAT, sizeof(Vertex), v->position);
}

// Draws the waiting triangles in one call.
void flush()
{
    if (!indices.empty()) {
        showTexturing();
        pointVertexArrays();
        glDrawRangeElements(GL_TRIANGLES, 0, vertices.size() - 1, indices.size(), GL_UNSIGNED_SHORT,
                            indices.data());
    }
    vertices.clear();
    indices.clear();
}

// Triangle (a, b, c) of the open primitive.
void triangle(size_t a, size_t b, size_t c)
{
    indices.insert(indices.end(), {static_cast<GLushort>(primitiveStart + a),
                                   static_cast<GLushort>(primitiveStart + b),
                                   static_cast<GLushort>(primitiveStart + c)});
}

}  // namespace

// Primitives are collected as vertex arrays and triangles: the emulation
// keeps a normal only for a vertex given inside glBegin/glEnd and has no
// quad strips or polygons, and one draw call per quadric instead of one per
// strip saves most of a frame's time in the browser.
void compatBegin(GLenum mode)
{
    primitiveMode = mode;
    primitiveStart = vertices.size();
}

void compatVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    vertices.push_back(current);
    GLfloat* position = vertices.back().position;
    position[0] = x;
    position[1] = y;
    position[2] = z;
}

void compatEnd()
{
    size_t n = vertices.size() - primitiveStart;
    switch (primitiveMode) {
    case GL_TRIANGLES:
        for (size_t i = 0; i + 2 < n; i += 3)
            triangle(i, i + 1, i + 2);
        break;
    case GL_QUAD_STRIP:
        n -= n % 2;
        [[fallthrough]];
    case GL_TRIANGLE_STRIP:
        for (size_t i = 2; i < n; i++)
            i % 2 ? triangle(i - 1, i - 2, i) : triangle(i - 2, i - 1, i);
        break;
    case GL_TRIANGLE_FAN:
    case GL_POLYGON:
        for (size_t i = 2; i < n; i++)
            triangle(0, i - 1, i);
        break;
    case GL_QUADS:
        for (size_t i = 0; i + 3 < n; i += 4) {
            triangle(i, i + 1, i + 2);
            triangle(i, i + 2, i + 3);
        }
        break;
    default:   // points and lines, drawn as they come
        showTexturing();
        pointVertexArrays();
        glDrawArrays(primitiveMode, primitiveStart, n);
        vertices.resize(primitiveStart);
    }
    if (!batching || vertices.size() > 60000)   // 16-bit indices
        flush();
}

void compatNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    current.normal[0] = x;
    current.normal[1] = y;
    current.normal[2] = z;
}

void compatTexCoord2f(GLfloat s, GLfloat t)
{
    current.texCoord[0] = s;
    current.texCoord[1] = t;
}

// Draws what `quadric` emits with one call.
template <typename Quadric>
void batched(Quadric quadric)
{
    batching = true;
    quadric();
    batching = false;
    flush();
}

void batchedSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks)
{
    batched([&] { compatSphere(quadric, radius, slices, stacks); });
}

void batchedCylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height,
                     GLint slices, GLint stacks)
{
    batched([&] { compatCylinder(quadric, base, top, height, slices, stacks); });
}

void batchedDisk(GLUquadric* quadric, GLdouble inner, GLdouble outer, GLint slices, GLint loops)
{
    batched([&] { compatDisk(quadric, inner, outer, slices, loops); });
}

// The emulation takes ambient and diffuse only one at a time.
void compatMaterialfv(GLenum face, GLenum name, const GLfloat* params)
{
    if (name == GL_AMBIENT_AND_DIFFUSE) {
        glMaterialfv(face, GL_AMBIENT, params);
        glMaterialfv(face, GL_DIFFUSE, params);
    } else {
        glMaterialfv(face, name, params);
    }
}

void compatEnable(GLenum cap)
{
    if (cap == GL_TEXTURE_2D)
        texturing = true;
    else
        glEnable(cap);
}

void compatDisable(GLenum cap)
{
    if (cap == GL_TEXTURE_2D)
        texturing = false;
    else
        glDisable(cap);
}

void compatBindTexture(GLenum target, GLuint texture)
{
    if (target == GL_TEXTURE_2D)
        boundTexture = texture;
    glBindTexture(target, texture);
}

// The emulation takes the texture environment's mode only as an integer.
void compatTexEnvf(GLenum target, GLenum name, GLfloat param)
{
    if (name == GL_TEXTURE_ENV_MODE)
        glTexEnvi(target, name, static_cast<GLint>(param));
    else
        glTexEnvf(target, name, param);
}

// The program's textures are complete with level 0 alone (linear filters).
void compatTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                      GLsizei height, GLint border, GLenum format, GLenum type, const void* pixels)
{
    glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
    if (target == GL_TEXTURE_2D && level == 0)
        loaded.insert(boundTexture);
}

// Fails, as a GLU out of memory would, when the page asks (web/pre.js).
GLUquadric* pageNewQuadric()
{
    return EM_ASM_INT({ return Module.failQuadric ? 1 : 0; }) ? nullptr : compatNewQuadric();
}

// The page's key filter (web/pre.js) drops repeated key-down events while
// this is set.
void compatIgnoreKeyRepeat(int ignore)
{
    EM_ASM({ Module.ignoreKeyRepeat = $0 != 0; }, ignore);
}

void compatTimerFunc(unsigned int msecs, void (*callback)(int), int value)
{
    ticks++;
    glutTimerFunc(msecs, callback, value);
}

void compatSwapBuffers()
{
    frames++;
    glutSwapBuffers();
}

// Read by the page to measure the tick and frame rates.
extern "C" EMSCRIPTEN_KEEPALIVE int compatTicks()
{
    return ticks;
}

extern "C" EMSCRIPTEN_KEEPALIVE int compatFrames()
{
    return frames;
}
