// Cost of one frame: the real `display` followed by glFinish, timed call by
// call with a steady clock, in a window of the size given on the command
// line. Prints the GL renderer, the window size, and the median and 95th
// percentile frame time, and the median CPU time of a frame: the main
// thread's (GL and GLU calls, vertex processing) and the whole process's
// (the rasteriser's worker threads included). Needs an X display whose
// screen holds the window; run it from the build directory so that start-up
// finds the textures.
//
// Usage: frame_bench WIDTH HEIGHT [FRAMES]
#include <GL/glut.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "scene.h"

// The tick run between frames re-arms itself through glutTimerFunc; with no
// main loop to fire those timers freeglut would pile them up in its sorted
// list, so the re-arm is a no-op here.
extern "C" void __wrap_glutTimerFunc(unsigned int, void (*)(int), int)
{
}

// Value at fraction q (0..1) of the sorted samples, nearest rank.
static double percentile(const std::vector<double>& sorted, double q)
{
    size_t rank = static_cast<size_t>(q * static_cast<double>(sorted.size()) + 0.999999);
    rank = std::clamp<size_t>(rank, 1, sorted.size());
    return sorted[rank - 1];
}

// CPU time used so far by `clock` (this thread, or all of this process).
static double cpuMs(clockid_t clock)
{
    timespec now;
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

// The frame as timed: the real display callback (it swaps the buffers),
// then a wait until the rasteriser has finished it.
static void drawFrame()
{
    display();
    glFinish();
}

static int positiveArg(const char* text, const char* what)
{
    const int value = std::atoi(text);
    if (value <= 0) {
        std::fprintf(stderr, "frame_bench: %s must be a positive number, got '%s'\n", what, text);
        std::exit(2);
    }
    return value;
}

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT [FRAMES]\n", argv[0]);
        return 2;
    }
    const int width = positiveArg(argv[1], "WIDTH");
    const int height = positiveArg(argv[2], "HEIGHT");
    const int frames = argc == 4 ? positiveArg(argv[3], "FRAMES") : 500;

    openWindow(width, height);
    const int shownWidth = glutGet(GLUT_WINDOW_WIDTH);
    const int shownHeight = glutGet(GLUT_WINDOW_HEIGHT);
    if (shownWidth != width || shownHeight != height) {
        std::fprintf(stderr, "frame_bench: asked for a %dx%d window, got %dx%d\n",
                     width, height, shownWidth, shownHeight);
        return 1;
    }

    // Each frame follows one standing tick, as in the running program, so
    // the bird flies and flaps and the pose moves from frame to frame. The
    // first frames compile the rasteriser's shaders; they are left out.
    const auto warmUpEnd = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    for (int i = 0; i < 30 || std::chrono::steady_clock::now() < warmUpEnd; i++) {
        timer(0);
        drawFrame();
    }

    std::vector<double> wallMs, mainCpuMs, processCpuMs;
    wallMs.reserve(frames);
    mainCpuMs.reserve(frames);
    processCpuMs.reserve(frames);
    for (int i = 0; i < frames; i++) {
        timer(0);
        const auto start = std::chrono::steady_clock::now();
        const double mainStart = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        const double processStart = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
        drawFrame();
        processCpuMs.push_back(cpuMs(CLOCK_PROCESS_CPUTIME_ID) - processStart);
        mainCpuMs.push_back(cpuMs(CLOCK_THREAD_CPUTIME_ID) - mainStart);
        wallMs.push_back(std::chrono::duration<double, std::milli>(
                             std::chrono::steady_clock::now() - start).count());
    }
    for (auto* samples : {&wallMs, &mainCpuMs, &processCpuMs})
        std::sort(samples->begin(), samples->end());

    std::printf("renderer: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    std::printf("gl_version: %s\n", reinterpret_cast<const char*>(glGetString(GL_VERSION)));
    std::printf("window: %dx%d\n", width, height);
    std::printf("frames: %d\n", frames);
    std::printf("median_ms: %.3f\n", percentile(wallMs, 0.5));
    std::printf("p95_ms: %.3f\n", percentile(wallMs, 0.95));
    std::printf("max_ms: %.3f\n", wallMs.back());
    std::printf("main_cpu_median_ms: %.3f\n", percentile(mainCpuMs, 0.5));
    std::printf("process_cpu_median_ms: %.3f\n", percentile(processCpuMs, 0.5));
    return 0;
}
