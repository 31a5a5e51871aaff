#include "protocol/radio_program.h"

#include <stdexcept>

namespace zelqon {

namespace {
void requireRouteKey(int routeKey) {
  if (routeKey < kFirstRouteKey || routeKey > kLastRouteKey)
    throw std::out_of_range("route key must be 2, 3 or 4");
}
}  // namespace

const QString& RadioProgram::routeFlag(int routeKey) const {
  requireRouteKey(routeKey);
  return routeKey == 2 ? Cor_PTT2 : routeKey == 3 ? Cor_PTT3 : Cor_PTT4;
}

QString& RadioProgram::routeFlag(int routeKey) {
  requireRouteKey(routeKey);
  return routeKey == 2 ? Cor_PTT2 : routeKey == 3 ? Cor_PTT3 : Cor_PTT4;
}

FlagDisplay nextCorLevel(const QString& currentCaption) {
  if (currentCaption == kCorActiveLow)
    return {kCorActiveHigh, kFlagOn};
  return {kCorActiveLow, kFlagOff};
}

FlagDisplay nextPttRoute(const QString& currentCaption) {
  if (currentCaption == kRouteOff)
    return {kRouteOn, kFlagOn};
  return {kRouteOff, kFlagOff};
}

int routedRadio(int radio, int routeKey) {
  requireRouteKey(routeKey);
  if (radio < 1 || radio > kRadioCount)
    throw std::out_of_range("radio must be 1 to 4");
  const int row = routeKey - 1;  // 1..3: the lowest other radio first
  return row < radio ? row : row + 1;
}

QString formatDelayText(int milliseconds) { return (QStringLiteral("00000") + QString::number(milliseconds)).right(5); }

QStringList delayChoiceList() {
  QStringList entries;
  entries.reserve(101);
  for (int ms = 0; ms <= 10000; ms += 100)
    entries.append(formatDelayText(ms));
  return entries;
}

}  // namespace zelqon
