// Browser build only: the OpenGL 1.1, GLU and GLUT names the program calls,
// defined here over the pipeline of ffp.h (these definitions take the place of
// Emscripten's own), and the drawing of each frame through WebGL 1: what
// changed of its vertex attributes and indices uploaded, one draw call per texture.
// Keeps what it gave WebGL (textures' pixels included) to make it all again
// when a lost context comes back. Also counts ticks and frames for the page,
// holds the timer while the page is paused, and gets the shaders ready in a
// task of their own before the first frame.
#include <GL/glut.h>
#include <emscripten.h>
#include <webgl/webgl1.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "ffp.h"

struct GLUquadric {
    ffp::Quadric quadric;
};

namespace {

// The camera takes the position to clip coordinates; lit colour and texture
// coordinates pass through; the textured program modulates the colour by the
// texture. The camera's four columns come as attributes that are the same for
// every vertex, at locations bound before linking: a uniform's location would
// have to be asked of WebGL, and the answer waits until the GPU has linked.
const char* const vertexShader = R"(
attribute vec4 camera0, camera1, camera2, camera3;
attribute vec3 position;
attribute vec4 color;
attribute vec2 texCoord;
varying vec4 litColor;
varying vec2 texPoint;
void main() {
    gl_Position = mat4(camera0, camera1, camera2, camera3) * vec4(position, 1.0);
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

// A texture as the program gave it, to be made again on a new context. Its
// name in the program is its place in `textures` plus one.
struct Texture {
    GLuint id = 0;                                   // WebGL's name, 0 while the context is lost
    std::vector<std::pair<GLenum, GLint>> parameters;
    GLint internalFormat = 0;
    GLsizei width = 0, height = 0;
    GLenum format = 0, type = 0;
    std::vector<GLubyte> pixels;                     // level 0's, rows 4-byte aligned as unpacked
};

GLuint programs[2];        // untextured, textured; 0 until set up and while the context is lost
Stream<Position> positions;
Stream<Color> colors;
Stream<TexCoord> texCoords;
std::vector<Texture> textures;
GLuint boundTexture = 0;   // the program's 2-D texture binding (the program's name)
GLuint shownTexture = 0;   // WebGL's (the program's name)
bool lost = false;         // the WebGL context is lost: nothing reaches it
std::vector<std::pair<GLenum, bool>> capabilities;   // WebGL's own capabilities as the program left them
GLclampf clearColor[4] = {};
GLint viewport[4] = {};    // as last set (width 0: never)
std::vector<GLushort> indices;    // a frame's batches one after another, for one upload
std::vector<GLushort> uploaded;   // the indices in the index buffer: the same from frame to frame while the
                                  // program draws the same primitives, and then not sent again
int ticks = 0;             // timer registrations
int frames = 0;            // frames drawn (none while the context is lost)

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
    const GLuint shaders[] = {shader(GL_VERTEX_SHADER, vertexShader), shader(GL_FRAGMENT_SHADER, fragmentSource)};
    for (GLuint s : shaders) {
        emscripten_glAttachShader(id, s);
        emscripten_glDeleteShader(s);   // goes with the program
    }
    const char* const attributes[] = {"position", "color", "texCoord", "camera0", "camera1", "camera2", "camera3"};
    for (GLuint k = 0; k < 7; k++)
        emscripten_glBindAttribLocation(id, k, attributes[k]);
    emscripten_glLinkProgram(id);
    return id;
}

// KEY's value in a list of pairs set to VALUE, or added.
template <typename Key, typename Value>
void keep(std::vector<std::pair<Key, Value>>& list, Key key, Value value)
{
    const auto kept = std::find_if(list.begin(), list.end(), [&](const auto& pair) { return pair.first == key; });
    if (kept == list.end())
        list.emplace_back(key, value);
    else
        kept->second = value;
}

// The program's texture of NAME, or null (0, or a name it never generated).
Texture* texture(GLuint name)
{
    return name == 0 || name > textures.size() ? nullptr : &textures[name - 1];
}

GLuint webglTexture(GLuint name)
{
    return texture(name) != nullptr ? texture(name)->id : 0;
}

// Makes KEPT in WebGL again from what the program gave it.
void makeTexture(Texture& kept)
{
    emscripten_glGenTextures(1, &kept.id);
    emscripten_glBindTexture(GL_TEXTURE_2D, kept.id);
    for (const auto& [name, value] : kept.parameters)
        emscripten_glTexParameteri(GL_TEXTURE_2D, name, value);
    if (kept.width > 0)
        emscripten_glTexImage2D(GL_TEXTURE_2D, 0, kept.internalFormat, kept.width, kept.height, 0, kept.format,
                                kept.type, kept.pixels.empty() ? nullptr : kept.pixels.data());
}

// The programs, buffers and vertex layout, made before the first frame (the
// page's start, prepare() below) or with it, and again with the first after
// a lost context came back. Nothing here waits for the GPU, which compiles
// and links in the background. The buffers start empty: nothing sent before counts.
void setUp()
{
    programs[0] = program(plainShader);
    programs[1] = program(texturedShader);
    GLuint buffers[4];
    emscripten_glGenBuffers(4, buffers);
    positions.buffer = buffers[0];
    colors.buffer = buffers[1];
    texCoords.buffer = buffers[2];
    positions.capacity = colors.capacity = texCoords.capacity = 0;
    uploaded.clear();
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
    if (lost)
        return;
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
    for (GLuint c = 0; c < 4; c++)   // the camera's columns, for every vertex
        emscripten_glVertexAttrib4fv(3 + c, frame.camera + 4 * c);
    size_t offset = 0;
    for (const ffp::Batch& batch : frame.batches) {
        if (!batch.indices.empty()) {
            const int k = batch.texture != 0;
            emscripten_glUseProgram(programs[k]);
            if (batch.texture != 0 && batch.texture != shownTexture)
                emscripten_glBindTexture(GL_TEXTURE_2D, webglTexture(shownTexture = batch.texture));
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
        emscripten_glBindTexture(GL_TEXTURE_2D, webglTexture(shownTexture = boundTexture));
}

// The program's display callback, run as GLUT would.
void display()
{
    const auto callback = reinterpret_cast<void (*)()>(EM_ASM_INT({ return GLUT.displayFunc; }));
    if (callback != nullptr)
        callback();
}

// The canvas's listeners for contextLost() and contextRestored() below;
// preventDefault() asks the browser to restore the context. (Two listeners
// here cost the page a kilobyte less than html5.h's.)
const bool survivesLoss = [] {
    EM_ASM({
        Module.canvas.addEventListener('webglcontextlost', function(event) {
            event.preventDefault();
            Module._contextLost();
        });
        Module.canvas.addEventListener('webglcontextrestored', function() { Module._contextRestored(); });
    });
    return true;
}();

// A capability of the pipeline's own, or WebGL's, kept for a new context.
void capability(GLenum cap, bool on)
{
    if (ffp::enable(cap, on))
        return;
    keep(capabilities, cap, on);
    if (!lost)
        (on ? emscripten_glEnable : emscripten_glDisable)(cap);
}

// GLUT's timer callback with its value, for emscripten_async_call.
struct Timer {
    void (*callback)(int);
    int value;
};

const bool drawsFrames = (ffp::setSink(draw), true);   // the pipeline hands its frames to draw()
int stepping = -1;          // 1 while stepping (index.html?step), -1 until the first timer asks
Timer waiting{nullptr, 0};  // the timer set, while stepping until step() runs it, while paused until play()

// One tick: the page reads its gamepads first (Module.beforeTick, from
// web/controls.js), so that they steer alike whether the timer runs or the
// page steps it, and reads the program's state after it (Module.afterTick).
void tick(Timer t)
{
    EM_ASM({ if (Module.beforeTick) Module.beforeTick(); });
    t.callback(t.value);
    EM_ASM({ if (Module.afterTick) Module.afterTick(); });
}

void fire(void* timer)
{
    const Timer t = *static_cast<Timer*>(timer);
    delete static_cast<Timer*>(timer);
    if (EM_ASM_INT({ return Module.paused ? 1 : 0; }))   // the page's Pause
        waiting = t;
    else
        tick(t);
}

}  // namespace

extern "C" {

// OpenGL 1.1: the pipeline's own state, or WebGL's where they agree. WebGL's
// is kept for a new context, and given to WebGL while it has one.
void glEnable(GLenum cap) { capability(cap, true); }
void glDisable(GLenum cap) { capability(cap, false); }

void glClear(GLbitfield mask)
{
    if (!lost)
        emscripten_glClear(mask);
}

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a)
{
    clearColor[0] = r, clearColor[1] = g, clearColor[2] = b, clearColor[3] = a;
    if (!lost)
        emscripten_glClearColor(r, g, b, a);
}

void glViewport(GLint x, GLint y, GLsizei w, GLsizei h)
{
    viewport[0] = x, viewport[1] = y, viewport[2] = w, viewport[3] = h;
    if (!lost)
        emscripten_glViewport(x, y, w, h);
}
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
void glGenTextures(GLsizei n, GLuint* names)
{
    for (GLsizei k = 0; k < n; k++) {
        textures.emplace_back();
        if (!lost)
            emscripten_glGenTextures(1, &textures.back().id);
        names[k] = textures.size();
    }
}

// Texture calls work on the program's bound texture (GL_TEXTURE_2D, the only target).
void glTexParameteri(GLenum target, GLenum name, GLint param)
{
    if (texture(boundTexture) == nullptr)
        return;
    keep(texture(boundTexture)->parameters, name, param);
    if (!lost) {
        showBinding();
        emscripten_glTexParameteri(target, name, param);
    }
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
    Texture* const kept = texture(boundTexture);
    if (kept == nullptr || level != 0)   // the program gives level 0 only
        return;
    // Bytes of GL_RGB or GL_RGBA, each row starting 4-byte aligned as WebGL unpacks them.
    const size_t row = (size_t(width) * (format == GL_RGBA ? 4 : 3) + 3) / 4 * 4;
    const auto* bytes = static_cast<const GLubyte*>(pixels);
    kept->internalFormat = internalFormat;
    kept->width = width, kept->height = height;
    kept->format = format, kept->type = type;
    kept->pixels.assign(bytes, bytes == nullptr ? bytes : bytes + row * height);
    if (!lost) {
        showBinding();
        emscripten_glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
    }
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
    if (!lost)
        frames++;
}

// Stepping (index.html?step, for tests): the timer does not run by itself
// but waits here for step(). The page's Slow (Module.slow) spaces the ticks
// four times as far apart.
void glutTimerFunc(unsigned int msecs, void (*callback)(int), int value)
{
    ticks++;
    if (stepping < 0)
        stepping = EM_ASM_INT({ return Module.stepping ? 1 : 0; });
    if (stepping)
        waiting = {callback, value};
    else
        emscripten_async_call(fire, new Timer{callback, value}, msecs * EM_ASM_INT({ return Module.slow ? 4 : 1; }));
}

// The page sizes the canvas to its room in the window (index.html) before
// the program makes its context; 640x480 is the desktop window's size.
void glutInitWindowSize(int, int) {}

void glutIgnoreKeyRepeat(int ignore)
{
    EM_ASM({ Module.ignoreKeyRepeat = $0 != 0; }, ignore);
}

// A lost context (a GPU reset, a phone's tab in the background): WebGL's
// objects are gone; nothing is drawn until it comes back. The page says what happened.
EMSCRIPTEN_KEEPALIVE void contextLost()
{
    lost = true;
    programs[0] = programs[1] = 0;
    for (Texture& kept : textures)
        kept.id = 0;
}

// The context back: every object made again, the state the program set
// given again, and the current tick drawn.
EMSCRIPTEN_KEEPALIVE void contextRestored()
{
    lost = false;
    for (Texture& kept : textures)
        makeTexture(kept);
    emscripten_glBindTexture(GL_TEXTURE_2D, shownTexture = 0);
    for (const auto& [cap, on] : capabilities)
        (on ? emscripten_glEnable : emscripten_glDisable)(cap);
    emscripten_glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
    if (viewport[2] > 0)
        emscripten_glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    display();
}

// step(N), while stepping: N ticks at once, each followed by the program's
// display, as a frame; step(0) draws the frame again. The page reads the last
// frame in the same task (the drawing buffer is not kept after it). On a
// paused page step(1) runs the tick that waits (the page's Step).
EMSCRIPTEN_KEEPALIVE void step(int count)
{
    for (int k = 0; k < count && waiting.callback != nullptr; k++) {
        const Timer t = waiting;
        waiting.callback = nullptr;
        tick(t);
        display();
    }
    if (count <= 0)
        display();
}

// While the page is paused (Module.paused) the tick that comes due waits,
// with the state as it is; play() runs it at once. Stepping goes on.
EMSCRIPTEN_KEEPALIVE void play()
{
    if (stepping == 0 && waiting.callback != nullptr) {
        emscripten_async_call(fire, new Timer(waiting), 0);
        waiting.callback = nullptr;
    }
}

// The start's last step, in a task of the page's own after main (web/pre.js),
// so that the first frame finds the renderer set up.
EMSCRIPTEN_KEEPALIVE void prepare()
{
    if (!lost && programs[0] == 0)
        setUp();
}

// Read by the page to measure the tick and frame rates.
EMSCRIPTEN_KEEPALIVE int tickCount() { return ticks; }
EMSCRIPTEN_KEEPALIVE int frameCount() { return frames; }

}  // extern "C"
