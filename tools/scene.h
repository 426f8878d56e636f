// The main unit's globals and callbacks (the program itself has no header
// for them), for the tools, benchmarks and tests linked with the program's
// units, and a real GLUT window to run them in.
#ifndef SCENE_H
#define SCENE_H

#include <GL/glut.h>

#include "objects.h"
#include "squirrel.h"

extern Squirrel squirrel;
extern bool arrows[4];
extern float position[3], spos[3], srot[3], bpos[3];
extern float brot, flap;
extern int action;
extern GLUquadric* gluq;
extern GLuint texLeaves, texBark;

float catmullRom(float p0, float p1, float p2, float p3, float t);
float catmullRomSpline(float* v, int n, float t);
void display();
void reshape(int w, int h);
void special(int key, int x, int y);
void specialUp(int key, int x, int y);
void timer(int value);
void init();
void treeFractal(int depth, float radius, float length);

// Opens one GLUT window of w x h on the test run's X display, makes its GL
// context current and, unless told otherwise, runs the program's `init` and
// `reshape` on it, as the program's own start-up does. Later calls do nothing.
inline void openWindow(int w = 640, int h = 480, bool runInit = true)
{
    static bool opened = false;
    if (opened)
        return;
    opened = true;
    static char name[] = "scene-test";
    static char* argv[] = {name, nullptr};
    int argc = 1;
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(w, h);
    glutCreateWindow(name);
    if (runInit)
        init();
    reshape(w, h);
}

#endif
