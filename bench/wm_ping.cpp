// Event-loop latency of an X client, measured from outside: every 20 ms a _NET_WM_PING goes to
// the client's window and the time until its answer (sent to the root window) is taken.
//
//   wm_ping PID SECONDS   finds the managed window of process PID (_NET_CLIENT_LIST and
//                         _NET_WM_PID), pings it for SECONDS and prints
//                         "PING samples worst_ms p99_ms unanswered"
// A ping still unanswered at the end counts with the time it has waited so far.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <poll.h>
#include <string>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

std::vector<std::uint32_t> Property32(xcb_connection_t* c, xcb_window_t w, xcb_atom_t p,
                                      xcb_atom_t type) {
    std::vector<std::uint32_t> out;
    auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, w, p, type, 0, 4096), nullptr);
    if (reply && reply->format == 32) {
        auto* data = static_cast<std::uint32_t*>(xcb_get_property_value(reply));
        out.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return out;
}

xcb_window_t FindWindow(xcb_connection_t* c, xcb_window_t root, std::uint32_t pid) {
    const xcb_atom_t clients = Atom(c, "_NET_CLIENT_LIST");
    const xcb_atom_t wmPid = Atom(c, "_NET_WM_PID");
    for (std::uint32_t w : Property32(c, root, clients, XCB_ATOM_WINDOW)) {
        auto p = Property32(c, w, wmPid, XCB_ATOM_CARDINAL);
        if (!p.empty() && p[0] == pid)
            return w;
    }
    return XCB_WINDOW_NONE;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: wm_ping PID SECONDS\n", stderr);
        return 2;
    }
    const auto pid = static_cast<std::uint32_t>(std::atol(argv[1]));
    const double seconds = std::atof(argv[2]);
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::puts("PING no-display");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t root = screen->root;
    xcb_window_t window = XCB_WINDOW_NONE;
    for (int i = 0; i < 200 && window == XCB_WINDOW_NONE; ++i) {
        window = FindWindow(c, root, pid);
        if (window == XCB_WINDOW_NONE)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (window == XCB_WINDOW_NONE) {
        std::puts("PING no-window");
        return 1;
    }
    // The answers go to the root window with StructureNotify among their masks.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = Atom(c, "WM_PROTOCOLS");
    const xcb_atom_t ping = Atom(c, "_NET_WM_PING");
    xcb_flush(c);

    std::map<std::uint32_t, Clock::time_point> waiting;
    std::vector<double> latencies;
    std::uint32_t next = 0x70000000; // far from the window manager's own ping ids
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    auto due = Clock::now();
    const int fd = xcb_get_file_descriptor(c);
    while (Clock::now() < end) {
        const auto now = Clock::now();
        if (now >= due) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = window;
            event.type = protocols;
            event.data.data32[0] = ping;
            event.data.data32[1] = next;
            event.data.data32[2] = window;
            waiting[next++] = now;
            xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT,
                           reinterpret_cast<const char*>(&event));
            xcb_flush(c);
            due += std::chrono::milliseconds(20);
        }
        pollfd p{fd, POLLIN, 0};
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
        poll(&p, 1, static_cast<int>(std::max<long>(0, wait.count())));
        while (auto* e = xcb_poll_for_event(c)) {
            if ((e->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
                auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
                auto it = waiting.find(m->data.data32[1]);
                if (m->type == protocols && m->data.data32[0] == ping && it != waiting.end()) {
                    latencies.push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - it->second)
                            .count());
                    waiting.erase(it);
                }
            }
            std::free(e);
        }
        if (xcb_connection_has_error(c))
            break;
    }
    const auto stop = Clock::now();
    for (const auto& [id, sent] : waiting)
        latencies.push_back(std::chrono::duration<double, std::milli>(stop - sent).count());
    std::sort(latencies.begin(), latencies.end());
    const double worst = latencies.empty() ? 0 : latencies.back();
    const double p99 = latencies.empty()
                           ? 0
                           : latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
    std::printf("PING %zu %.1f %.1f %zu\n", latencies.size(), worst, p99, waiting.size());
    xcb_disconnect(c);
    return 0;
}
