// Factory gaps: the time between two factory messages, measured where each
// write call returns (the engine's written() signal) and, for a
// second reading, as the controller sees them: a reader thread timestamps the
// moment each 70-byte message is complete on the other side of the
// pseudo-terminal. The second reading carries the reader thread's own
// scheduling delays.
//
//   bench_factory_gaps [RUNS]

#include "engine/controller_engine.h"
#include "pty_peer.h"
#include "stats.h"

#include <QCoreApplication>

using Clock = std::chrono::steady_clock;

namespace {

std::vector<double> gapsOf(const std::vector<Clock::time_point>& moments) {
  std::vector<double> gaps;
  for (std::size_t i = 1; i < moments.size(); ++i)
    gaps.push_back(std::chrono::duration<double, std::milli>(moments[i] - moments[i - 1]).count());
  return gaps;
}

}  // namespace

#include <atomic>
#include <chrono>
#include <thread>

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  PtyPeer controller;
  zelqon::ControllerEngine engine(ptyCatalog({{1, controller.slavePath()}}));
  std::vector<Clock::time_point> writes;
  QObject::connect(&engine, &zelqon::ControllerEngine::written, [&writes] { writes.push_back(Clock::now()); });

  std::vector<double> atWrites;
  std::vector<double> onLine;
  for (int run = 0; run < runs; ++run) {
    std::vector<Clock::time_point> arrivals;
    writes.clear();
    std::atomic<bool> stop{false};
    std::atomic<bool> listening{false};
    std::thread reader([&] {
      qsizetype received = 0;
      listening = true;
      while (!stop && arrivals.size() < 4) {
        pollfd ready{controller.masterFd(), POLLIN, 0};
        if (::poll(&ready, 1, 20) <= 0)
          continue;
        char buffer[256];
        const auto n = ::read(controller.masterFd(), buffer, sizeof buffer);
        if (n <= 0)
          continue;
        const auto now = Clock::now();
        for (ssize_t i = 0; i < n; ++i) {
          if (++received % 70 == 0)
            arrivals.push_back(now);
        }
      }
    });
    // The reader waits in poll() before the first message goes out.
    while (!listening)
      std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (engine.sendFactoryProgramming() != zelqon::OperationStart::Started)
      return 1;
    while (engine.isBusy())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    stop = true;
    reader.join();
    if (arrivals.size() != 4 || writes.size() != 4) {
      std::fprintf(stderr, "run %d: %zu messages written, %zu arrived, expected 4\n", run + 1, writes.size(),
                   arrivals.size());
      return 1;
    }
    for (const double gap : gapsOf(writes))
      atWrites.push_back(gap);
    for (const double gap : gapsOf(arrivals))
      onLine.push_back(gap);
  }
  const auto [shortest, longest] = std::minmax_element(atWrites.begin(), atWrites.end());
  std::printf(
      "factory gaps at the write calls: min %.2f ms, median %.2f ms, max %.2f ms over %zu gaps in %d runs "
      "(target 3000-3010 ms: %s)\n",
      *shortest, bench::median(atWrites), *longest, atWrites.size(), runs,
      bench::verdict(*shortest >= 3000.0 && *longest <= 3010.0));
  const auto [lineShortest, lineLongest] = std::minmax_element(onLine.begin(), onLine.end());
  std::printf("the same seen by the controller's reader thread: min %.2f ms, median %.2f ms, max %.2f ms\n",
              *lineShortest, bench::median(onLine), *lineLongest);
  return 0;
}
