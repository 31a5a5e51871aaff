#pragma once

#include "protocol/radio_program.h"

#include <QString>

namespace zelqon {

// What the radio pages' toggle buttons show.
inline const QString kCorActiveHigh = QStringLiteral("ATIVO ALTO");
inline const QString kCorActiveLow = QStringLiteral("ATIVO BAIXO");
inline const QString kRouteOn = QStringLiteral("Ativado");
inline const QString kRouteOff = QStringLiteral("Desativado");

// A toggle's next caption and the value that follows it. The toggles decide
// from the caption the operator sees, never from the value: only the one
// compared caption ("ATIVO BAIXO", "Desativado") leads to active high or
// keyed; any other text leads to active low or not keyed.
struct CorToggle {
  QString caption;
  CorLevel level = CorLevel::ActiveHigh;
};
struct RouteToggle {
  QString caption;
  bool keyed = false;
};
[[nodiscard]] CorToggle nextCorLevel(const QString& currentCaption);
[[nodiscard]] RouteToggle nextPttRoute(const QString& currentCaption);

[[nodiscard]] inline const QString& corCaption(CorLevel level) {
  return level == CorLevel::ActiveHigh ? kCorActiveHigh : kCorActiveLow;
}
[[nodiscard]] inline const QString& routeCaption(bool keyed) { return keyed ? kRouteOn : kRouteOff; }

}  // namespace zelqon
