// Force-included into the program's sources (and web/glu_compat.cpp) in the
// browser build only: maps the GLU, GL and GLUT calls that Emscripten's
// legacy GL emulation lacks or handles differently onto web/'s own layer.
#ifndef WEB_COMPAT_H
#define WEB_COMPAT_H

#include <GL/glut.h>

#include "gl_compat.h"
#include "glu_compat.h"

#define gluNewQuadric pageNewQuadric
#define gluQuadricTexture compatQuadricTexture
#define gluSphere batchedSphere
#define gluCylinder batchedCylinder
#define gluDisk batchedDisk
#define gluLookAt compatLookAt
#define glMap2f compatMap2f
#define glEvalCoord2f compatEvalCoord2f

#define glBegin compatBegin
#define glEnd compatEnd
#define glVertex3f compatVertex3f
#define glNormal3f compatNormal3f
#define glTexCoord2f compatTexCoord2f
#define glMaterialfv compatMaterialfv
#define glEnable compatEnable
#define glDisable compatDisable
#define glBindTexture compatBindTexture
#define glTexEnvf compatTexEnvf
#define glTexImage2D compatTexImage2D

#define glutIgnoreKeyRepeat compatIgnoreKeyRepeat
#define glutTimerFunc compatTimerFunc
#define glutSwapBuffers compatSwapBuffers

#endif
