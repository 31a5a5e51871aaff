// Click to line: from a click on a send button to all 70 bytes of its
// message readable on the controller's side of a pseudo-terminal.
//
//   bench_click_to_line [CLICKS]

#include "pty_peer.h"
#include "serial/port_catalog.h"
#include "stats.h"
#include "ui/programador.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const int clicks = argc > 1 ? std::atoi(argv[1]) : 500;
  PtyPeer controller;
  zelqon::Programador window(
      zelqon::PortCatalog({{1, zelqon::PortDevice{QStringLiteral("pty"), controller.slavePath(), QString()}}}));
  window.findChild<QTimer*>(QStringLiteral("pollTimer"))->stop();
  window.show();
  if (!QTest::qWaitForWindowExposed(&window))
    return 1;
  auto* send = window.findChild<QPushButton*>(QStringLiteral("EnviaR1"));

  std::vector<double> latencies;
  latencies.reserve(std::size_t(clicks));
  QTest::mouseClick(send, Qt::LeftButton);  // opens the port; not counted
  (void)controller.receive(70);
  for (int i = 0; i < clicks; ++i) {
    const auto start = std::chrono::steady_clock::now();
    QTest::mouseClick(send, Qt::LeftButton);
    QByteArray got;
    while (got.size() < 70) {
      char buffer[128];
      pollfd ready{controller.masterFd(), POLLIN, 0};
      ::poll(&ready, 1, 1000);
      const auto n = ::read(controller.masterFd(), buffer, sizeof buffer);
      if (n > 0)
        got.append(buffer, n);
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    if (got.size() != 70) {
      std::fprintf(stderr, "expected 70 bytes, got %lld\n", qlonglong(got.size()));
      return 1;
    }
  }
  std::sort(latencies.begin(), latencies.end());
  const double median = bench::median(latencies);
  std::printf("click to line: median %.3f ms, p90 %.3f ms, max %.3f ms over %d clicks (target <= 2 ms: %s)\n", median,
              latencies[latencies.size() * 9 / 10], latencies.back(), clicks, bench::verdict(median <= 2.0));
  return 0;
}
