// Runs the real animation tick without a window and prints the squirrel's
// joint angles after every tick as CSV, for the joint plot of run.sh --plot.
// Each argument is a stretch of ticks: "stand=N" (no key held) or "run=N"
// (Up held). By default six joints are printed under short column names;
// "--all" as the first argument prints all thirteen under their joint names.
// The tick's GLUT calls are wrapped at link time as no-ops.
#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "joint_names.h"
#include "scene.h"

extern "C" void __wrap_glutPostRedisplay() {}
extern "C" void __wrap_glutTimerFunc(unsigned int, void (*)(int), int) {}

// The default output's joints: tail bend, tail tip, and the left front
// shoulder and elbow, hip and knee.
static const int plotJoints[] = {0, 1, 3, 5, 8, 10};

// Parses "stand=N" or "run=N" into whether Up is held and N > 0; false if not.
static bool parseStretch(const char* arg, bool& up, long& ticks)
{
    const char* eq = std::strchr(arg, '=');
    if (eq == nullptr)
        return false;
    const size_t nameLength = static_cast<size_t>(eq - arg);
    up = nameLength == 3 && std::strncmp(arg, "run", 3) == 0;
    if (!up && !(nameLength == 5 && std::strncmp(arg, "stand", 5) == 0))
        return false;
    char* end = nullptr;
    ticks = std::strtol(eq + 1, &end, 10);
    return *end == '\0' && ticks > 0;
}

int main(int argc, char** argv)
{
    const bool all = argc > 1 && std::strcmp(argv[1], "--all") == 0;
    const int first = all ? 2 : 1;
    std::vector<bool> up(argc);
    std::vector<long> ticks(argc);
    for (int i = first; i < argc; i++) {
        bool held;
        if (!parseStretch(argv[i], held, ticks[i])) {
            std::fprintf(stderr, "usage: %s [--all] stand=N|run=N...\n", argv[0]);
            return 2;
        }
        up[i] = held;
    }
    std::vector<int> joints;
    if (all) {
        std::printf("tick,action");
        for (int j = 0; j < 13; j++) {
            joints.push_back(j);
            std::printf(",%s", jointNames[j]);
        }
        std::printf("\n");
    } else {
        joints.assign(std::begin(plotJoints), std::end(plotJoints));
        std::printf("tick,action,tail_bend,tail_tip,shoulder,elbow,hip,knee\n");
    }
    // The program's init sets the front legs' heading once before the first
    // tick, but init needs a window; set it here so that the trace starts
    // from the same pose as the program.
    squirrel.part(2) = 60.0f;
    long tick = 0;
    for (int i = first; i < argc; i++) {
        if (up[i])
            special(GLUT_KEY_UP, 0, 0);
        else
            specialUp(GLUT_KEY_UP, 0, 0);
        for (long t = 0; t < ticks[i]; t++) {
            timer(0);
            std::printf("%ld,%d", ++tick, action);
            for (int j : joints)
                std::printf(",%.4f", squirrel.part(j));
            std::printf("\n");
        }
    }
    return 0;
}
