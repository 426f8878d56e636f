// LD_PRELOAD library that counts the buffer swaps (glXSwapBuffers) and the
// timer re-arms (glutTimerFunc) of an unmodified GLUT program, so that its
// frames and ticks per second can be measured from outside.
//
// Send the process SIGUSR1: at its next swap it appends one line
//     swaps=<count> ticks=<count> ns=<CLOCK_MONOTONIC of that swap>
// to the file named by SWAPCOUNT_FILE (standard error if unset). Two such
// lines some seconds apart give the rates; since both stamps are taken at a
// swap, the difference covers whole frames only.
//
// With SWAPCOUNT_STEPS naming a FIFO, the program instead draws only the
// frames it is given: after each swap it waits until the frame is on the
// screen, appends the line, and then blocks until it can read one byte from
// the FIFO. Whoever writes N bytes lets exactly N more frames through, however
// busy the machine (tools/step_shots.sh).
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

std::atomic<bool> reportAsked{false};
unsigned long long swaps = 0;   // only touched by the thread that swaps
std::atomic<unsigned long long> ticks{0};
int steps = -1;                 // the FIFO of frame permits, when stepping

// Only raises a flag: the signal may land on any of the renderer's threads,
// and the report is written by the swapping thread itself.
void askReport(int)
{
    reportAsked.store(true);
}

long long monotonicNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

void writeReport(long long ns)
{
    const char* path = std::getenv("SWAPCOUNT_FILE");
    FILE* out = path ? std::fopen(path, "a") : stderr;
    if (out == nullptr) {
        std::fprintf(stderr, "swapcount: cannot open %s\n", path);
        return;
    }
    std::fprintf(out, "swaps=%llu ticks=%llu ns=%lld\n", swaps, ticks.load(), ns);
    if (out != stderr)
        std::fclose(out);
}

template <typename F>
F nextSymbol(const char* name)
{
    void* symbol = dlsym(RTLD_NEXT, name);
    if (symbol == nullptr) {
        std::fprintf(stderr, "swapcount: no %s after this library\n", name);
        std::abort();
    }
    return reinterpret_cast<F>(symbol);
}

__attribute__((constructor)) void installHandler()
{
    struct sigaction action = {};
    action.sa_handler = askReport;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR1, &action, nullptr);
    // Opened for writing too, so that opening never waits for a writer.
    if (const char* path = std::getenv("SWAPCOUNT_STEPS"))
        steps = open(path, O_RDWR | O_CLOEXEC);
}

// Stepping: the frame on the screen and reported, then wait for a permit.
void awaitPermit(Display* display)
{
    XSync(display, False);
    writeReport(monotonicNs());
    char permit;
    while (read(steps, &permit, 1) < 0 && errno == EINTR) {
    }
}

}  // namespace

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable)
{
    using SwapFn = void (*)(Display*, GLXDrawable);
    static const SwapFn realSwap = nextSymbol<SwapFn>("glXSwapBuffers");
    ++swaps;
    if (reportAsked.exchange(false))
        writeReport(monotonicNs());
    realSwap(display, drawable);
    if (steps >= 0)
        awaitPermit(display);
}

extern "C" void glutTimerFunc(unsigned int msecs, void (*callback)(int), int value)
{
    using TimerFn = void (*)(unsigned int, void (*)(int), int);
    static const TimerFn realTimer = nextSymbol<TimerFn>("glutTimerFunc");
    ++ticks;
    realTimer(msecs, callback, value);
}
