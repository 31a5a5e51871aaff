#include "serial/port_catalog.h"
#include "ui/programador.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("zelqon"));
  QApplication::setApplicationDisplayName(QStringLiteral("ZELQON"));
  QGuiApplication::setDesktopFileName(QStringLiteral("zelqon"));

  zelqon::Programador window(zelqon::PortCatalog::fromSystem());
  QObject::connect(&window, &zelqon::Programador::endRequested, &app, [] { QCoreApplication::exit(0); });
  if (const QScreen* screen = window.screen())
    window.move(screen->availableGeometry().center() - window.rect().center());
  window.show();
  return QApplication::exec();
}
