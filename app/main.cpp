#include "app/start_up.h"

#include <QApplication>

#include <future>

int main(int argc, char* argv[]) {
  // Enumerating the serial devices walks sysfs through udev and costs tens of
  // milliseconds; it runs while the toolkit connects to the display and the
  // window builds its controls.
  std::future<zelqon::PortCatalog> discovery = std::async(std::launch::async, &zelqon::PortCatalog::fromSystem);

  QApplication app(argc, argv);
  const QString profile = zelqon::profileFromCommandLine(QApplication::arguments());

  const auto window = zelqon::startProgrammingWindow([&discovery] { return discovery.get(); }, profile);
  return QApplication::exec();
}
