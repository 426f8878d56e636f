// Draws the program's icon picture: the standing squirrel, seen close up by
// the program's own `display`, in a square window on the X display. Writes
// the frame as a binary PPM. Run it from a folder that holds the texture
// files; tools/make_icons.sh turns its output into the icons of every size.
//
// Usage: make_icon SIZE FILE.ppm
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "scene.h"

// display's buffer swap does nothing here, so that the frame stays in the
// back buffer to be read.
extern "C" void __wrap_glutSwapBuffers() {}

static int size;          // the picture's width and height, pixels
static const char* file;  // where the PPM goes

// Once the window is on the screen: poses the squirrel, draws the frame,
// writes it and ends. The ticks run here, so none of the timers they arm
// ever fires.
static void drawAndSave()
{
    // Standing for 60 ticks: the tail has curled up behind the back.
    for (int tick = 0; tick < 60; tick++)
        timer(0);

    // Close up from in front and to the squirrel's lit right side; display
    // looks level from the camera toward the squirrel.
    position[0] = 2.2f;
    position[1] = 1.3f;
    position[2] = -3.0f;

    display();
    glFinish();
    std::vector<unsigned char> pixels(static_cast<size_t>(size) * size * 3);
    glReadBuffer(GL_BACK);   // glutSwapBuffers is left out at link time
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size, size, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());

    std::FILE* out = std::fopen(file, "wb");
    if (out == nullptr) {
        std::perror(file);
        std::exit(1);
    }
    std::fprintf(out, "P6\n%d %d\n255\n", size, size);
    for (int row = size - 1; row >= 0; row--)   // GL's rows run bottom to top
        std::fwrite(&pixels[static_cast<size_t>(row) * size * 3], 1, static_cast<size_t>(size) * 3, out);
    std::exit(std::fclose(out) == 0 ? 0 : 1);
}

int main(int argc, char** argv)
{
    size = argc == 3 ? std::atoi(argv[1]) : 0;
    file = argc == 3 ? argv[2] : nullptr;
    if (size < 16) {
        std::fprintf(stderr, "usage: %s SIZE FILE.ppm\n", argv[0]);
        return 2;
    }
    openWindow(size, size);

    glutDisplayFunc(drawAndSave);
    glutMainLoop();
    return 1;
}
