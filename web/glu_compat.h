// The GLU and GL calls that the browser's GL emulation lacks or gets wrong,
// under names of their own: quadrics, gluLookAt and the 2-D evaluator. Written
// against plain immediate-mode GL, so they build natively too (the tests
// compare them there with Debian's libGLU and Mesa).
#ifndef GLU_COMPAT_H
#define GLU_COMPAT_H

#include <GL/gl.h>
#include <GL/glu.h>

GLUquadric* compatNewQuadric();
void compatQuadricTexture(GLUquadric* quadric, GLboolean texture);
void compatSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks);
void compatCylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height,
                    GLint slices, GLint stacks);
void compatDisk(GLUquadric* quadric, GLdouble inner, GLdouble outer, GLint slices, GLint loops);
void compatLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX,
                  GLdouble centerY, GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ);
void compatMap2f(GLenum target, GLfloat u1, GLfloat u2, GLint ustride, GLint uorder,
                 GLfloat v1, GLfloat v2, GLint vstride, GLint vorder, const GLfloat* points);
void compatEvalCoord2f(GLfloat u, GLfloat v);

#endif
