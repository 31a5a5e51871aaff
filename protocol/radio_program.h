#pragma once

#include <QString>
#include <QStringList>

namespace zelqon {

inline constexpr int kRadioCount = 4;
inline constexpr int kFirstRouteKey = 2;  // route buttons are R<n>_Cor_PTT2 .. R<n>_Cor_PTT4
inline constexpr int kLastRouteKey = 4;

inline const QString kFlagOn = QStringLiteral("1");
inline const QString kFlagOff = QStringLiteral("0");

inline const QString kCorActiveHigh = QStringLiteral("ATIVO ALTO");
inline const QString kCorActiveLow = QStringLiteral("ATIVO BAIXO");
inline const QString kRouteOn = QStringLiteral("Ativado");
inline const QString kRouteOff = QStringLiteral("Desativado");

inline const QString kDefaultDelay = QStringLiteral("00100");

// What one programming message carries for one radio. Every value stays text
// from the window to the wire: the controller receives exactly what is shown.
struct RadioProgram {
  QString Cor = kFlagOn;
  QString Cor_PTT2 = kFlagOff;
  QString Cor_PTT3 = kFlagOff;
  QString Cor_PTT4 = kFlagOff;
  QString Cor_Delay_DT = kDefaultDelay;
  QString Cor_Delay_HT = kDefaultDelay;

  [[nodiscard]] const QString& routeFlag(int routeKey) const;
  [[nodiscard]] QString& routeFlag(int routeKey);

  friend bool operator==(const RadioProgram&, const RadioProgram&) = default;
};

// A toggle's visible caption and the flag that follows it.
struct FlagDisplay {
  QString caption;
  QString flag;
  friend bool operator==(const FlagDisplay&, const FlagDisplay&) = default;
};

// The toggles decide from the caption the operator sees, never from the flag:
// only the one compared caption leads to "1", any other text leads to "0".
[[nodiscard]] FlagDisplay nextCorLevel(const QString& currentCaption);
[[nodiscard]] FlagDisplay nextPttRoute(const QString& currentCaption);

// The radio that route flag Cor_PTT<routeKey> of radio n keys: the other three
// radios in ascending order.
[[nodiscard]] int routedRadio(int radio, int routeKey);

// Milliseconds as five digits with leading zeros: 0 -> "00000", 10000 -> "10000".
[[nodiscard]] QString formatDelayText(int milliseconds);

// The 101 entries of every delay list: 0, 100, ..., 10000 ms.
[[nodiscard]] QStringList delayChoiceList();

}  // namespace zelqon
