// The squirrel: its thirteen joint angles and the GLU quadric it is drawn
// with. One global instance lives in main.cpp; drawing is in squirrel.cpp.
#ifndef SQUIRREL_H
#define SQUIRREL_H

#include <GL/glu.h>

class Squirrel {
public:
    Squirrel();

    // Joint angle i (0..12) in degrees, for reading and writing; no range check.
    float& part(int i) { return parts[i]; }

    // Emits the whole squirrel at the current modelview matrix.
    void draw();

private:
    GLUquadric* quadric;  // shared by every primitive of the model
    float parts[13];      // joint angles, degrees
};

#endif
