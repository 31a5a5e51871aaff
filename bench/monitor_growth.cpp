// Monitor growth: appends received text in chunks of 1920 bytes (one second
// of a saturated 19200 bit/s line) until MEGABYTES (by default 40 MiB) have
// gone through the monitor, well past its bound, and compares the cost of one
// append late against early, and the memory used against the text held, at
// every eighth of the run: once the bound is reached it stays flat. At the
// end, the same once more after malloc_trim has handed freed memory back.
//
//   bench_monitor lines|unbroken [MEGABYTES] [BUDGET_SECONDS]

#include "stats.h"
#include "ui/monitor_view.h"

#include <malloc.h>
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
  const qsizetype target = qsizetype(argc > 2 ? std::atof(argv[2]) * 1024 * 1024 : 40 * 1024 * 1024);
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
  qsizetype pushed = 0;
  double worstFactor = 0.0;
  // Resident growth against the characters held.
  const auto memoryFactor = [&] {
    const double held = double(monitor.content().characterCount());
    return double(bench::residentKiB(getpid()) - residentBefore) * 1024.0 / held;
  };
  while (pushed < target) {
    const QString text = chunk(lines, random);
    const auto start = std::chrono::steady_clock::now();
    monitor.append(text);
    QCoreApplication::processEvents();  // the repaint that follows an append
    const auto end = std::chrono::steady_clock::now();
    if ((pushed + text.size()) * 8 / target != pushed * 8 / target) {
      const double factor = memoryFactor();
      worstFactor = std::max(worstFactor, factor);
      std::printf("  after %5.1f MiB: %5.1f MB held, memory %.2fx\n", double(pushed + text.size()) / 1048576.0,
                  double(monitor.content().characterCount()) / 1e6, factor);
    }
    pushed += text.size();
    costs.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    if (std::chrono::duration<double>(end - started).count() > budget) {
      outOfTime = true;
      break;
    }
  }
  const std::size_t window = std::min<std::size_t>(1000, costs.size() / 2);
  const double early = bench::median({costs.begin(), costs.begin() + long(window)});
  const double late = bench::median({costs.end() - long(window), costs.end()});
  const double heldMB = double(monitor.content().characterCount()) / 1e6;
  malloc_trim(0);
  const double trimmedFactor = memoryFactor();
  const double grownMB = double(bench::residentKiB(getpid()) - residentBefore) * 1024.0 / 1e6;
  const double ratio = late / early;

  std::printf("monitor (%s): %zu appends, %.1f MiB through, %.1f MB held%s\n", lines ? "lines" : "unbroken",
              costs.size(), double(pushed) / 1048576.0, heldMB, outOfTime ? " (stopped at the time budget)" : "");
  std::printf(
      "  append cost: median %.3f ms over the first %zu, %.3f ms over the last %zu = %.2fx (target <= 1.5x: %s)\n",
      early, window, late, window, ratio, bench::verdict(!outOfTime && ratio <= 1.5));
  const double total = std::accumulate(costs.begin(), costs.end(), 0.0);
  std::printf("  all appends: mean %.3f ms, slowest %.3f ms, %.1f s in all\n", total / double(costs.size()),
              *std::max_element(costs.begin(), costs.end()), total / 1000.0);
  std::printf("  memory: grew %.1f MB for %.1f MB of text at the end, at most %.2fx along the way (target <= 3x: %s)\n",
              grownMB, heldMB, worstFactor, bench::verdict(worstFactor <= 3.0));
  std::printf("  memory after malloc_trim: %.2f bytes a character held (target <= 2: %s)\n", trimmedFactor,
              bench::verdict(trimmedFactor <= 2.0));
  return 0;
}
