// Measures from outside how long a window stops answering: it sends the window
// _NET_WM_PING messages, one after the other, which only the program's GUI
// thread answers, for the seconds given, and prints the longest and the median
// round trip in milliseconds.
//
//   stall_probe WINDOW SECONDS
//   prints: longest_ms=… median_ms=… pings=…
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
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
    std::vector<double> trips;
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
        trips.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }
    if (trips.empty())
        return 1;
    std::sort(trips.begin(), trips.end());
    std::printf("longest_ms=%.1f median_ms=%.2f pings=%zu\n", trips.back(), trips[trips.size() / 2],
                trips.size());
    xcb_disconnect(x);
    return 0;
}
