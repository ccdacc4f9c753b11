// Starts a program under the current X server and reports how long it took until its first
// top-level window was mapped and until something was first drawn into it, its resident memory
// a few seconds later and its CPU use while it sits idle. One line on standard output:
// "map_ms=… map_cpu_ms=… paint_ms=… paint_cpu_ms=… rss_kb=… idle_cpu_pct=…" (the cpu figures:
// the processor time the program had used by then).
//
//   map_timer [--settle S] [--idle S] -- COMMAND [ARGS...]
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
// How long a program may take to map and draw its window.
constexpr int kWaitSeconds = 30;

long ResidentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// User plus system time of the process in clock ticks.
long long CpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    // The command name may hold spaces: fields are counted after its closing parenthesis.
    const auto close = text.rfind(')');
    if (close == std::string::npos) {
        return -1;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0;
    long long stime = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14) {
            utime = std::stoll(field);
        } else if (i == 15) {
            stime = std::stoll(field);
            break;
        }
    }
    return utime + stime;
}

// Processor time of all the program's threads in milliseconds, to the nanosecond the scheduler
// keeps (the clock ticks of /proc/PID/stat are 10 ms apart).
double CpuMs(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (!dir) {
        return -1;
    }
    long long ns = 0;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        std::ifstream schedstat(tasks + "/" + entry->d_name + "/schedstat");
        long long run = 0;
        if (schedstat >> run) {
            ns += run;
        }
    }
    closedir(dir);
    return static_cast<double>(ns) / 1e6;
}

void Stop(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

}  // namespace

int main(int argc, char** argv) {
    double settleSeconds = 3.0;
    double idleSeconds = 10.0;
    int first = 1;
    for (; first < argc; ++first) {
        if (std::strcmp(argv[first], "--") == 0) {
            ++first;
            break;
        }
        if (std::strcmp(argv[first], "--settle") == 0 && first + 1 < argc) {
            settleSeconds = std::atof(argv[++first]);
        } else if (std::strcmp(argv[first], "--idle") == 0 && first + 1 < argc) {
            idleSeconds = std::atof(argv[++first]);
        }
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: map_timer [--settle S] [--idle S] -- COMMAND [ARGS...]\n");
        return 2;
    }

    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "map_timer: cannot connect to the X server\n");
        return 77;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
    // Drawing shows as damage: each new top-level window is watched from its creation on, so
    // no drawing can come before the watch.
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection, &xcb_damage_id);
    if (!damage || !damage->present) {
        std::fprintf(stderr, "map_timer: the X server has no DAMAGE extension\n");
        return 77;
    }
    std::free(xcb_damage_query_version_reply(connection, xcb_damage_query_version(connection, 1, 1),
                                             nullptr));
    // The selection is in place before the program starts, so no map can be missed.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));

    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[first], argv + first);
        std::perror("map_timer: exec");
        _exit(127);
    }

    double mapMs = -1;
    double cpuAtMap = -1;
    double paintMs = -1;
    double cpuAtPaint = -1;
    xcb_window_t mapped = XCB_NONE;
    std::vector<std::pair<xcb_window_t, xcb_damage_damage_t>> watched;
    // Events as they come, for at most kWaitSeconds after the start.
    const auto deadline = start + std::chrono::seconds(kWaitSeconds);
    const auto nextEvent = [&]() -> xcb_generic_event_t* {
        while (!xcb_connection_has_error(connection)) {
            if (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                return event;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd readable{xcb_get_file_descriptor(connection), POLLIN, 0};
            poll(&readable, 1, static_cast<int>(left.count()));
        }
        return nullptr;
    };
    while (xcb_generic_event_t* event = nextEvent()) {
        const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
        const int type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* create = reinterpret_cast<const xcb_create_notify_event_t*>(event);
            if (!create->override_redirect) {
                const xcb_damage_damage_t id = xcb_generate_id(connection);
                xcb_damage_create(connection, id, create->window,
                                  XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                xcb_flush(connection);
                watched.emplace_back(create->window, id);
            }
        } else if (type == XCB_MAP_NOTIFY && mapMs < 0) {
            const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event);
            // Pop-ups and tooltips bypass the window manager; the program's window does not.
            if (map->override_redirect) {
                continue;
            }
            mapMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            // The processor time behind it: steadier than the wall clock on a busy machine.
            cpuAtMap = CpuMs(pid);
            mapped = map->window;
            // A window with a background (a translucent one has a clear one) is filled by the
            // server as it maps: that damage is cleared and its report dropped, so the next
            // report is the program's own drawing, which waits for its expose event anyway.
            for (const auto& [window, id] : watched) {
                if (window == mapped) {
                    xcb_damage_subtract(connection, id, XCB_NONE, XCB_NONE);
                }
            }
            std::free(
                xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
            while (xcb_generic_event_t* stale = xcb_poll_for_queued_event(connection)) {
                std::free(stale);
            }
        } else if (type == damage->first_event + XCB_DAMAGE_NOTIFY && mapped != XCB_NONE) {
            const auto* drawn = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
            if (drawn->drawable == mapped) {
                paintMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                cpuAtPaint = CpuMs(pid);
                break;
            }
        }
    }
    xcb_disconnect(connection);

    std::this_thread::sleep_for(std::chrono::duration<double>(settleSeconds));
    const long rssKb = ResidentKb(pid);
    const long long ticksBefore = CpuTicks(pid);
    const auto idleStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
    const long long ticksAfter = CpuTicks(pid);
    const double idleElapsed = std::chrono::duration<double>(Clock::now() - idleStart).count();
    const double cpuPct = 100.0 * static_cast<double>(ticksAfter - ticksBefore) /
                          static_cast<double>(sysconf(_SC_CLK_TCK)) / idleElapsed;
    Stop(pid);

    std::printf(
        "map_ms=%.1f map_cpu_ms=%.1f paint_ms=%.1f paint_cpu_ms=%.1f rss_kb=%ld "
        "idle_cpu_pct=%.2f\n",
        mapMs, cpuAtMap, paintMs, cpuAtPaint, rssKb, cpuPct);
    return paintMs < 0 ? 1 : 0;
}
