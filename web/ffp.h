// The page's own fixed-function pipeline, on the CPU: OpenGL 1.1's matrix
// stacks, lighting with light 0, materials, texturing state, immediate mode,
// GLU's quadrics, gluPerspective and gluLookAt, and the 2-D evaluator. Each
// vertex leaves lit, in world coordinates (the frame carries the camera); a
// frame's vertices collect in one array, with one triangle list per texture.
// Nothing here calls GL: web/ffp_webgl.cpp draws the frame, the native tests
// compare it with Mesa.
#ifndef FFP_H
#define FFP_H

#include <GL/gl.h>

#include <vector>

namespace ffp {

// One vertex as the page draws it.
struct Vertex {
    float position[3];   // after the model-view's transforms since the last gluLookAt
                         // (all affine), so that what stands still in the world keeps them
    float color[4];      // lit RGBA, clamped to [0, 1]
    float texCoord[2];
};

// The triangles drawn with one texture (0: untextured), as indices into
// Frame::vertices, in the order they were given.
struct Batch {
    GLuint texture;
    std::vector<GLushort> indices;
};

struct Frame {
    float camera[16] = {};          // clip coordinates from positions: the projection times the
                                    // model-view as gluLookAt left it (column-major)
    std::vector<Vertex> vertices;   // in the order the program gave them
    std::vector<Batch> batches;     // in the order their textures first came up
};

// Receives the frame at finish(), and earlier whenever its vertices would
// outgrow 16-bit indices or the camera changes.
using Sink = void (*)(const Frame& frame);
void setSink(Sink sink);
void finish();   // hands the frame to the sink and starts the next one

struct Quadric {
    bool texture = false;   // emit texture coordinates
};

// OpenGL 1.1, with its semantics, for the calls and values the program uses.
// enable() returns false for a capability that is not the pipeline's own (the
// caller hands it on, e.g. GL_DEPTH_TEST).
bool enable(GLenum cap, bool on);
void matrixMode(GLenum mode);
void loadIdentity();
void pushMatrix();
void popMatrix();
void translate(GLfloat x, GLfloat y, GLfloat z);
void rotate(GLfloat angle, GLfloat x, GLfloat y, GLfloat z);
void scale(GLfloat x, GLfloat y, GLfloat z);
void light(GLenum light, GLenum name, const GLfloat* params);
void material(GLenum face, GLenum name, const GLfloat* params);
void bindTexture(GLuint texture);
void textureImage(GLint level);   // the bound texture was given an image
void begin(GLenum mode);
void end();
void vertex(GLfloat x, GLfloat y, GLfloat z);
void normal(GLfloat x, GLfloat y, GLfloat z);
void texCoord(GLfloat s, GLfloat t);
void map2(GLenum target, GLfloat u1, GLfloat u2, GLint ustride, GLint uorder, GLfloat v1,
          GLfloat v2, GLint vstride, GLint vorder, const GLfloat* points);
void evalCoord2(GLfloat u, GLfloat v);

// GLU.
void sphere(const Quadric& quadric, double radius, int slices, int stacks);
void cylinder(const Quadric& quadric, double base, double top, double height, int slices, int stacks);
void disk(const Quadric& quadric, double inner, double outer, int slices, int loops);
void perspective(double fovy, double aspect, double zNear, double zFar);
void lookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
            double upX, double upY, double upZ);

}  // namespace ffp

#endif
