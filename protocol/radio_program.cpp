#include "protocol/radio_program.h"

namespace zelqon {

namespace {

const struct {
  CorLevel level;
  const char* word;
} kCorLevelWords[] = {{CorLevel::ActiveHigh, "alto"}, {CorLevel::ActiveLow, "baixo"}};

}  // namespace

QString corLevelWord(CorLevel level) {
  for (const auto& entry : kCorLevelWords)
    if (entry.level == level)
      return QLatin1String(entry.word);
  return {};
}

std::optional<CorLevel> corLevelOfWord(QStringView word) {
  for (const auto& entry : kCorLevelWords)
    if (word == QLatin1String(entry.word))
      return entry.level;
  return std::nullopt;
}

std::optional<DelayTime> DelayTime::fromMilliseconds(int milliseconds) {
  if (milliseconds < 0 || milliseconds > kLongestMs || milliseconds % kStepMs != 0)
    return std::nullopt;
  return DelayTime(milliseconds);
}

std::optional<DelayTime> DelayTime::fromListText(QStringView text) {
  if (text.size() != 5)
    return std::nullopt;
  int milliseconds = 0;
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9'))
      return std::nullopt;
    milliseconds = milliseconds * 10 + (c.unicode() - '0');
  }
  return fromMilliseconds(milliseconds);
}

QList<DelayTime> DelayTime::choices() {
  QList<DelayTime> all;
  all.reserve(kChoiceCount);
  for (int milliseconds = 0; milliseconds <= kLongestMs; milliseconds += kStepMs)
    all.append(DelayTime(milliseconds));
  return all;
}

QString DelayTime::listText() const { return formatDelayText(m_milliseconds); }

QList<int> RadioSet::radios() const {
  QList<int> members;
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    if (contains(radio))
      members.append(radio);
  }
  return members;
}

int routedRadio(int radio, int routeKey) {
  if (!isRadioNumber(radio) || routeKey < kFirstRouteKey || routeKey > kLastRouteKey)
    return 0;
  const int row = routeKey - 1;  // 1..3: the lowest other radio first
  return row < radio ? row : row + 1;
}

QString formatDelayText(int milliseconds) { return (QStringLiteral("00000") + QString::number(milliseconds)).right(5); }

QStringList delayChoiceList() {
  QStringList entries;
  entries.reserve(DelayTime::kChoiceCount);
  for (const DelayTime time : DelayTime::choices())
    entries.append(time.listText());
  return entries;
}

}  // namespace zelqon
