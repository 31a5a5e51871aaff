#pragma once

#include "serial/port_catalog.h"

#include <QStringList>
#include <QtGlobal>

// Tells which of the ports COM1 to COM16 exist, without opening any.
namespace DetectaCOM {

inline constexpr int kHighestListedPort = 16;

// Nonzero when serial port COMn exists on this machine.
[[nodiscard]] qint32 probeCommPort(const zelqon::PortCatalog& catalog, qint16 number);

// The port list's entries: the numbers of the existing ports among 1..16,
// ascending, as bare decimal text.
[[nodiscard]] QStringList listedPorts(const zelqon::PortCatalog& catalog);

}  // namespace DetectaCOM
