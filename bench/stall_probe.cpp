// Measures from outside how long a window stops answering: it sends the window
// _NET_WM_PING messages, one after the other, which only the program's GUI
// thread answers, for the seconds given, and prints the longest and the median
// round trip in milliseconds.
//
// A virtual machine stops now and then (seen here: 40-120 ms, every few
// seconds, mostly both cores at once), and no program answers then. Watcher
// threads of the highest real-time priority, one on each core, waking every
// millisecond, see those pauses; each trip less the time a core was paused
// during it is the window's own stall (own_ms). Without the right to that
// priority the watchers run as ordinary threads, and machine_ms may include
// waits for a core.
//
//   stall_probe WINDOW SECONDS
//   prints: longest_ms=… own_ms=… machine_ms=… median_ms=… pings=…
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

xcb_atom_t atom(xcb_connection_t* x, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

struct Span {
    Clock::time_point from, to;
};

// The machine's pauses: the spans over which a thread that sleeps a
// millisecond at a time woke more than kPauseMs late, one such thread held to
// each core. A pause of either core stops whichever of the round trip's three
// (this probe, the X server, the window) runs there, so their union counts.
class PauseWatcher {
  public:
    static constexpr double kPauseMs = 5;
    PauseWatcher() {
        cpu_set_t cores;
        CPU_ZERO(&cores);
        sched_getaffinity(0, sizeof cores, &cores);
        for (int core = 0; core < CPU_SETSIZE; ++core) {
            if (!CPU_ISSET(core, &cores))
                continue;
            watchers_.emplace_back([this] { watch(); });
            cpu_set_t one;
            CPU_ZERO(&one);
            CPU_SET(core, &one);
            pthread_setaffinity_np(watchers_.back().native_handle(), sizeof one, &one);
            sched_param highest{sched_get_priority_max(SCHED_FIFO)};
            pthread_setschedparam(watchers_.back().native_handle(), SCHED_FIFO, &highest);
        }
    }
    ~PauseWatcher() {
        stop_ = true;
        for (std::thread& watcher : watchers_)
            watcher.join();
    }
    // How much of [from, to] any core was paused, in milliseconds.
    double pausedMs(Clock::time_point from, Clock::time_point to) {
        std::vector<Span> within;
        {
            const std::lock_guard lock(mutex_);
            for (const Span& pause : pauses_)
                if (pause.from < to && from < pause.to)
                    within.push_back({std::max(from, pause.from), std::min(to, pause.to)});
        }
        std::sort(within.begin(), within.end(),
                  [](const Span& a, const Span& b) { return a.from < b.from; });
        double paused = 0;
        Clock::time_point covered = from;
        for (const Span& pause : within) {
            const Clock::time_point start = std::max(covered, pause.from);
            if (start < pause.to) {
                paused += std::chrono::duration<double, std::milli>(pause.to - start).count();
                covered = pause.to;
            }
        }
        return paused;
    }
    double longestMs() {
        const std::lock_guard lock(mutex_);
        double longest = 0;
        for (const Span& pause : pauses_)
            longest = std::max(
                longest, std::chrono::duration<double, std::milli>(pause.to - pause.from).count());
        return longest;
    }

  private:
    void watch() {
        Clock::time_point last = Clock::now();
        while (!stop_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const Clock::time_point now = Clock::now();
            if (std::chrono::duration<double, std::milli>(now - last).count() > 1 + kPauseMs) {
                const std::lock_guard lock(mutex_);
                pauses_.push_back({last + std::chrono::milliseconds(1), now});
            }
            last = now;
        }
    }
    std::mutex mutex_;
    std::vector<Span> pauses_;
    std::atomic<bool> stop_{false};
    std::vector<std::thread> watchers_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: stall_probe WINDOW SECONDS\n");
        return 2;
    }
    const xcb_window_t window = xcb_window_t(std::strtoul(argv[1], nullptr, 0));
    const double seconds = std::atof(argv[2]);
    int screenNumber = 0;
    xcb_connection_t* x = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(x))
        return 2;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    // The answer goes to the root window, to whoever listens there.
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY; // as Qt sends its answer
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = atom(x, "WM_PROTOCOLS"), ping = atom(x, "_NET_WM_PING");
    PauseWatcher machine;
    std::vector<double> trips, own;
    const Clock::time_point end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(seconds));
    uint32_t sequence = 1;
    while (Clock::now() < end) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = protocols;
        message.data.data32[0] = ping;
        message.data.data32[1] = ++sequence; // the time stamp field carries our number
        message.data.data32[2] = window;
        const Clock::time_point sent = Clock::now();
        xcb_send_event(x, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(x);
        bool answered = false;
        while (!answered) {
            pollfd fd{xcb_get_file_descriptor(x), POLLIN, 0};
            if (::poll(&fd, 1, 5000) <= 0)
                break; // no answer in five seconds: that trip counts as five seconds
            while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
                if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                    const auto* reply = reinterpret_cast<xcb_client_message_event_t*>(event);
                    answered = answered ||
                               (reply->data.data32[0] == ping && reply->data.data32[1] == sequence);
                }
                std::free(event);
            }
        }
        const Clock::time_point back = Clock::now();
        trips.push_back(std::chrono::duration<double, std::milli>(back - sent).count());
        own.push_back(trips.back() - machine.pausedMs(sent, back));
    }
    if (trips.empty())
        return 1;
    std::sort(trips.begin(), trips.end());
    std::printf("longest_ms=%.1f own_ms=%.1f machine_ms=%.1f median_ms=%.2f pings=%zu\n",
                trips.back(), *std::max_element(own.begin(), own.end()), machine.longestMs(),
                trips[trips.size() / 2], trips.size());
    xcb_disconnect(x);
    return 0;
}
