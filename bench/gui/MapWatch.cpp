// morvex-bench-mapwatch PROGRAM [ARGUMENT...]
// Starts PROGRAM and prints the milliseconds from the start to the X server mapping its first
// top-level window, then ends it with SIGTERM. The connection is made before the start, so only
// the program's own work is timed. Exit status 1 when no window appears within 20 seconds.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kGiveUpMs = 20000;

struct Connection {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    ~Connection() { xcb_disconnect(connection); }
};

// Every map of a window whose parent is the root reaches us as a MapNotify.
void watchRoot(xcb_connection_t* connection) {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
}

bool waitForMap(xcb_connection_t* connection, Clock::time_point start) {
    pollfd waiting{xcb_get_file_descriptor(connection), POLLIN, 0};
    while (Clock::now() - start < std::chrono::milliseconds(kGiveUpMs)) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            std::free(event);
            if (mapped)
                return true;
        }
        if (xcb_connection_has_error(connection))
            return false;
        poll(&waiting, 1, 100);
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: morvex-bench-mapwatch PROGRAM [ARGUMENT...]\n", stderr);
        return 2;
    }
    Connection x;
    if (xcb_connection_has_error(x.connection)) {
        std::fputs("morvex-bench-mapwatch: no X display\n", stderr);
        return 2;
    }
    watchRoot(x.connection);
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    const bool mapped = waitForMap(x.connection, start);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    if (!mapped)
        return 1;
    std::printf("%.1f\n", ms);
    return 0;
}
