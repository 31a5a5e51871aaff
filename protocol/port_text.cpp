#include "protocol/port_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace zelqon {

namespace {

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n'); }

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// The power of ten of the leading significant digit of "ddd.ddde[+-]xxx",
// enough to tell an overflow from an underflow.
long long decimalExponent(std::string_view number) {
  const std::size_t ePos = number.find_first_of("eE");
  const std::string_view mantissa = number.substr(0, ePos);
  long long exponent = 0;
  if (ePos != std::string_view::npos) {
    std::string_view digits = number.substr(ePos + 1);
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+'))
      digits.remove_prefix(1);
    for (char c : digits) {
      exponent = std::min<long long>(exponent * 10 + (c - '0'), 1'000'000'000LL);
    }
    if (negative)
      exponent = -exponent;
  }
  const std::size_t point = mantissa.find('.');
  const std::string_view whole = mantissa.substr(0, point);
  const std::size_t firstWhole = whole.find_first_not_of('0');
  if (firstWhole != std::string_view::npos)
    return exponent + static_cast<long long>(whole.size() - firstWhole);
  if (point != std::string_view::npos) {
    const std::string_view fraction = mantissa.substr(point + 1);
    const std::size_t firstFraction = fraction.find_first_not_of('0');
    if (firstFraction != std::string_view::npos)
      return exponent - static_cast<long long>(firstFraction);
  }
  return std::numeric_limits<long long>::min();  // all zeros
}

// Walks the text, passing over blanks, one character of the number at a time.
class NumberReader {
 public:
  explicit NumberReader(QStringView text) : m_text(text) {}

  [[nodiscard]] QChar peek() {
    while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
      ++m_pos;
    return m_pos < m_text.size() ? m_text[m_pos] : QChar();
  }
  void take(std::string& into) { into += static_cast<char>(m_text[m_pos++].unicode()); }
  // Copies digits into `into`; returns how many.
  int takeDigits(std::string& into) {
    int count = 0;
    while (isDigit(peek())) {
      take(into);
      ++count;
    }
    return count;
  }
  [[nodiscard]] qsizetype position() const { return m_pos; }
  void rewind(qsizetype pos) { m_pos = pos; }

 private:
  QStringView m_text;
  qsizetype m_pos = 0;
};

// Correctly rounded and independent of the process locale (a Portuguese locale
// would otherwise expect a decimal comma). A value past the range of double is
// +-infinity when its magnitude is huge and 0 when it is tiny.
double parseDecimal(const std::string& number) {
  const bool negative = !number.empty() && number.front() == '-';
  const std::size_t start = (!number.empty() && (number.front() == '-' || number.front() == '+')) ? 1 : 0;
  double magnitude = 0.0;
  const char* first = number.data() + start;
  const char* last = number.data() + number.size();
  const auto [end, error] = std::from_chars(first, last, magnitude);
  if (error == std::errc::result_out_of_range) {
    magnitude = decimalExponent(std::string_view(first, static_cast<std::size_t>(last - first))) > 0
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
  }
  return negative ? -magnitude : magnitude;
}

}  // namespace

double leadingNumber(QStringView text) {
  NumberReader reader(text);
  std::string number;
  if (reader.peek() == QLatin1Char('+') || reader.peek() == QLatin1Char('-'))
    reader.take(number);
  int mantissaDigits = reader.takeDigits(number);
  if (reader.peek() == QLatin1Char('.')) {
    reader.take(number);
    mantissaDigits += reader.takeDigits(number);
  }
  if (mantissaDigits == 0)
    return 0.0;

  // An exponent counts only when digits follow it; otherwise reading stops
  // before the letter and the mantissa stands alone.
  if (reader.peek() == QLatin1Char('e') || reader.peek() == QLatin1Char('E')) {
    const qsizetype markPos = reader.position();
    const std::size_t markLen = number.size();
    number += 'e';
    reader.rewind(reader.position() + 1);
    if (reader.peek() == QLatin1Char('+') || reader.peek() == QLatin1Char('-'))
      reader.take(number);
    if (reader.takeDigits(number) == 0) {
      number.resize(markLen);
      reader.rewind(markPos);
    }
  }
  return parseDecimal(number);
}

std::optional<qint16> portNumberFromText(QStringView text) {
  const double value = leadingNumber(text);
  if (!std::isfinite(value))
    return std::nullopt;
  // nearbyint rounds in the current mode, which is to nearest, halves to even.
  const double rounded = std::nearbyint(value);
  if (rounded < std::numeric_limits<qint16>::min() || rounded > std::numeric_limits<qint16>::max())
    return std::nullopt;
  return static_cast<qint16>(rounded);
}

}  // namespace zelqon
