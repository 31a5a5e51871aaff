// Factory gaps: the time between two factory messages, measured at the write
// calls (the port service's writeText, as the engine calls it) and, for a
// second reading, as the controller sees them: a reader thread timestamps the
// moment each 70-byte message is complete on the other side of the
// pseudo-terminal. The second reading carries the reader thread's own
// scheduling delays.
//
//   bench_factory_gaps [RUNS]

#include "pty_peer.h"
#include "serial/serial_port_service.h"
#include "stats.h"

#include <QCoreApplication>

using Clock = std::chrono::steady_clock;

namespace {

// The real service, with the moment each write call begins.
class TimedService final : public zelqon::PortService {
 public:
  explicit TimedService(std::shared_ptr<const zelqon::PortCatalog> ports) : m_real(std::move(ports)) {}
  void selectPortNumber(qint16 number) override { m_real.selectPortNumber(number); }
  [[nodiscard]] qint16 portNumber() const override { return m_real.portNumber(); }
  [[nodiscard]] bool isOpen() const override { return m_real.isOpen(); }
  void open() override { m_real.open(); }
  void close() override { m_real.close(); }
  void writeText(const QString& text) override {
    writes.push_back(Clock::now());
    m_real.writeText(text);
  }
  [[nodiscard]] QString readAllPending() override { return m_real.readAllPending(); }
  std::vector<Clock::time_point> writes;

 private:
  zelqon::SerialPortService m_real;
};

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
  auto ports = std::make_shared<zelqon::PortCatalog>(ptyCatalog({{1, controller.slavePath()}}));
  auto owned = std::make_unique<TimedService>(ports);
  TimedService* service = owned.get();
  zelqon::ControllerEngine engine(ports, std::move(owned));

  std::vector<double> atWrites;
  std::vector<double> onLine;
  for (int run = 0; run < runs; ++run) {
    std::vector<Clock::time_point> arrivals;
    service->writes.clear();
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
    if (!engine.sendFactoryProgramming())
      return 1;
    while (engine.isBusy())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    stop = true;
    reader.join();
    if (arrivals.size() != 4 || service->writes.size() != 4) {
      std::fprintf(stderr, "run %d: %zu messages written, %zu arrived, expected 4\n", run + 1, service->writes.size(),
                   arrivals.size());
      return 1;
    }
    for (const double gap : gapsOf(service->writes))
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
