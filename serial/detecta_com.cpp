#include "serial/detecta_com.h"

namespace DetectaCOM {

qint32 probeCommPort(const zelqon::PortCatalog& catalog, qint16 number) {
  return catalog.device(number).has_value() ? 1 : 0;
}

QStringList listedPorts(const zelqon::PortCatalog& catalog) {
  QStringList entries;
  for (qint16 number = 1; number <= kHighestListedPort; ++number) {
    if (probeCommPort(catalog, number) != 0)
      entries.append(QString::number(number));
  }
  return entries;
}

}  // namespace DetectaCOM
