// Idle cost: CPU time of the window over a quiet stretch with the port open
// and nothing arriving, as a share of one core.
//
//   bench_idle [SECONDS]

#include "pty_peer.h"
#include "serial/port_catalog.h"
#include "stats.h"
#include "ui/programador.h"

#include <QApplication>
#include <QEventLoop>
#include <QTest>
#include <QTimer>



int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
  PtyPeer controller;
  zelqon::Programador window(
      zelqon::PortCatalog({{1, zelqon::PortDevice{QStringLiteral("pty"), controller.slavePath(), QString()}}}));
  window.show();
  if (!QTest::qWaitForWindowExposed(&window))
    return 1;
  window.engine().pollReceive();
  // QTest::qWait wakes every 10 ms on purpose; the figure must be the
  // program's own, so wait in a plain event loop, as the program runs.
  const auto waitInEventLoop = [](int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
  };
  waitInEventLoop(1500);  // past start-up and the first ticks

  const double before = bench::cpuSeconds();
  waitInEventLoop(seconds * 1000);
  const double used = bench::cpuSeconds() - before;
  const double share = 100.0 * used / seconds;
  std::printf("idle: %.1f ms CPU over %d s with the port open = %.4f %% of one core (target <= 0.05 %%: %s)\n",
              used * 1000.0, seconds, share, bench::verdict(share <= 0.05));
  return window.engine().isOpen() ? 0 : 1;
}
