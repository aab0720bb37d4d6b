// Starts a program and reports, in milliseconds from its start, when its first
// top-level window was mapped and (with --file) when it first opened that file,
// then its resident size, and ends it with SIGTERM. Run on an X display with a
// window manager: the map of the frame the manager puts around the window counts.
//
//   map_timer [--file PATH] -- program args...
//   prints: mapped_ms=… opened_ms=… rss_kb=…
#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool holdsOpen(pid_t pid, const std::filesystem::path& file) {
    std::error_code ec;
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& fd : std::filesystem::directory_iterator(fds, ec)) {
        std::error_code linkError;
        if (std::filesystem::read_symlink(fd.path(), linkError) == file)
            return true;
    }
    return false;
}

long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

[[noreturn]] void die(const char* what) {
    std::fprintf(stderr, "map_timer: %s\n", what);
    std::exit(2);
}

} // namespace

int main(int argc, char* argv[]) {
    std::optional<std::filesystem::path> file;
    int first = 1;
    for (; first < argc && std::strcmp(argv[first], "--") != 0; ++first)
        if (std::strcmp(argv[first], "--file") == 0 && first + 1 < argc)
            file = argv[++first];
    if (++first >= argc)
        die("usage: map_timer [--file PATH] -- program args...");

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x))
        die("no X display");
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    // A round trip, so the selection is in force before the program starts.
    free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));

    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[first], argv + first);
        _exit(127);
    }
    double mapped = -1, opened = -1;
    const double deadline = 30000;
    pollfd watch{xcb_get_file_descriptor(x), POLLIN, 0};
    while ((mapped < 0 || (file && opened < 0)) && msSince(start) < deadline) {
        poll(&watch, 1, 1);
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY && mapped < 0 &&
                !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect)
                mapped = msSince(start);
            free(event);
        }
        // Looked for only once the window is up: scanning the program's files
        // every millisecond would take a core from the start-up being timed.
        // (The program opens no file to play before its window is shown.)
        if (file && mapped >= 0 && opened < 0 && holdsOpen(child, *file))
            opened = msSince(start);
        if (waitpid(child, nullptr, WNOHANG) == child)
            die("the program ended before it was measured");
    }
    const long rss = residentKb(child);
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    xcb_disconnect(x);
    if (mapped < 0 || (file && opened < 0))
        die("timed out");
    std::printf("mapped_ms=%.1f opened_ms=%.1f rss_kb=%ld\n", mapped, opened, rss);
    return 0;
}
