// Scenery: the scenery quadric and the two tree textures read from raw
// 256x256 RGB files, the recursive three-way trees, and the bird's two
// Bezier-patch wings evaluated through GL's 2-D evaluator.
#include "objects.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <vector>

GLUquadric* gluq;   // scenery quadric, generates texture coordinates
GLuint texLeaves;   // texture object of "leaves.rgb"
GLuint texBark;     // texture object of "bark.rgb"

static const GLfloat black[] = {0.0f, 0.0f, 0.0f, 0.0f};
static const GLfloat bark[] = {0.4f, 0.2f, 0.0f, 0.0f};
static const GLfloat leaves[] = {0.0f, 0.4f, 0.0f, 0.0f};

static const int texSize = 256;                             // texels per side
static const size_t texPixels = texSize * texSize;          // 65,536 RGB pixels

// Reads one raw RGB image into `texture`. A file that cannot be opened, or
// is not a regular file, gets the open-failure message; a short one gets the
// short-read message and uploads nothing. Extra bytes are ignored.
static void loadTexture(const char* name, GLuint texture)
{
    std::error_code ec;
    FILE* file = nullptr;
    // A FIFO or device would block or never end; only regular files are images.
    if (std::filesystem::is_regular_file(name, ec))
        file = fopen(name, "rb");
    if (file == nullptr) {
        std::cerr << "Error loading " << name << "\n";
        return;
    }

    std::vector<unsigned char> pixels(texPixels * 3);
    if (fread(pixels.data(), 3, texPixels, file) < texPixels) {
        std::cerr << "Error reading " << name << "\n";
    } else {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, texSize, texSize, 0, GL_RGB,
                     GL_UNSIGNED_BYTE, pixels.data());
    }
    fclose(file);
}

void initObjects()
{
    gluq = gluNewQuadric();
    if (gluq == nullptr) {
        std::cerr << "Unable to create GLU quadric object.\n";
        exit(1);
    }
    gluQuadricTexture(gluq, GL_TRUE);
    glEnable(GL_TEXTURE_2D);
    glGenTextures(1, &texLeaves);
    glGenTextures(1, &texBark);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    loadTexture("leaves.rgb", texLeaves);
    loadTexture("bark.rgb", texBark);
}

// A branch along +z from the origin with everything growing from it, or a
// leaf sphere when depth is negative. Children sit at the branch's top end,
// turned 0/120/240 degrees about it and tilted 30 degrees off it; a twig
// (depth 0) carries just one leaf.
void treeFractal(int depth, float radius, float length)
{
    if (depth < 0) {
        glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, leaves);
        glBindTexture(GL_TEXTURE_2D, texLeaves);
        gluSphere(gluq, 0.85 * length, 5, 5);
        glBindTexture(GL_TEXTURE_2D, 0);
        return;
    }

    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, bark);
    glBindTexture(GL_TEXTURE_2D, texBark);
    gluCylinder(gluq, radius, 0.9 * radius, length, 5, 1);
    glBindTexture(GL_TEXTURE_2D, 0);

    for (int i = 0; i < 3; i++) {
        glPushMatrix();
            glTranslatef(0.0f, 0.0f, length);
            glRotatef(i * 360 / 3, 0.0f, 0.0f, 1.0f);
            glRotatef(30.0f, 0.0f, 1.0f, 0.0f);
            treeFractal(depth - 1, 0.9 * radius, 0.9 * length);
        glPopMatrix();
        if (depth - 1 < 0)
            break;
    }
}

void tree(float x, float z)
{
    glPushMatrix();
        glTranslatef(x, 0.0f, z);
        glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);   // cylinders grow up
        treeFractal(2, 0.4f, 2.0f);
    glPopMatrix();
}

// One wing as 5x5 quads through the current 2-D evaluator map, v (root to
// tip) in the outer loop and u (across the chord) in the inner loop.
static void wingSurface()
{
    glBegin(GL_QUADS);
    for (int r = 0; r < 5; r++) {
        for (int k = 0; k < 5; k++) {
            const float u0 = static_cast<float>(k) / 5.0f;
            const float u1 = static_cast<float>(k + 1) / 5.0f;
            const float v0 = static_cast<float>(r) / 5.0f;
            const float v1 = static_cast<float>(r + 1) / 5.0f;
            glEvalCoord2f(u0, v0);
            glEvalCoord2f(u1, v0);
            glEvalCoord2f(u1, v1);
            glEvalCoord2f(u0, v1);
        }
    }
    glEnd();
}

void bird(float flapAmount)
{
    const double a = flapAmount;
    const float rowX[4] = {0.0f, 0.33f, 0.66f, 1.0f};   // root to tip
    const float rowY[4] = {0.0f, static_cast<float>(0.5 * a + 0.1),
                           static_cast<float>(0.2 * a), static_cast<float>(-0.5 * a)};
    const float chordZ[4] = {1.0f, 0.66f, 0.33f, 0.0f}; // trailing to leading edge

    GLfloat net[48];
    for (int j = 0; j < 4; j++) {
        for (int i = 0; i < 4; i++) {
            GLfloat* point = &net[3 * i + 12 * j];
            point[0] = rowX[j];
            point[1] = rowY[j];
            point[2] = (j == 3) ? 0.0f : chordZ[i];   // the tip is one point
        }
    }
    glMap2f(GL_MAP2_VERTEX_3, 0.0f, 1.0f, 3, 4, 0.0f, 1.0f, 12, 4, net);
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, black);

    glPushMatrix();
        wingSurface();                  // right wing, towards +x
        glScalef(-1.0f, 1.0f, 1.0f);    // mirror across x = 0
        wingSurface();                  // left wing
    glPopMatrix();
}
