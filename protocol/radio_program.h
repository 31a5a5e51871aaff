#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

#include <optional>

namespace zelqon {

inline constexpr int kRadioCount = 4;

[[nodiscard]] constexpr bool isRadioNumber(int radio) { return radio >= 1 && radio <= kRadioCount; }

// The level at which a radio's COR input says that a signal is present.
enum class CorLevel { ActiveHigh, ActiveLow };

// The level as an operator writes it, in a profile and on the command line:
// "alto" or "baixo".
[[nodiscard]] QString corLevelWord(CorLevel level);
[[nodiscard]] std::optional<CorLevel> corLevelOfWord(QStringView word);

// A debounce or hang time as the controller takes it: one of 0, 100, ...,
// 10000 ms, written as five digits with leading zeros ("00100"). Only those
// 101 values can be made, so every message carries a time the controller
// knows.
class DelayTime {
 public:
  static constexpr int kStepMs = 100;
  static constexpr int kLongestMs = 10000;
  static constexpr int kChoiceCount = kLongestMs / kStepMs + 1;

  // 100 ms, the start-up value of both times.
  constexpr DelayTime() = default;

  [[nodiscard]] static std::optional<DelayTime> fromMilliseconds(int milliseconds);
  // A list entry exactly as the window's delay lists show it: "00000" .. "10000".
  [[nodiscard]] static std::optional<DelayTime> fromListText(QStringView text);
  // Every value, shortest first.
  [[nodiscard]] static QList<DelayTime> choices();

  [[nodiscard]] constexpr int milliseconds() const { return m_milliseconds; }
  // The five digits the message and the delay lists carry.
  [[nodiscard]] QString listText() const;

  friend constexpr bool operator==(DelayTime, DelayTime) = default;

 private:
  constexpr explicit DelayTime(int milliseconds) : m_milliseconds(milliseconds) {}
  int m_milliseconds = 100;
};

// A set of radios named by their own numbers, 1 to 4.
class RadioSet {
 public:
  constexpr RadioSet() = default;

  // Numbers outside 1..4 are never members.
  [[nodiscard]] constexpr bool contains(int radio) const { return isRadioNumber(radio) && (m_bits & bit(radio)) != 0; }
  // Adds or removes `radio`; a number outside 1..4 changes nothing.
  constexpr void set(int radio, bool member) {
    if (isRadioNumber(radio))
      m_bits = quint8(member ? (m_bits | bit(radio)) : (m_bits & ~bit(radio)));
  }
  [[nodiscard]] constexpr bool isEmpty() const { return m_bits == 0; }
  // The members in ascending order.
  [[nodiscard]] QList<int> radios() const;

  friend constexpr bool operator==(RadioSet, RadioSet) = default;

 private:
  [[nodiscard]] static constexpr quint8 bit(int radio) { return quint8(1U << unsigned(radio - 1)); }
  quint8 m_bits = 0;
};

// What one programming message carries for one radio: the level of its COR
// input, the radios it keys (PTT) while that COR is active, and its debounce
// and hang times. The defaults are the program's start-up values, which the
// factory programming also writes.
struct RadioProgram {
  CorLevel corLevel = CorLevel::ActiveHigh;
  RadioSet keyedRadios;
  DelayTime debounce;
  DelayTime hang;

  friend bool operator==(const RadioProgram&, const RadioProgram&) = default;
};

// The window's route buttons of radio n are R<n>_Cor_PTT2 .. R<n>_Cor_PTT4;
// button k keys one of the other three radios, in ascending order: for radio
// 3, PTT2 keys radio 1, PTT3 radio 2 and PTT4 radio 4. 0 when n or k is out
// of range.
inline constexpr int kFirstRouteKey = 2;
inline constexpr int kLastRouteKey = 4;
[[nodiscard]] int routedRadio(int radio, int routeKey);

// Milliseconds as five digits with leading zeros: 0 -> "00000", 10000 -> "10000".
[[nodiscard]] QString formatDelayText(int milliseconds);

// The 101 entries of every delay list: "00000", "00100", ..., "10000".
[[nodiscard]] QStringList delayChoiceList();

}  // namespace zelqon
