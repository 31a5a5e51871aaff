#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>

namespace zelqon {

// How a network serial server carries the line.
enum class NetworkProtocol {
  Rfc2217,  // Telnet with the COM-PORT option: the program sets the line itself
  RawTcp,   // the bytes as they are; the server's configuration sets the line
};

// A serial line behind a network server: "rfc2217://HOST:PORT" or
// "tcp://HOST:PORT", HOST a name, an IPv4 address or a bracketed IPv6 address.
struct NetworkAddress {
  NetworkProtocol protocol = NetworkProtocol::Rfc2217;
  QString host;  // without brackets
  quint16 port = 0;

  // As the operator writes it: the scheme in lower case, an IPv6 host in
  // brackets.
  [[nodiscard]] QString text() const;

  friend bool operator==(const NetworkAddress&, const NetworkAddress&) = default;
};

// Reads "rfc2217://HOST:PORT" or "tcp://HOST:PORT" (the scheme in any case,
// blanks around the whole text ignored). Empty for anything else: another
// scheme, no port or port 0, a port above 65535, a host with blanks, a
// missing bracket.
[[nodiscard]] std::optional<NetworkAddress> parseNetworkAddress(QStringView text);

// True when the text starts like a network address ("scheme://"), so that a
// refusal can say what was wrong with it rather than call it no number.
[[nodiscard]] bool looksLikeNetworkAddress(QStringView text);

}  // namespace zelqon
