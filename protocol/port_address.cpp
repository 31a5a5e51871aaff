#include "protocol/port_address.h"

#include "protocol/port_text.h"

#include <algorithm>
#include <limits>

namespace zelqon {

namespace {

constexpr qsizetype kLongestHost = 253;  // a DNS name's limit

QString schemeOf(NetworkProtocol protocol) {
  return protocol == NetworkProtocol::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("tcp");
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
      .arg(schemeOf(protocol), ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host)
      .arg(port);
}

bool looksLikeNetworkAddress(QStringView text) { return text.trimmed().contains(QLatin1String("://")); }

std::optional<NetworkAddress> parseNetworkAddress(QStringView text) {
  text = text.trimmed();
  const qsizetype separator = text.indexOf(QLatin1String("://"));
  if (separator < 0)
    return std::nullopt;
  NetworkAddress address;
  const QStringView scheme = text.left(separator);
  if (scheme.compare(QLatin1String("rfc2217"), Qt::CaseInsensitive) == 0)
    address.protocol = NetworkProtocol::Rfc2217;
  else if (scheme.compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0)
    address.protocol = NetworkProtocol::RawTcp;
  else
    return std::nullopt;

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
