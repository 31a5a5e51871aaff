#pragma once

#include "protocol/link_error.h"

#include <QString>
#include <QStringList>

namespace zelqon {

// What the operator reads when an operation fails: what was being done, on
// which port, why in plain Portuguese, and the system's own reason.
[[nodiscard]] QString describeFailure(const OperationFailure& failure);

// The notice for a port whose device went away while open.
[[nodiscard]] QString describeConnectionLost(const QString& port, const QString& reason);

}  // namespace zelqon
