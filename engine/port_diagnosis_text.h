#pragma once

// Why a serial port could not be opened, told to the operator in Portuguese:
// the facts of serial/port_diagnosis turned into a few lines, each something
// the operator can act on.

#include "serial/port_diagnosis.h"

#include <QString>

namespace zelqon {

[[nodiscard]] QString describePermission(const PermissionFacts& facts);
[[nodiscard]] QString describeBusy(const BusyFacts& facts);

// Windows tells a port held by another program and a refused access alike,
// and shows nothing of who holds it: both causes, and what mends each.
[[nodiscard]] QString describeRefusedOnWindows(const QString& device);

// What the operator reads for an open refused with "access denied".
[[nodiscard]] QString describeAccessDenied(const AccessDeniedFacts& facts);

}  // namespace zelqon
