#pragma once

#include "serial/port_catalog.h"
#include "ui/programador.h"

#include <functional>
#include <memory>

namespace zelqon {

// Everything the program does between creating the application object and
// running its event loop: the application's names, Qt's own Portuguese texts,
// and the programming window with its session record, wired so that its exit
// button ends the event loop, centred on its screen and shown.
[[nodiscard]] std::unique_ptr<Programador> startProgrammingWindow(const std::function<PortCatalog()>& discoverPorts);

}  // namespace zelqon
