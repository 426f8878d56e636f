// Squirrel: a jointed squirrel runs among eleven textured fractal trees on a
// green ground while a black bird with flapping Bezier wings circles overhead.
// The camera follows the squirrel at 9 to 10 units.
//
// Controls: Up / Down move the squirrel forward / backward, Left / Right turn
// it (its tail swings out while it turns). Reads "leaves.rgb" and "bark.rgb"
// (raw 256x256 RGB) from the working directory.
//
// This unit holds the window set-up, the GLUT callbacks, the scene globals,
// the 10 ms animation tick with its pose blending, and the Catmull-Rom curves.
#include <GL/glut.h>

#include <cmath>
#include <iostream>  // before `squirrel`: its constructor may report on std::cerr

#include "objects.h"
#include "squirrel.h"

Squirrel squirrel;      // the one squirrel: joint angles and quadric

bool arrows[4];         // held arrow keys: up, right, down, left

float position[3] = {0.0f, 2.75f, 5.0f};  // camera eye point
float spos[3] = {0.0f, 0.0f, 0.0f};       // squirrel position on the ground
float srot[3] = {0.0f, 0.0f, 0.0f};       // squirrel rotation about x, y, z (degrees)
float bpos[3] = {0.0f, 8.0f, 0.0f};       // bird position, height 8
float brot = 0.0f;                        // bird heading (degrees)
float flap = 0.0f;                        // wing phase, sawtooth in [-1, 1]
int action = 0;   // locomotion: 0 standing, 1 starting, 2 running, 3 stopping

// Ground position (x, z) of each tree (extern: a constant visible to other units).
extern const float trees[11][2] = {
    {3.0f, 0.0f},   {10.0f, 2.0f},  {34.0f, 6.0f},  {32.0f, 1.0f},
    {9.0f, 30.0f},  {3.0f, 20.0f},  {2.0f, 10.0f},  {30.0f, 24.0f},
    {15.0f, 15.0f}, {12.0f, 10.0f}, {18.0f, 26.0f},
};

// Keyframes of the standing and running cycles (degrees), six curves each.
float animation[32] = {
    -30, -30, -30, -30, -30, 0, -30, 0,   // standing: tail bend (joint 0)
    50, -10, 50, -20,                     // standing: tail tip (joint 1)
    0, 0, 0, 0,                           // standing: legs still
    -15, 0, -12, 0,                       // running: tail bend
    12, 0, 15, 0,                         // running: tail tip
    30, 86, 30, 20, 80, -40, 30, 50,      // running: shoulder, elbow, hip, knee
};
// Curve k of a cycle runs from animation[I[k]] up to animation[I[k + 1]].
int standIndex[7] = {0, 8, 12, 13, 14, 15, 16};
int runIndex[7] = {16, 20, 24, 26, 28, 30, 32};
// Curve driving each joint 0..11; -1 for joints the pose step leaves alone.
int jointCurve[12] = {0, 1, -1, 2, 2, 3, 3, -1, 4, 4, 5, 5};

static const double pi = 3.141592653589793;

// Uniform Catmull-Rom segment from p1 (t = 0) to p2 (t = 1), evaluated in
// double precision.
float catmullRom(float p0, float p1, float p2, float p3, float t)
{
    const double a = p0, b = p1, c = p2, d = p3, s = t;
    double sum = (b + b) + (-1.0 * a + c) * s;
    sum += (((2.0 * a - 5.0 * b) + 4.0 * c) - d) * s * s;
    sum += ((((-1.0 * a) + 3.0 * b) - 3.0 * c) + d) * s * s * s;
    return static_cast<float>(0.5 * sum);
}

// Closed Catmull-Rom curve through v[0..n-1], one loop per unit of t; at
// t = 0 it passes v[1 % n].
float catmullRomSpline(float* v, int n, float t)
{
    const double x = n * static_cast<double>(t);
    const int i = static_cast<int>(x);
    const float u = static_cast<float>(x - i);
    return catmullRom(v[i % n], v[(i + 1) % n], v[(i + 2) % n], v[(i + 3) % n], u);
}

// Curve k of the cycle with index table `index`, sampled at phase t.
static float sampleCurve(const int* index, int k, float t)
{
    return catmullRomSpline(&animation[index[k]], index[k + 1] - index[k], t);
}

// Right and left limbs of a pair run half a cycle apart.
static bool oppositePhase(int joint)
{
    return joint == 4 || joint == 6 || joint == 9 || joint == 11;
}

// Sets joints 0, 1, 3-6 and 8-11 from the standing or running cycle, or
// blends between the two over ten ticks while `action` is 1 or 3, and moves
// `action` on when a blend ends.
static void poseStep()
{
    static float val = 0.0f;                 // cycle phase, or blend parameter
    static float increment = 0.02f;          // added to val on the next tick
    static float inc[2] = {0.0006f, 0.02f};  // phase step: standing, running
    static int lastAction = action;          // action at the end of the last tick
    static float midPoints[13][4];           // per joint, the blend's control values

    val += increment;
    if (val > 1.0f)
        val -= 1.0f;
    float h = val + 0.5f;                    // opposite phase
    if (h > 1.0f)
        h -= 1.0f;

    const int* cycle;
    if (action == 0) {
        increment = inc[0];
        cycle = standIndex;
    } else if (action == 2) {
        increment = inc[1];
        cycle = runIndex;
    } else {
        if (lastAction == 0 || lastAction == 2) {
            // First tick of a transition: bridge from the pose now shown to
            // the start of the other cycle.
            const int* source = (action == 1) ? standIndex : runIndex;
            const int* target = (action == 1) ? runIndex : standIndex;
            for (int j = 0; j < 12; j++) {
                const int k = jointCurve[j];
                if (k < 0)
                    continue;
                const float p = oppositePhase(j) ? h : val;
                const float o = oppositePhase(j) ? 0.5f : 0.0f;
                midPoints[j][0] = sampleCurve(source, k, p - inc[0]);
                midPoints[j][1] = sampleCurve(source, k, p);
                midPoints[j][2] = sampleCurve(target, k, o);
                midPoints[j][3] = sampleCurve(target, k, inc[1] + o);
            }
            val = 0.0f;
        }
        for (int j = 0; j < 12; j++) {
            if (jointCurve[j] < 0)
                continue;
            const float* m = midPoints[j];
            squirrel.part(j) = catmullRom(m[0], m[1], m[2], m[3], val);
        }
        increment = 0.1f;
        if (static_cast<double>(val) + increment > 1.0) {
            action = (action == 1) ? 2 : 0;
            val = 0.0f;
        }
        lastAction = action;
        return;
    }
    lastAction = action;

    for (int j = 0; j < 12; j++) {
        const int k = jointCurve[j];
        if (k >= 0)
            squirrel.part(j) = sampleCurve(cycle, k, oppositePhase(j) ? h : val);
    }
}

// Step of length 0.1 along a heading in degrees: x += stepX, z -= stepZ.
static void headingStep(float heading, float& stepX, float& stepZ)
{
    const double step = 0.1f;
    // The angle is rounded to single precision; sin and cos run in double.
    const double angle = static_cast<float>(-heading * pi / 180.0);
    stepX = static_cast<float>(step * std::sin(angle));
    stepZ = static_cast<float>(step * std::cos(angle));
}

// Moves the camera's x and z so that it is `dist` from the squirrel.
static void keepDistance(const float d[3], double distSq, double dist)
{
    for (int k = 0; k < 3; k += 2)
        position[k] = static_cast<float>(position[k] - d[k] * (1.0 - dist / std::sqrt(distSq)));
}

void display()
{
    static const GLfloat lightPos[] = {10.0f, 10.0f, 10.0f, 0.0f};
    static const GLfloat ground[] = {0.0f, 0.4f, 0.0f, 0.0f};

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
        glLoadIdentity();
        gluLookAt(position[0], position[1], position[2],
                  spos[0], position[1], spos[2],
                  0.0, 1.0, 0.0);
        glLightfv(GL_LIGHT0, GL_POSITION, lightPos);

        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, ground);
        glNormal3f(0.0f, 1.0f, 0.0f);
        glBegin(GL_QUADS);
            glVertex3f(-40.0f, 0.0f, -40.0f);
            glVertex3f(40.0f, 0.0f, -40.0f);
            glVertex3f(40.0f, 0.0f, 100.0f);
            glVertex3f(-40.0f, 0.0f, 100.0f);
        glEnd();

        for (int i = 0; i < 11; i++)
            tree(trees[i][0], trees[i][1]);

        glPushMatrix();
            glTranslatef(bpos[0], bpos[1], bpos[2]);
            glRotatef(brot, 0.0f, 1.0f, 0.0f);
            bird(std::fabs(flap));
        glPopMatrix();

        glTranslatef(spos[0], spos[1], spos[2]);
        glRotatef(srot[0], 1.0f, 0.0f, 0.0f);
        glRotatef(srot[1], 0.0f, 1.0f, 0.0f);
        glRotatef(srot[2], 0.0f, 0.0f, 1.0f);
        squirrel.draw();
    glPopMatrix();
    glutSwapBuffers();
}

void reshape(int w, int h)
{
    if (h == 0)
        h = 1;
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, static_cast<double>(w) / static_cast<double>(h), 0.01f, 100.0);
    glMatrixMode(GL_MODELVIEW);
}

// Index into `arrows` of a GLUT special-key code, or -1 for other keys.
static int arrowIndex(int key)
{
    switch (key) {
    case GLUT_KEY_UP: return 0;
    case GLUT_KEY_RIGHT: return 1;
    case GLUT_KEY_DOWN: return 2;
    case GLUT_KEY_LEFT: return 3;
    default: return -1;
    }
}

void special(int key, int, int)
{
    const int i = arrowIndex(key);
    if (i >= 0)
        arrows[i] = true;
}

void specialUp(int key, int, int)
{
    const int i = arrowIndex(key);
    if (i >= 0)
        arrows[i] = false;
}

// One animation tick: move and turn the squirrel, fly the bird, swing the
// tail, run the locomotion state machine and the pose step, keep the
// squirrel out of the trunks and the camera 9 to 10 units away.
void timer(int)
{
    const float startPos[3] = {spos[0], spos[1], spos[2]};
    const double turn = 45 * static_cast<double>(0.1f);   // degrees per tick

    float stepX, stepZ;
    headingStep(srot[1], stepX, stepZ);
    if (arrows[0]) {
        spos[0] += stepX;
        spos[2] -= stepZ;
    }
    if (arrows[2]) {
        spos[0] -= stepX;
        spos[2] += stepZ;
    }
    if (arrows[1])
        srot[1] = static_cast<float>(srot[1] - turn);
    if (arrows[3])
        srot[1] = static_cast<float>(srot[1] + turn);

    headingStep(brot, stepX, stepZ);
    bpos[0] += stepX;
    bpos[2] -= stepZ;
    flap += 0.05f;
    if (flap > 1.0f)
        flap = -1.0f;
    // Inside a radius of 30 the bird circles slowly; outside it turns back.
    if (static_cast<double>(bpos[0]) * bpos[0] + static_cast<double>(bpos[2]) * bpos[2] > 900.0)
        brot += 3.0f;
    else
        brot -= 0.1f;
    if (brot > 360.0f)
        brot -= 360.0f;
    else if (brot < 0.0f)
        brot += 360.0f;

    // The tail swings out while turning and relaxes, faster from the other side.
    float& tail = squirrel.part(12);
    if ((arrows[1] && tail < 0.0f) || (arrows[3] && tail > 0.0f))
        tail *= 0.85f;
    else
        tail *= 0.9f;
    if (arrows[1])
        tail += 3.0f;
    if (arrows[3])
        tail -= 3.0f;

    const bool moving = arrows[0] || arrows[2];
    if (moving && action == 0)
        action = 1;
    if (!moving && action == 2)
        action = 3;

    poseStep();

    // A step that ends in a trunk's band is undone; later trees see the
    // restored position.
    for (int i = 0; i < 11; i++) {
        const float dx = spos[0] - trees[i][0];
        const float dz = spos[2] - trees[i][1];
        const float distSq = static_cast<float>(static_cast<double>(dx) * dx +
                                                static_cast<double>(dz) * dz);
        if (distSq < 1.0f && distSq >= 0.1f) {
            for (int k = 0; k < 3; k++)
                spos[k] = startPos[k];
        }
    }

    float d[3];
    for (int k = 0; k < 3; k++)
        d[k] = position[k] - spos[k];
    const float distSq = static_cast<float>(static_cast<double>(d[0]) * d[0] +
                                            static_cast<double>(d[1]) * d[1] +
                                            static_cast<double>(d[2]) * d[2]);
    if (distSq > 100.0f)
        keepDistance(d, distSq, 10.0);
    else if (distSq < 81.0f)
        keepDistance(d, distSq, 9.0);

    glutPostRedisplay();
    glutTimerFunc(10, timer, 0);
}

void init()
{
    static const GLfloat diffuse[] = {1.0f, 1.0f, 1.0f, 0.0f};
    static const GLfloat ambient[] = {0.3f, 0.3f, 0.3f, 0.0f};

    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_MAP2_VERTEX_3);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    squirrel.part(2) = 60.0f;   // front legs raised 60 degrees forward of sideways
    initObjects();
}

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(640, 480);
    glutCreateWindow(argv[0]);
    init();
    glutIgnoreKeyRepeat(1);
    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutTimerFunc(0, timer, 0);
    glutSpecialFunc(special);
    glutSpecialUpFunc(specialUp);
    glutMainLoop();
    return 0;
}
