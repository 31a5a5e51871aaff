// Monitor growth: appends received text in chunks of 1920 bytes (one second
// of a saturated 19200 bit/s line) until the monitor holds 16 MB, and compares
// the cost of one append late against early, and the memory used against the
// text held.
//
//   bench_monitor lines|unbroken [MEGABYTES] [BUDGET_SECONDS]

#include "stats.h"
#include "ui/monitor_view.h"

#include <unistd.h>
#include <QApplication>
#include <QRandomGenerator>
#include <QTest>

#include <chrono>
#include <numeric>

namespace {

// One second of line: controller answers ending in CR LF, or, for a
// controller that never ends its lines, printable text with no break at all.
QString chunk(bool lines, QRandomGenerator& random) {
  QString text;
  text.reserve(1920);
  while (text.size() < 1920) {
    if (lines) {
      text += QStringLiteral("Radio=%1;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;OK\r\n")
                  .arg(random.bounded(1, 5));
    } else {
      text += QChar(char16_t(0x21 + random.bounded(0x5e)));
    }
  }
  text.truncate(1920);
  return text;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const bool lines = argc < 2 || QByteArray(argv[1]) != "unbroken";
  const qsizetype target = qsizetype(argc > 2 ? std::atoi(argv[2]) : 16) * 1000 * 1000;
  const double budget = argc > 3 ? std::atof(argv[3]) : 300.0;

  zelqon::MonitorView monitor;
  monitor.resize(649, 273);
  monitor.show();
  if (!QTest::qWaitForWindowExposed(&monitor))
    return 1;
  QRandomGenerator random(1920);
  const long residentBefore = bench::residentKiB(getpid());

  std::vector<double> costs;
  const auto started = std::chrono::steady_clock::now();
  bool outOfTime = false;
  qsizetype held = 0;  // text() rebuilds the whole text: ask it once, at the end
  while (held < target) {
    const QString text = chunk(lines, random);
    const auto start = std::chrono::steady_clock::now();
    monitor.append(text);
    held += text.size();
    QCoreApplication::processEvents();  // the repaint that follows an append
    const auto end = std::chrono::steady_clock::now();
    costs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    if (std::chrono::duration<double>(end - started).count() > budget) {
      outOfTime = true;
      break;
    }
  }
  const long residentAfter = bench::residentKiB(getpid());
  const std::size_t window = std::min<std::size_t>(1000, costs.size() / 2);
  const double early = bench::median({costs.begin(), costs.begin() + long(window)});
  const double late = bench::median({costs.end() - long(window), costs.end()});
  const double heldMB = double(monitor.text().size()) / 1e6;
  const double grownMB = double(residentAfter - residentBefore) * 1024.0 / 1e6;
  const double ratio = late / early;
  const double memoryFactor = grownMB / heldMB;

  std::printf("monitor (%s): %zu appends, %.1f MB held%s\n", lines ? "lines" : "unbroken", costs.size(), heldMB,
              outOfTime ? " (stopped at the time budget)" : "");
  std::printf(
      "  append cost: median %.3f ms over the first %zu, %.3f ms over the last %zu = %.2fx (target <= 1.5x: %s)\n",
      early, window, late, window, ratio, bench::verdict(!outOfTime && ratio <= 1.5));
  const double total = std::accumulate(costs.begin(), costs.end(), 0.0);
  std::printf("  all appends: mean %.3f ms, slowest %.3f ms, %.1f s in all\n", total / double(costs.size()),
              *std::max_element(costs.begin(), costs.end()), total / 1000.0);
  std::printf("  memory: grew %.1f MB for %.1f MB of text = %.1fx (target <= 10x: %s)\n", grownMB, heldMB, memoryFactor,
              bench::verdict(memoryFactor <= 10.0));
  return 0;
}
