#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>
#include <variant>

namespace zelqon {

// How a network serial server carries the line.
enum class NetworkProtocol {
  Rfc2217,  // Telnet with the COM-PORT option: the program sets the line itself
  RawTcp,   // the bytes as they are; the server's configuration sets the line
};

// Whether the connection to the server is wrapped in TLS ("+tls" after the
// protocol's name in the scheme).
enum class NetworkSecurity {
  Plain,
  Tls,
};

// A serial line behind a network server: "rfc2217://HOST:PORT",
// "tcp://HOST:PORT", or either with "+tls" ("rfc2217+tls://HOST:PORT"), HOST
// a name, an IPv4 address or a bracketed IPv6 address.
struct NetworkAddress {
  NetworkProtocol protocol = NetworkProtocol::Rfc2217;
  QString host;  // without brackets
  quint16 port = 0;
  NetworkSecurity security = NetworkSecurity::Plain;

  // As the operator writes it: the scheme in lower case, an IPv6 host in
  // brackets.
  [[nodiscard]] QString text() const;

  friend bool operator==(const NetworkAddress&, const NetworkAddress&) = default;
};

// Reads "rfc2217://HOST:PORT", "tcp://HOST:PORT", "rfc2217+tls://HOST:PORT"
// or "tcp+tls://HOST:PORT" (the scheme in any case, blanks around the whole
// text ignored). Empty for anything else: another
// scheme, no port or port 0, a port above 65535, a host with blanks, a
// missing bracket.
[[nodiscard]] std::optional<NetworkAddress> parseNetworkAddress(QStringView text);

// True when the text starts like a network address ("scheme://"), so that a
// refusal can say what was wrong with it rather than call it no number.
[[nodiscard]] bool looksLikeNetworkAddress(QStringView text);

// A serial device named by where the system keeps it ("/dev/ttyUSB0").
struct DevicePath {
  QString path;
  friend bool operator==(const DevicePath&, const DevicePath&) = default;
};

// The port the program talks to the controller through: a number of the
// port list, a device by its path, or a network serial server.
class PortChoice {
 public:
  // Implicit on purpose: a list number, a device and a server each are a
  // port choice as they stand.
  PortChoice(qint16 listNumber = 1) : m_where(listNumber) {}           // NOLINT(google-explicit-constructor)
  PortChoice(DevicePath device) : m_where(std::move(device)) {}        // NOLINT(google-explicit-constructor)
  PortChoice(NetworkAddress address) : m_where(std::move(address)) {}  // NOLINT(google-explicit-constructor)

  [[nodiscard]] std::optional<qint16> listNumber() const;
  [[nodiscard]] const DevicePath* device() const { return std::get_if<DevicePath>(&m_where); }
  [[nodiscard]] const NetworkAddress* network() const { return std::get_if<NetworkAddress>(&m_where); }

  // As a profile and the port box hold it: "3", "/dev/ttyUSB0",
  // "rfc2217://site:2217".
  [[nodiscard]] QString text() const;

  friend bool operator==(const PortChoice&, const PortChoice&) = default;

 private:
  std::variant<qint16, DevicePath, NetworkAddress> m_where;
};

// How a port text is read. Exact: what a profile or the command line holds.
// Lenient: the window's port box, whose number may carry blanks anywhere, a
// fraction or an exponent ("1 2" is 12, "1e1" is 10, "2.5" rounds half to
// even); a text that starts with no number reads as 0, which is no port.
enum class PortReading { Exact, Lenient };

// Why a text names no port.
enum class PortTextProblem {
  Empty,
  NotAPort,           // no number, COMn, device path or network address
  NumberOutOfRange,   // a list number outside 1..32767
  BadNetworkAddress,  // starts like "scheme://" but is no address this program connects to
};

// One grammar for every port text: "COMn" and "\\.\COMn" (any case) are
// list number n on every system, as the program names its ports; digits are
// a list number; a text starting with '/' is a device path; "rfc2217://" and
// "tcp://" are network addresses. Blanks around the whole text are ignored.
[[nodiscard]] std::variant<PortChoice, PortTextProblem> readPortChoice(QStringView text, PortReading reading);
// The same, for a caller to whom every problem is the same: none.
[[nodiscard]] std::optional<PortChoice> portChoiceIn(QStringView text, PortReading reading);

}  // namespace zelqon
