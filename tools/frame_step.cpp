// Lets a stopped X program draw a given number of frames into its window and
// stops it again, for run.sh --record: the real program then advances exactly
// that many ticks per recorded frame however busy the machine is. Frames are
// counted with the X DAMAGE extension, one report per buffer swap.
//
// Usage: frame_step WINDOW PID FRAMES
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s WINDOW PID FRAMES\n", argv[0]);
        return 2;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    const pid_t pid = static_cast<pid_t>(std::atol(argv[2]));
    const int frames = std::atoi(argv[3]);

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "frame_step: cannot open the X display\n");
        return 1;
    }
    int eventBase, errorBase;
    if (!XDamageQueryExtension(display, &eventBase, &errorBase)) {
        std::fprintf(stderr, "frame_step: the X server has no DAMAGE extension\n");
        return 1;
    }
    const Damage damage = XDamageCreate(display, window, XDamageReportRawRectangles);
    // A new damage object first reports the whole window; that is no frame.
    XSync(display, False);
    XEvent event;
    while (XPending(display))
        XNextEvent(display, &event);

    if (kill(pid, SIGCONT) != 0) {
        std::perror("frame_step: cannot continue the program");
        return 1;
    }
    for (int seen = 0; seen < frames;) {
        XNextEvent(display, &event);
        if (event.type == eventBase + XDamageNotify)
            seen++;
    }
    kill(pid, SIGSTOP);
    XDamageDestroy(display, damage);
    XCloseDisplay(display);
    return 0;
}
