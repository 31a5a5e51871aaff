// Start-up time: from exec to the program's first top-level window being
// mapped on the X server, over several runs; and the resident size once the
// window is up. Needs a display with no window manager (Xvfb).
//
//   bench_startup RUNS PROGRAM [ARGS...]
// prints one line per run and the median.

#include "stats.h"

#include <xcb/xcb.h>

#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

struct Run {
  double milliseconds;
  long residentKiB;
};

Run runOnce(xcb_connection_t* connection, xcb_window_t root, char** argv) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[0], argv);
    std::perror("exec");
    _exit(127);
  }
  Run run{-1.0, -1};
  while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
    const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                        reinterpret_cast<xcb_map_notify_event_t*>(event)->event == root;
    std::free(event);
    if (mapped) {
      run.milliseconds = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
      break;
    }
  }
  // Let the first paint and the deferred work of start-up settle.
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  run.residentKiB = bench::residentKiB(child);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s RUNS PROGRAM BARE_PROGRAM\n", argv[0]);
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection);

  char* program[] = {argv[2], nullptr};
  char* bare[] = {argv[3], nullptr};
  // Warm the file cache for both; not counted.
  runOnce(connection, root, program);
  runOnce(connection, root, bare);

  // Alternate the two so that a busy moment of the machine weighs on both.
  std::vector<double> times, resident, bareTimes, bareResident;
  for (int i = 0; i < runs; ++i) {
    const Run run = runOnce(connection, root, program);
    const Run floor = runOnce(connection, root, bare);
    times.push_back(run.milliseconds);
    resident.push_back(double(run.residentKiB) / 1024.0);
    bareTimes.push_back(floor.milliseconds);
    bareResident.push_back(double(floor.residentKiB) / 1024.0);
    std::printf("  run %2d: program %6.1f ms, %5.1f MiB | bare window %6.1f ms, %5.1f MiB\n", i + 1, run.milliseconds,
                resident.back(), floor.milliseconds, bareResident.back());
  }
  const double ms = bench::median(times);
  const double bareMs = bench::median(bareTimes);
  const double mib = bench::median(resident);
  std::printf("start-up: median %.1f ms to the window mapped over %d runs (target <= 60 ms: %s)\n", ms, runs,
              bench::verdict(ms <= 60.0));
  std::printf("  bare Qt window with as many controls: median %.1f ms = %.2fx the floor (target <= 1.05x: %s)\n", bareMs,
              ms / bareMs, bench::verdict(ms / bareMs <= 1.05));
  const double bareMib = bench::median(bareResident);
  std::printf("memory: median %.1f MiB resident after start-up (target <= 36 MiB: %s); bare window %.1f MiB, "
              "%.1f MiB over it (target <= 3 MiB: %s)\n",
              mib, bench::verdict(mib <= 36.0), bareMib, mib - bareMib, bench::verdict(mib - bareMib <= 3.0));
  xcb_disconnect(connection);
  return 0;
}
