#pragma once

#include "protocol/radio_program.h"

#include <QString>

namespace zelqon {

// What the radio pages' toggle buttons show: a view of the radio's values,
// which alone decide what a click changes and what a send carries.
inline const QString kCorActiveHigh = QStringLiteral("ATIVO ALTO");
inline const QString kCorActiveLow = QStringLiteral("ATIVO BAIXO");
inline const QString kRouteOn = QStringLiteral("Ativado");
inline const QString kRouteOff = QStringLiteral("Desativado");

[[nodiscard]] inline const QString& corCaption(CorLevel level) {
  return level == CorLevel::ActiveHigh ? kCorActiveHigh : kCorActiveLow;
}
[[nodiscard]] inline const QString& routeCaption(bool keyed) { return keyed ? kRouteOn : kRouteOff; }

}  // namespace zelqon
