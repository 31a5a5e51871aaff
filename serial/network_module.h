#pragma once

// What the network module gives the program: network ports, and what TLS
// needs before one (this computer's files read and checked, a server's
// certificate shown and kept). The module holds everything that maps
// Qt Network and OpenSSL, and is loaded the first time a network address is
// chosen (serial/network_support.h); a session that only ever opens serial
// ports never maps them.
//
// Only plain types cross between the program and the module, and no C++
// exception does: each failure is returned, and raised again on this side.

#include "protocol/link_error.h"
#include "protocol/port_choice.h"
#include "protocol/server_refusal.h"
#include "serial/port_service.h"
#include "serial/tls_files.h"

#include <QByteArray>
#include <QString>
#include <QtPlugin>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace zelqon {

// This computer's files as read and checked by the module; what they hold is
// the module's alone. None: the system's authorities and the servers this
// user trusts, and no certificate of this computer.
struct TlsCredentials;
using SharedTlsCredentials = std::shared_ptr<const TlsCredentials>;

// What a network link tells from the event loop, as PortService's signals do.
struct NetworkLinkEvents {
  std::function<void(PortState)> stateChanged;
  std::function<void(const LinkError&)> openFailed;
  std::function<void(const LinkError&)> hungUp;
  std::function<void()> drained;
  std::function<void(const LinkError&)> drainFailed;
};

// A PortService's calls, each failure returned instead of raised.
class NetworkLink {
 public:
  virtual ~NetworkLink() = default;

  [[nodiscard]] virtual PortState state() const = 0;
  [[nodiscard]] virtual QString displayName() const = 0;
  [[nodiscard]] virtual std::variant<OpenProgress, LinkError> open() = 0;
  virtual void close() = 0;
  [[nodiscard]] virtual std::optional<LinkError> writeText(const QString& text) = 0;
  virtual void requestDrain() = 0;
  [[nodiscard]] virtual std::variant<QString, LinkError> readAllPending() = 0;
};

class NetworkModule {
 public:
  virtual ~NetworkModule() = default;

  // A closed link to `address`; its news goes to `events`.
  [[nodiscard]] virtual std::unique_ptr<NetworkLink> makeLink(const NetworkAddress& address,
                                                              SharedTlsCredentials credentials,
                                                              NetworkLinkEvents events) const = 0;
  [[nodiscard]] virtual std::variant<SharedTlsCredentials, TlsFilesRefusal> readTlsCredentials(
      const TlsFiles& files) const = 0;
  // The certificate a TLS server shows, connecting only to see it and
  // writing nothing; the system's words when it shows none in `timeout`.
  [[nodiscard]] virtual std::variant<CertificateFacts, QString> fetchServerCertificate(
      const NetworkAddress& address, std::chrono::milliseconds timeout) const = 0;
  // Keeps `pem` as the certificate this user trusts for the server at
  // `host` and `port`, in `folder`; the path of the file written.
  [[nodiscard]] virtual std::variant<QString, KeepFailure> keepServerCertificate(const QString& folder,
                                                                                 const QString& host, quint16 port,
                                                                                 const QByteArray& pem) const = 0;
};

}  // namespace zelqon

#define ZELQON_NETWORK_MODULE_IID "io.github.zelqon.programmer.NetworkModule/1"
Q_DECLARE_INTERFACE(zelqon::NetworkModule, ZELQON_NETWORK_MODULE_IID)
