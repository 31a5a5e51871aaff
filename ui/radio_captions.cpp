#include "ui/radio_captions.h"

namespace zelqon {

CorToggle nextCorLevel(const QString& currentCaption) {
  if (currentCaption == kCorActiveLow)
    return {kCorActiveHigh, CorLevel::ActiveHigh};
  return {kCorActiveLow, CorLevel::ActiveLow};
}

RouteToggle nextPttRoute(const QString& currentCaption) {
  if (currentCaption == kRouteOff)
    return {kRouteOn, true};
  return {kRouteOff, false};
}

}  // namespace zelqon
