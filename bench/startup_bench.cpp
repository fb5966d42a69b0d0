// Start-up of windows, from exec to the window mapped on the screen, for
// programs started in turn: tenmari-bench-startup RUNS PROGRAM... Needs an X
// display with a window manager (bench/startup_vs_bare.sh makes one). Each
// run forks and execs one program and waits until a new window appears on
// the root window (the window manager maps its frame once the program has
// mapped its window), then ends the program with SIGTERM and waits for it.
// The first run of each program is a warm-up and not counted. Prints every
// run and the median and quartiles per program in milliseconds, of the time
// to the window and of the processor time the program took by then.

#include <xcb/xcb.h>

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double quantile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    const double at = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(at);
    const std::size_t hi = std::min(lo + 1, v.size() - 1);
    return v[lo] + (v[hi] - v[lo]) * (at - static_cast<double>(lo));
}

// Processor time of every thread of the process so far, in milliseconds
// (the scheduler's own count, so that a busy machine shows what the start
// costs apart from the waiting).
double cpuMs(pid_t pid) {
    double ns = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* d = ::opendir(tasks.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            if (FILE* f = std::fopen((tasks + "/" + e->d_name + "/schedstat").c_str(), "r")) {
                unsigned long long run = 0;
                if (std::fscanf(f, "%llu", &run) == 1) ns += static_cast<double>(run);
                std::fclose(f);
            }
        }
        ::closedir(d);
    }
    return ns / 1e6;
}

struct Run {
    double ms = -1;   // exec to mapped
    double cpu = -1;  // processor time by then
};

// Drops the events that came so far.
void drain(xcb_connection_t* c) {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) std::free(e);
}

// Milliseconds from exec to the first window mapped on the root; < 0 when
// none came within 20 s or the program ended first.
Run oneRun(xcb_connection_t* c, xcb_window_t root, const char* program) {
    drain(c);
    const Clock::time_point start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execl(program, program, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    double ms = -1;
    double cpu = -1;
    const int fd = xcb_get_file_descriptor(c);
    while (ms < 0 && Clock::now() - start < std::chrono::seconds(20)) {
        xcb_generic_event_t* e = xcb_poll_for_event(c);
        if (!e) {
            if (xcb_connection_has_error(c)) break;
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 50);
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) return {};
            continue;
        }
        if ((e->response_type & 0x7F) == XCB_MAP_NOTIFY) {
            const auto* m = reinterpret_cast<const xcb_map_notify_event_t*>(e);
            if (m->event == root && !m->override_redirect) {
                ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                cpu = cpuMs(pid);
            }
        }
        std::free(e);
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // Let the window manager take the window down before the next run.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    drain(c);
    return {ms, cpu};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tenmari-bench-startup RUNS PROGRAM...\n");
        return 2;
    }
    const int runs = std::atoi(argv[1]);
    const std::vector<const char*> programs(argv + 2, argv + argc);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "tenmari-bench-startup: no X display\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(c);

    std::vector<std::vector<double>> times(programs.size());
    std::vector<std::vector<double>> cpus(programs.size());
    for (int run = 0; run <= runs; ++run) {
        for (std::size_t i = 0; i < programs.size(); ++i) {
            const Run r = oneRun(c, root, programs[i]);
            if (r.ms < 0) {
                std::fprintf(stderr, "tenmari-bench-startup: %s showed no window\n", programs[i]);
                return 1;
            }
            if (run == 0) continue;  // warm-up
            times[i].push_back(r.ms);
            cpus[i].push_back(r.cpu);
            std::printf("run %2d  %-50s %7.1f ms, processor %6.1f ms\n", run, programs[i], r.ms, r.cpu);
        }
    }
    std::printf("\nexec to mapped, ms\n%-50s %8s %8s %8s\n", "program", "q1", "median", "q3");
    for (std::size_t i = 0; i < programs.size(); ++i) {
        std::printf("%-50s %8.1f %8.1f %8.1f", programs[i], quantile(times[i], 0.25), quantile(times[i], 0.5),
                    quantile(times[i], 0.75));
        if (i > 0) std::printf("   %.2f x the first", quantile(times[i], 0.5) / quantile(times[0], 0.5));
        std::printf("\n");
    }
    std::printf("\nprocessor time by then, ms\n");
    for (std::size_t i = 0; i < programs.size(); ++i) {
        std::printf("%-50s %8.1f %8.1f %8.1f", programs[i], quantile(cpus[i], 0.25), quantile(cpus[i], 0.5),
                    quantile(cpus[i], 0.75));
        if (i > 0) std::printf("   %.2f x the first", quantile(cpus[i], 0.5) / quantile(cpus[0], 0.5));
        std::printf("\n");
    }
    xcb_disconnect(c);
    return 0;
}
