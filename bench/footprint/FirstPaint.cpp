// Starts a program and watches the X server, from outside the program, for the moment its first
// window is mapped and the moment something is first drawn into it (a DAMAGE report), both counted
// from just before the start. The program is left running.
//
//   hourlink_first_paint TIMEOUT_SECONDS LOG_FILE -- COMMAND [ARGS...]
//
// Prints "pid N", then "mapped MS" and "painted MS WIDTHxHEIGHT" (or "timeout") and exits. Windows are
// told apart by _NET_WM_PID, so helper windows of other clients (the window manager's frame) never count.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>

#include <xcb/damage.h>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::optional<std::uint32_t> WindowPid(xcb_connection_t* c, xcb_window_t window, xcb_atom_t pidAtom) {
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr),
        &std::free);
    if (!reply || xcb_get_property_value_length(reply.get()) != 4) {
        return std::nullopt;
    }
    std::uint32_t pid = 0;
    std::memcpy(&pid, xcb_get_property_value(reply.get()), sizeof pid);
    return pid;
}

pid_t Start(char** command, const char* logFile) {
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    // The program must not hold our standard output open: whoever reads it waits for its end.
    const int log = ::open(logFile, O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int null = ::open("/dev/null", O_RDONLY);
    if (log < 0 || null < 0) {
        std::perror("hourlink_first_paint: log");
        ::_exit(127);
    }
    ::dup2(null, 0);
    ::dup2(log, 1);
    ::dup2(log, 2);
    ::setsid();
    ::execvp(command[0], command);
    std::perror("hourlink_first_paint: exec");
    ::_exit(127);
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 5 || std::strcmp(argv[3], "--") != 0) {
        std::fprintf(stderr, "usage: %s TIMEOUT_SECONDS LOG_FILE -- COMMAND [ARGS...]\n", argv[0]);
        return 2;
    }
    const double timeoutMs = std::atof(argv[1]) * 1000.0;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        std::fprintf(stderr, "hourlink_first_paint: cannot open the display\n");
        return 1;
    }
    ::fcntl(xcb_get_file_descriptor(c), F_SETFD, FD_CLOEXEC);
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(c, &xcb_damage_id);
    if (damage == nullptr || damage->present == 0) {
        std::fprintf(stderr, "hourlink_first_paint: the X server has no DAMAGE extension\n");
        return 1;
    }
    std::free(xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));
    const xcb_atom_t pidAtom = Atom(c, "_NET_WM_PID");
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // Every top-level window created from now on is reported to us before it can be drawn into.
    const std::uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &rootMask);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

    const Clock::time_point start = Clock::now();
    const pid_t pid = Start(argv + 4, argv[2]);
    std::printf("pid %d\n", static_cast<int>(pid));
    std::fflush(stdout);

    std::map<xcb_window_t, std::optional<std::uint32_t>> pids; // windows being watched, and whose they are
    const auto owner = [&](xcb_window_t w) {
        auto& known = pids[w];
        if (!known) {
            known = WindowPid(c, w, pidAtom);
        }
        return known;
    };
    bool mapped = false;
    const int fd = xcb_get_file_descriptor(c);
    while (MillisecondsSince(start) < timeoutMs) {
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (event == nullptr) {
            if (xcb_connection_has_error(c) != 0) {
                return 1;
            }
            pollfd wait{fd, POLLIN, 0};
            ::poll(&wait, 1, 50);
            continue;
        }
        const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
        const int type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            if (created->parent == root) {
                pids[created->window];
                xcb_damage_create(c, xcb_generate_id(c), created->window, XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
                xcb_change_window_attributes(c, created->window, XCB_CW_EVENT_MASK, &mask);
                xcb_flush(c);
            }
        } else if (type == XCB_MAP_NOTIFY && !mapped) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            if (pids.contains(map->window) && owner(map->window) == static_cast<std::uint32_t>(pid)) {
                std::printf("mapped %.1f\n", MillisecondsSince(start));
                mapped = true;
            }
        } else if (type == damage->first_event + XCB_DAMAGE_NOTIFY) {
            const double at = MillisecondsSince(start);
            const auto* drawn = reinterpret_cast<xcb_damage_notify_event_t*>(event);
            if (owner(drawn->drawable) == static_cast<std::uint32_t>(pid)) {
                std::printf("painted %.1f %ux%u\n", at, drawn->geometry.width, drawn->geometry.height);
                return 0;
            }
        }
    }
    std::printf("timeout\n");
    return 3;
}
