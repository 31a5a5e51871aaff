#include "serial/port_catalog.h"
#include "ui/programador.h"

#include <QApplication>
#include <QScreen>

#include <future>

int main(int argc, char* argv[]) {
  // Enumerating the serial devices walks sysfs through udev and costs tens of
  // milliseconds; it runs while the toolkit connects to the display and the
  // window builds its controls.
  std::future<zelqon::PortCatalog> discovery = std::async(std::launch::async, &zelqon::PortCatalog::fromSystem);

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zelqon"));
  QApplication::setApplicationDisplayName(QStringLiteral("ZELQON"));
  QGuiApplication::setDesktopFileName(QStringLiteral("zelqon"));

  zelqon::Programador window([&discovery] { return discovery.get(); });
  QObject::connect(&window, &zelqon::Programador::endRequested, &app, [] { QCoreApplication::exit(0); });
  if (const QScreen* screen = window.screen())
    window.move(screen->availableGeometry().center() - window.rect().center());
  window.show();
  return QApplication::exec();
}
