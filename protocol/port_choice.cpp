#include "protocol/port_choice.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace zelqon {

namespace {

// A list number as typed in the port box, read the same whatever the
// process's locale.
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

// The leading decimal number of a text, as the port list reads typed text:
// blanks (space, tab, line feed) are skipped anywhere; then an optional sign,
// digits, an optional '.' with digits and an optional exponent (E or e, sign,
// digits). Reading stops at the first character that cannot continue the
// number; a text that does not start with one is 0.
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

// The port number of a typed text: its leading number rounded half to even.
// Empty when the result does not fit a 16-bit signed integer.
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

constexpr qsizetype kLongestHost = 253;  // a DNS name's limit

// Every scheme a network address may have, each with what it stands for.
struct Scheme {
  QLatin1String name;
  NetworkProtocol protocol;
  NetworkSecurity security;
};
constexpr std::array kSchemes{
    Scheme{QLatin1String("rfc2217"), NetworkProtocol::Rfc2217, NetworkSecurity::Plain},
    Scheme{QLatin1String("rfc2217+tls"), NetworkProtocol::Rfc2217, NetworkSecurity::Tls},
    Scheme{QLatin1String("tcp"), NetworkProtocol::RawTcp, NetworkSecurity::Plain},
    Scheme{QLatin1String("tcp+tls"), NetworkProtocol::RawTcp, NetworkSecurity::Tls},
};

QLatin1String schemeOf(const NetworkAddress& address) {
  for (const Scheme& scheme : kSchemes) {
    if (scheme.protocol == address.protocol && scheme.security == address.security)
      return scheme.name;
  }
  return {};  // unreachable: the table holds every pair
}

bool isHostCharacter(QChar c) {
  return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
         (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') || c == QLatin1Char('.') ||
         c == QLatin1Char('_');
}

bool isIpv6Character(QChar c) {
  return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
         (c >= QLatin1Char('A') && c <= QLatin1Char('F')) || c == QLatin1Char(':') || c == QLatin1Char('.');
}

std::optional<quint16> portOf(QStringView digits) {
  if (digits.isEmpty() || digits.size() > 5)
    return std::nullopt;
  int value = 0;
  for (const QChar c : digits) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9'))
      return std::nullopt;
    value = value * 10 + (c.unicode() - '0');
  }
  if (value < 1 || value > 65535)
    return std::nullopt;
  return quint16(value);
}

bool isAllDigits(QStringView text) {
  return !text.isEmpty() &&
         std::all_of(text.begin(), text.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// A list number as digits alone, 1..32767.
std::variant<PortChoice, PortTextProblem> exactListNumber(QStringView digits) {
  if (!isAllDigits(digits))
    return PortTextProblem::NotAPort;
  const int value = digits.size() <= 5 ? digits.toInt() : 0;
  if (value < 1 || value > std::numeric_limits<qint16>::max())
    return PortTextProblem::NumberOutOfRange;
  return PortChoice(qint16(value));
}

}  // namespace

std::optional<qint16> PortChoice::listNumber() const {
  if (const auto* number = std::get_if<qint16>(&m_where))
    return *number;
  return std::nullopt;
}

QString PortChoice::text() const {
  if (const auto number = listNumber())
    return QString::number(*number);
  if (const auto* where = device())
    return where->path;
  return network()->text();
}

std::variant<PortChoice, PortTextProblem> readPortChoice(QStringView text, PortReading reading) {
  const QStringView trimmed = text.trimmed();
  if (trimmed.isEmpty())
    return PortTextProblem::Empty;
  if (looksLikeNetworkAddress(trimmed)) {
    if (auto address = parseNetworkAddress(trimmed))
      return PortChoice(std::move(*address));
    return PortTextProblem::BadNetworkAddress;
  }
  if (trimmed.startsWith(QLatin1Char('/'))) {
    if (trimmed.size() < 2 || std::any_of(trimmed.begin(), trimmed.end(), [](QChar c) { return c.unicode() < 0x20; }))
      return PortTextProblem::NotAPort;
    return PortChoice(DevicePath{trimmed.toString()});
  }
  QStringView device = trimmed;
  if (device.startsWith(QLatin1String("\\\\.\\")))
    device = device.mid(4);
  if (device.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) && isAllDigits(device.mid(3)))
    return exactListNumber(device.mid(3));
  if (reading == PortReading::Exact)
    return exactListNumber(trimmed);
  if (const auto number = portNumberFromText(text); number && *number >= 1)
    return PortChoice(*number);
  return PortTextProblem::NumberOutOfRange;
}

std::optional<PortChoice> portChoiceIn(QStringView text, PortReading reading) {
  auto read = readPortChoice(text, reading);
  if (auto* choice = std::get_if<PortChoice>(&read))
    return std::move(*choice);
  return std::nullopt;
}

QString NetworkAddress::text() const {
  const bool ipv6 = host.contains(QLatin1Char(':'));
  return QStringLiteral("%1://%2:%3")
      .arg(schemeOf(*this), ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host)
      .arg(port);
}

bool looksLikeNetworkAddress(QStringView text) { return text.trimmed().contains(QLatin1String("://")); }

std::optional<NetworkAddress> parseNetworkAddress(QStringView text) {
  text = text.trimmed();
  const qsizetype separator = text.indexOf(QLatin1String("://"));
  if (separator < 0)
    return std::nullopt;
  NetworkAddress address;
  const QStringView schemeText = text.left(separator);
  const auto* scheme = std::find_if(kSchemes.begin(), kSchemes.end(), [&](const Scheme& known) {
    return schemeText.compare(known.name, Qt::CaseInsensitive) == 0;
  });
  if (scheme == kSchemes.end())
    return std::nullopt;
  address.protocol = scheme->protocol;
  address.security = scheme->security;

  QStringView rest = text.mid(separator + 3);
  QStringView host;
  if (rest.startsWith(QLatin1Char('['))) {
    const qsizetype close = rest.indexOf(QLatin1Char(']'));
    if (close < 0)
      return std::nullopt;
    host = rest.mid(1, close - 1);
    // The resolver has the last word on the form; this keeps out what can
    // be no IPv6 address at all.
    if (host.count(QLatin1Char(':')) < 2 || !std::all_of(host.begin(), host.end(), isIpv6Character))
      return std::nullopt;
    rest = rest.mid(close + 1);
    if (!rest.startsWith(QLatin1Char(':')))
      return std::nullopt;
    rest = rest.mid(1);
  } else {
    const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
      return std::nullopt;
    host = rest.left(colon);
    if (host.size() > kLongestHost || !std::all_of(host.begin(), host.end(), isHostCharacter))
      return std::nullopt;
    rest = rest.mid(colon + 1);
  }
  const auto port = portOf(rest);
  if (!port || host.isEmpty())
    return std::nullopt;
  address.host = host.toString();
  address.port = *port;
  return address;
}

}  // namespace zelqon
