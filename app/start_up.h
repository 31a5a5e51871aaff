#pragma once

#include "serial/port_catalog.h"
#include "ui/programador.h"

#include <functional>
#include <memory>

namespace zelqon {

// Everything the program does between creating the application object and
// running its event loop: the application's names, Qt's own Portuguese texts,
// and the programming window with its session record, wired so that its exit
// button ends the event loop, centred on its screen and shown; then the
// profile at `profilePath`, when one is given, opened as the menu opens one.
[[nodiscard]] std::unique_ptr<Programador> startProgrammingWindow(const std::function<PortCatalog()>& discoverPorts,
                                                                  const QString& profilePath = {});

// The profile named on the command line (`zelqon [PERFIL]`), as the desktop
// passes a file opened from the file manager; empty when none. Ends the
// program with a usage message on anything else.
[[nodiscard]] QString profileFromCommandLine(const QStringList& arguments);

}  // namespace zelqon
