#include "app/start_up.h"

#include <QCoreApplication>
#include <QScreen>

namespace zelqon {

std::unique_ptr<Programador> startProgrammingWindow(const std::function<PortCatalog()>& discoverPorts) {
  auto window = std::make_unique<Programador>(discoverPorts);
  QObject::connect(window.get(), &Programador::endRequested, qApp, [] { QCoreApplication::exit(0); });
  if (const QScreen* screen = window->screen())
    window->move(screen->availableGeometry().center() - window->rect().center());
  window->show();
  return window;
}

}  // namespace zelqon
