// Browser build only: the OpenGL 1.1, GLU and GLUT names the program calls,
// defined here over the pipeline of ffp.h (these definitions take the place of
// Emscripten's own), and the drawing of each frame through WebGL 1: what
// changed of its vertex attributes and indices uploaded, one draw call per texture.
// Also counts ticks and frames for the page.
#include <GL/glut.h>
#include <emscripten.h>
#include <webgl/webgl1.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <vector>

#include "ffp.h"

struct GLUquadric {
    ffp::Quadric quadric;
};

namespace {

// The camera takes the position to clip coordinates; lit colour and texture
// coordinates pass through; the textured program modulates the colour by the texture.
const char* const vertexShader = R"(
uniform mat4 camera;
attribute vec3 position;
attribute vec4 color;
attribute vec2 texCoord;
varying vec4 litColor;
varying vec2 texPoint;
void main() {
    gl_Position = camera * vec4(position, 1.0);
    litColor = color;
    texPoint = texCoord;
})";
const char* const plainShader = R"(
precision mediump float;
varying vec4 litColor;
void main() {
    gl_FragColor = litColor;
})";
const char* const texturedShader = R"(
precision mediump float;
uniform sampler2D image;
varying vec4 litColor;
varying vec2 texPoint;
void main() {
    gl_FragColor = litColor * texture2D(image, texPoint);
})";

// A frame's values of one vertex attribute, each attribute in a buffer of its
// own, so that what did not change for a vertex is not sent again with what
// did: running, the squirrel's positions and colours change every frame but
// its texture coordinates never do. Of the new values only the runs of
// chunks that differ from what the buffer holds are sent.
template <typename Value>
struct Stream {
    GLuint buffer = 0;
    size_t capacity = 0;         // values allocated in buffer
    std::vector<Value> values;   // the frame's; kept, so that frames allocate nothing
    std::vector<Value> sent;     // the buffer's

    void upload()
    {
        constexpr size_t chunk = 256;   // values compared at a time
        const size_t count = values.size();
        const auto same = [&](size_t from) {
            const size_t to = std::min(from + chunk, count);
            return to <= sent.size() && std::memcmp(&values[from], &sent[from], (to - from) * sizeof(Value)) == 0;
        };
        bool bound = false;
        if (count > capacity) {   // allocated once, again only when a frame outgrows it
            emscripten_glBindBuffer(GL_ARRAY_BUFFER, buffer);
            emscripten_glBufferData(GL_ARRAY_BUFFER, (capacity = count) * sizeof(Value), nullptr, GL_DYNAMIC_DRAW);
            sent.clear();
            bound = true;
        }
        for (size_t from = 0; from < count;) {
            if (same(from)) {
                from += chunk;
                continue;
            }
            size_t to = from + chunk;
            while (to < count && !same(to))
                to += chunk;
            to = std::min(to, count);
            if (!bound)
                emscripten_glBindBuffer(GL_ARRAY_BUFFER, buffer);
            bound = true;
            emscripten_glBufferSubData(GL_ARRAY_BUFFER, from * sizeof(Value), (to - from) * sizeof(Value), &values[from]);
            from = to;
        }
        values.swap(sent);
    }
};

struct Position {
    float xyz[3];
};
struct Color {   // in bytes, as the framebuffer keeps it
    GLubyte rgba[4];
};
struct TexCoord {
    float st[2];
};

GLuint programs[2];        // untextured, textured
GLint cameras[2];          // their camera uniforms
Stream<Position> positions;
Stream<Color> colors;
Stream<TexCoord> texCoords;
GLuint boundTexture = 0;   // the program's 2-D texture binding
GLuint shownTexture = 0;   // WebGL's
std::vector<GLushort> indices;    // a frame's batches one after another, for one upload
std::vector<GLushort> uploaded;   // the indices in the index buffer: the same from frame to frame while the
                                  // program draws the same primitives, and then not sent again
int ticks = 0;             // timer registrations
int frames = 0;            // buffer swaps

GLuint shader(GLenum type, const char* source)
{
    const GLuint id = emscripten_glCreateShader(type);
    emscripten_glShaderSource(id, 1, &source, nullptr);
    emscripten_glCompileShader(id);
    return id;
}

GLuint program(const char* fragmentSource)
{
    const GLuint id = emscripten_glCreateProgram();
    emscripten_glAttachShader(id, shader(GL_VERTEX_SHADER, vertexShader));
    emscripten_glAttachShader(id, shader(GL_FRAGMENT_SHADER, fragmentSource));
    const char* const attributes[] = {"position", "color", "texCoord"};
    for (GLuint k = 0; k < 3; k++)
        emscripten_glBindAttribLocation(id, k, attributes[k]);
    emscripten_glLinkProgram(id);
    return id;
}

// The programs, buffers and vertex layout, made with the first frame.
void setUp()
{
    programs[0] = program(plainShader);
    programs[1] = program(texturedShader);
    for (int k = 0; k < 2; k++)
        cameras[k] = emscripten_glGetUniformLocation(programs[k], "camera");
    GLuint buffers[4];
    emscripten_glGenBuffers(4, buffers);
    positions.buffer = buffers[0];
    colors.buffer = buffers[1];
    texCoords.buffer = buffers[2];
    emscripten_glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[3]);
    const GLint sizes[] = {3, 4, 2};
    const GLenum types[] = {GL_FLOAT, GL_UNSIGNED_BYTE, GL_FLOAT};
    for (GLuint k = 0; k < 3; k++) {
        emscripten_glBindBuffer(GL_ARRAY_BUFFER, buffers[k]);
        emscripten_glEnableVertexAttribArray(k);
        emscripten_glVertexAttribPointer(k, sizes[k], types[k], types[k] == GL_UNSIGNED_BYTE, 0, nullptr);
    }
}

void draw(const ffp::Frame& frame)
{
    if (programs[0] == 0)
        setUp();
    const size_t count = frame.vertices.size();
    positions.values.resize(count);
    colors.values.resize(count);
    texCoords.values.resize(count);
    for (size_t k = 0; k < count; k++) {
        const ffp::Vertex& v = frame.vertices[k];
        std::copy(v.position, v.position + 3, positions.values[k].xyz);
        for (int c = 0; c < 4; c++)
            colors.values[k].rgba[c] = GLubyte(v.color[c] * 255.0f + 0.5f);
        std::copy(v.texCoord, v.texCoord + 2, texCoords.values[k].st);
    }
    positions.upload();
    colors.upload();
    texCoords.upload();
    indices.clear();
    for (const ffp::Batch& batch : frame.batches)
        indices.insert(indices.end(), batch.indices.begin(), batch.indices.end());
    if (indices != uploaded) {
        emscripten_glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * sizeof(GLushort), indices.data(),
                                GL_STATIC_DRAW);
        uploaded = indices;
    }
    size_t offset = 0;
    for (const ffp::Batch& batch : frame.batches) {
        if (!batch.indices.empty()) {
            const int k = batch.texture != 0;
            emscripten_glUseProgram(programs[k]);
            emscripten_glUniformMatrix4fv(cameras[k], 1, GL_FALSE, frame.camera);
            if (batch.texture != 0 && batch.texture != shownTexture)
                emscripten_glBindTexture(GL_TEXTURE_2D, shownTexture = batch.texture);
            emscripten_glDrawElements(GL_TRIANGLES, batch.indices.size(), GL_UNSIGNED_SHORT,
                                      reinterpret_cast<const void*>(offset * sizeof(GLushort)));
        }
        offset += batch.indices.size();
    }
}

// WebGL's binding made the program's, for a call that works on it.
void showBinding()
{
    if (shownTexture != boundTexture)
        emscripten_glBindTexture(GL_TEXTURE_2D, shownTexture = boundTexture);
}

// GLUT's timer callback with its value, for emscripten_async_call.
struct Timer {
    void (*callback)(int);
    int value;
};

const bool drawsFrames = (ffp::setSink(draw), true);   // the pipeline hands its frames to draw()
int stepping = -1;          // 1 while stepping (index.html?step), -1 until the first timer asks
Timer waiting{nullptr, 0};  // while stepping: the timer set, until step() runs it

// One tick: the page reads its gamepads first (Module.beforeTick, from
// web/controls.js), so that they steer alike whether the timer runs or the page steps it.
void tick(Timer t)
{
    EM_ASM({ if (Module.beforeTick) Module.beforeTick(); });
    t.callback(t.value);
}

void fire(void* timer)
{
    const Timer t = *static_cast<Timer*>(timer);
    delete static_cast<Timer*>(timer);
    tick(t);
}

}  // namespace

extern "C" {

// OpenGL 1.1: the pipeline's own state, or WebGL's where they agree.
void glEnable(GLenum cap)
{
    if (!ffp::enable(cap, true))
        emscripten_glEnable(cap);
}

void glDisable(GLenum cap)
{
    if (!ffp::enable(cap, false))
        emscripten_glDisable(cap);
}

void glClear(GLbitfield mask) { emscripten_glClear(mask); }
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) { emscripten_glClearColor(r, g, b, a); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) { emscripten_glViewport(x, y, w, h); }
void glShadeModel(GLenum) {}   // always smooth
void glMatrixMode(GLenum mode) { ffp::matrixMode(mode); }
void glLoadIdentity() { ffp::loadIdentity(); }
void glPushMatrix() { ffp::pushMatrix(); }
void glPopMatrix() { ffp::popMatrix(); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { ffp::translate(x, y, z); }
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { ffp::rotate(angle, x, y, z); }
void glScalef(GLfloat x, GLfloat y, GLfloat z) { ffp::scale(x, y, z); }
void glLightfv(GLenum light, GLenum name, const GLfloat* params) { ffp::light(light, name, params); }
void glMaterialfv(GLenum face, GLenum name, const GLfloat* params) { ffp::material(face, name, params); }
void glBegin(GLenum mode) { ffp::begin(mode); }
void glEnd() { ffp::end(); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { ffp::vertex(x, y, z); }
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { ffp::normal(x, y, z); }
void glTexCoord2f(GLfloat s, GLfloat t) { ffp::texCoord(s, t); }
void glMap2f(GLenum target, GLfloat u1, GLfloat u2, GLint ustride, GLint uorder, GLfloat v1, GLfloat v2,
             GLint vstride, GLint vorder, const GLfloat* points)
{
    ffp::map2(target, u1, u2, ustride, uorder, v1, v2, vstride, vorder, points);
}
void glEvalCoord2f(GLfloat u, GLfloat v) { ffp::evalCoord2(u, v); }
void glGenTextures(GLsizei n, GLuint* textures) { emscripten_glGenTextures(n, textures); }
void glTexParameteri(GLenum target, GLenum name, GLint param)
{
    showBinding();
    emscripten_glTexParameteri(target, name, param);
}
void glTexEnvf(GLenum, GLenum, GLfloat) {}   // always GL_MODULATE

// Noted only: the program binds a texture for each branch it draws, WebGL
// needs the binding only for the calls that upload or set up a texture.
void glBindTexture(GLenum target, GLuint texture)
{
    if (target == GL_TEXTURE_2D) {
        boundTexture = texture;
        ffp::bindTexture(texture);
    }
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const void* pixels)
{
    showBinding();
    emscripten_glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
    ffp::textureImage(level);
}

// GLU.
// Fails, as a GLU out of memory would, when the page asks (index.html?fail=quadric).
GLUquadric* gluNewQuadric()
{
    if (EM_ASM_INT({ return Module.failQuadric ? 1 : 0; }))
        return nullptr;
    return new (std::nothrow) GLUquadric;
}
void gluQuadricTexture(GLUquadric* quadric, GLboolean texture) { quadric->quadric.texture = texture; }

void gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks)
{
    ffp::sphere(quadric->quadric, radius, slices, stacks);
}

void gluCylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height, GLint slices, GLint stacks)
{
    ffp::cylinder(quadric->quadric, base, top, height, slices, stacks);
}

void gluDisk(GLUquadric* quadric, GLdouble inner, GLdouble outer, GLint slices, GLint loops)
{
    ffp::disk(quadric->quadric, inner, outer, slices, loops);
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    ffp::perspective(fovy, aspect, zNear, zFar);
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ)
{
    ffp::lookAt(eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ);
}

// GLUT: the frame is drawn at the swap; the timer is Emscripten's (a
// setTimeout), counted. The page's key filter (web/pre.js) drops repeated
// key-down events while key repeat is ignored.
void glutSwapBuffers()
{
    ffp::finish();
    frames++;
}

// Stepping (index.html?step, for tests): the timer does not run by itself
// but waits here for step().
void glutTimerFunc(unsigned int msecs, void (*callback)(int), int value)
{
    ticks++;
    if (stepping < 0)
        stepping = EM_ASM_INT({ return Module.stepping ? 1 : 0; });
    if (stepping)
        waiting = {callback, value};
    else
        emscripten_async_call(fire, new Timer{callback, value}, msecs);
}

void glutIgnoreKeyRepeat(int ignore)
{
    EM_ASM({ Module.ignoreKeyRepeat = $0 != 0; }, ignore);
}

// step(N), while stepping: N ticks at once, each followed by the program's
// display, as a frame; step(0) draws the frame again. The page reads the last
// frame in the same task (the drawing buffer is not kept after it).
EMSCRIPTEN_KEEPALIVE void step(int count)
{
    const auto display = reinterpret_cast<void (*)()>(EM_ASM_INT({ return GLUT.displayFunc; }));
    for (int k = 0; k < count && waiting.callback != nullptr; k++) {
        const Timer t = waiting;
        waiting.callback = nullptr;
        tick(t);
        display();
    }
    if (count <= 0)
        display();
}

// Read by the page to measure the tick and frame rates.
EMSCRIPTEN_KEEPALIVE int tickCount() { return ticks; }
EMSCRIPTEN_KEEPALIVE int frameCount() { return frames; }

}  // extern "C"
