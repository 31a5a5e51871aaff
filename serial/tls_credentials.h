#pragma once

#include "serial/client_identity.h"
#include "serial/server_trust.h"
#include "serial/tls_files.h"

#include <optional>
#include <variant>

namespace zelqon {

// What a TLS server is weighed against, and how this computer proves itself
// when asked: read and checked before a connection is made, and given to the
// network port when it is made.
struct TlsCredentials {
  std::optional<ServerCertificateFile> serverCertificate;  // --server-cert: decides alone
  QString trustedFolder = trustedServersFolder();          // the certificates kept per server
  std::optional<ClientIdentity> identity;
};

[[nodiscard]] std::variant<TlsCredentials, TlsFilesRefusal> readTlsCredentials(const TlsFiles& files);

}  // namespace zelqon
