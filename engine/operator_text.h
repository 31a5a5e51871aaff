#pragma once

#include "engine/engine_facts.h"
#include "protocol/link_error.h"
#include "serial/port_service.h"

#include <chrono>

#include <QString>

namespace zelqon {

// What the operator reads when an operation fails: what was being done, on
// which port, why in plain Portuguese (from the diagnosis, when there is
// one), the system's own reason, and the ports there now when it was none.
[[nodiscard]] QString describeFailure(const OperationFailure& failure);
// Why no network port can be opened: the program's network module is not
// there or not of this build.
[[nodiscard]] QString describeNetworkSupportMissing();

// The notice for a port whose device went away while open, saying what the
// program does next.
[[nodiscard]] QString describeConnectionLost(const LinkError& error, AfterLoss afterLoss);

// What a port on its way to open is doing, for a title or a notice:
// "Conectando a rfc2217://site:2217…"; empty when it is not on its way.
[[nodiscard]] QString describeConnecting(PortState state, const QString& port);

// Where a sequence stands, in one line: "Programação de fábrica: comando 2
// de 4 (RÁDIO 2) enviado; próximo em 3 s". `nextIn` is rounded up to seconds.
[[nodiscard]] QString describeProgress(const SequenceProgress& progress, std::chrono::milliseconds nextIn);

}  // namespace zelqon
