// The squirrel's construction and its hierarchical drawing from GLU
// spheres, cylinders and one disk, posed by the thirteen joint angles.
//
// Model frame (after the first rotation): +z up, +y forward, +x the
// squirrel's right. Cylinders grow along the local +z axis.
#include "squirrel.h"

#include <GL/gl.h>

#include <cstdlib>
#include <iostream>

Squirrel::Squirrel()
{
    quadric = gluNewQuadric();
    if (quadric == nullptr) {
        std::cerr << "Unable to create GLU quadric object.\n";
        exit(1);
    }
    for (int i = 0; i < 13; i++)
        parts[i] = 0.0f;
}

// Two-segment leg hanging from the current origin: upper joint and segment,
// the middle joint turned by `bend` degrees about (axisX, axisY, 0), lower
// segment and the foot.
static void limb(GLUquadric* q, float bend, float axisX, float axisY)
{
    gluSphere(q, 0.1, 16, 16);
    gluCylinder(q, 0.1, 0.1, 0.3, 16, 2);
    glTranslatef(0.0f, 0.0f, 0.3f);
    glRotatef(bend, axisX, axisY, 0.0f);
    gluSphere(q, 0.1, 16, 16);
    gluCylinder(q, 0.1, 0.1, 0.4, 16, 2);
    glTranslatef(0.0f, 0.0f, 0.4f);
    gluSphere(q, 0.2, 16, 16);
}

// One tail segment: bend about x, swing about y, joint sphere, tapered
// cylinder, then on to the segment's far end.
static void tailSegment(GLUquadric* q, float bend, float swing, double jointRadius,
                        double baseRadius, double topRadius, double height)
{
    glRotatef(bend, 1.0f, 0.0f, 0.0f);
    glRotatef(swing, 0.0f, 1.0f, 0.0f);
    gluSphere(q, jointRadius, 16, 16);
    gluCylinder(q, baseRadius, topRadius, height, 16, 2);
    glTranslatef(0.0f, 0.0f, static_cast<float>(height));
}

// A sphere at (x, y, 0) of the current frame, on a matrix level of its own.
static void sphereAt(GLUquadric* q, float x, float y, double radius)
{
    glPushMatrix();
        glTranslatef(x, y, 0.0f);
        gluSphere(q, radius, 16, 16);
    glPopMatrix();
}

void Squirrel::draw()
{
    const GLfloat fur[] = {0.3f, 0.1f, 0.0f, 1.0f};
    const GLfloat eyes[] = {0.0f, 0.0f, 0.0f, 0.0f};

    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, fur);
    glPushMatrix();
        glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);       // model frame: +z up, +y forward
        glTranslatef(0.0f, 0.0f, 1.2f);
        gluSphere(quadric, 0.5, 16, 16);            // haunch

        glPushMatrix();                             // right hind leg
            glTranslatef(0.3536f, 0.0f, -0.35361f);
            glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
            glRotatef(parts[7], 0.0f, 1.0f, 0.0f);
            glRotatef(parts[9], 1.0f, 0.0f, 0.0f);
            limb(quadric, -parts[11], 1.0f, 0.0f);
        glPopMatrix();

        glPushMatrix();                             // left hind leg
            glTranslatef(-0.3536f, 0.0f, -0.35361f);
            glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
            glRotatef(-parts[7], 0.0f, 1.0f, 0.0f);
            glRotatef(parts[8], 1.0f, 0.0f, 0.0f);
            limb(quadric, -parts[10], 1.0f, 0.0f);
        glPopMatrix();

        glPushMatrix();                             // tail, from the back of the haunch
            glTranslatef(0.0f, -0.3536f, -0.3536f);
            tailSegment(quadric, parts[0] + 90.0f, parts[12], 0.1, 0.1, 0.3, 0.7);
            tailSegment(quadric, parts[0], parts[12], 0.3, 0.3, 0.4, 0.7);
            tailSegment(quadric, parts[0], parts[12], 0.4, 0.4, 0.4, 1.0);
            tailSegment(quadric, parts[1], parts[12], 0.4, 0.4, 0.3, 0.7);
            gluSphere(quadric, 0.3, 16, 16);        // tail tip
        glPopMatrix();

        gluCylinder(quadric, 0.5, 0.5, 1.0, 16, 2); // body

        glPushMatrix();                             // right front leg
            glTranslatef(0.5f, 0.0f, 0.5f);
            glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
            glRotatef(-parts[2], 1.0f, 0.0f, 0.0f);
            glRotatef(90.0f - parts[4], 0.0f, 1.0f, 0.0f);
            limb(quadric, -parts[6], 0.0f, 1.0f);
        glPopMatrix();

        glPushMatrix();                             // left front leg
            glTranslatef(-0.5f, 0.0f, 0.5f);
            glRotatef(-90.0f, 0.0f, 1.0f, 0.0f);
            glRotatef(-parts[2], 1.0f, 0.0f, 0.0f);
            glRotatef(parts[3] - 90.0f, 0.0f, 1.0f, 0.0f);
            limb(quadric, parts[5], 0.0f, 1.0f);
        glPopMatrix();

        glTranslatef(0.0f, 0.0f, 1.0f);             // top of the body
        gluDisk(quadric, 0.0, 0.5, 16, 1);          // head top
        sphereAt(quadric, 0.3f, 0.0f, 0.2);         // right ear
        sphereAt(quadric, -0.3f, 0.0f, 0.2);        // left ear

        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, eyes);
        glTranslatef(0.0f, 0.0f, -0.3f);            // eye level, 0.3 below the top
        sphereAt(quadric, 0.1f, 0.4f, 0.1);         // right eye
        sphereAt(quadric, -0.1f, 0.4f, 0.1);        // left eye
    glPopMatrix();
}
