#include "app/start_up.h"

#include <QApplication>

#include <future>

int main(int argc, char* argv[]) {
  // Enumerating the serial devices walks sysfs through udev and costs tens of
  // milliseconds; it runs while the toolkit connects to the display and the
  // window builds its controls. Windows reads the registry's list in no time,
  // and a thread of MinGW's that used a QRegularExpression crashes as it
  // ends (freeing the expression's thread-local stack): there it runs when
  // the window asks for it.
#ifdef Q_OS_WIN
  constexpr auto kDiscovery = std::launch::deferred;
#else
  constexpr auto kDiscovery = std::launch::async;
#endif
  std::future<zelqon::PortCatalog> discovery = std::async(kDiscovery, &zelqon::PortCatalog::fromSystem);

  QApplication app(argc, argv);
  const QString profile = zelqon::profileFromCommandLine(QApplication::arguments());

  const auto window = zelqon::startProgrammingWindow([&discovery] { return discovery.get(); }, profile);
  return QApplication::exec();
}
