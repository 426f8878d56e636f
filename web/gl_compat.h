// The GL and GLUT calls the browser build routes through its own layer,
// around Emscripten's legacy GL emulation: immediate mode with a current
// normal, materials, texturing, key repeat, and the tick and frame counters.
#ifndef GL_COMPAT_H
#define GL_COMPAT_H

#include <GL/gl.h>
#include <GL/glu.h>

void compatBegin(GLenum mode);
void compatEnd();
void compatVertex3f(GLfloat x, GLfloat y, GLfloat z);
void compatNormal3f(GLfloat x, GLfloat y, GLfloat z);
void compatTexCoord2f(GLfloat s, GLfloat t);
// The quadrics of web/glu_compat, each drawn with one call.
void batchedSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks);
void batchedCylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height,
                     GLint slices, GLint stacks);
void batchedDisk(GLUquadric* quadric, GLdouble inner, GLdouble outer, GLint slices, GLint loops);
void compatMaterialfv(GLenum face, GLenum name, const GLfloat* params);
void compatEnable(GLenum cap);
void compatDisable(GLenum cap);
void compatBindTexture(GLenum target, GLuint texture);
void compatTexEnvf(GLenum target, GLenum name, GLfloat param);
void compatTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                      GLsizei height, GLint border, GLenum format, GLenum type, const void* pixels);
// gluNewQuadric, failing when the page asks it to (index.html?fail=quadric).
GLUquadric* pageNewQuadric();
void compatIgnoreKeyRepeat(int ignore);
void compatTimerFunc(unsigned int msecs, void (*callback)(int), int value);
void compatSwapBuffers();

#endif
