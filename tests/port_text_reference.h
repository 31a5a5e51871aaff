#pragma once

// An independent reading of typed port texts, written from the rules rather
// than from the product's code: strip every blank first, match the number
// with a regular expression, convert with the C library in the "C" locale,
// round half to even by hand.

#include <QRegularExpression>
#include <QString>

#include <locale.h>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace reference {

inline std::optional<int> portNumber(const QString& text) {
  QString packed = text;
  packed.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\n'));
  static const QRegularExpression number(
      QStringLiteral("^[+-]?(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?"));
  const QRegularExpressionMatch match = number.match(packed);
  double value = 0.0;
  if (match.hasMatch()) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    value = strtod_l(match.captured(0).toLatin1().constData(), nullptr, cLocale);
  }
  if (!std::isfinite(value))
    return std::nullopt;
  double whole = std::floor(value);
  const double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
    whole += 1.0;
  if (whole < -32768.0 || whole > 32767.0)
    return std::nullopt;
  return int(whole);
}

}  // namespace reference
