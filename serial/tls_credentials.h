#pragma once

#include "protocol/site_profile.h"
#include "serial/client_identity.h"
#include "serial/server_trust.h"

#include <optional>
#include <variant>

namespace zelqon {

// What a TLS server is weighed against, and how this computer proves itself
// when asked: read and checked before a connection is made, and given to the
// network port when it is made.
struct TlsCredentials {
  std::optional<ServerCertificateFile> serverCertificate;  // --server-cert: decides alone
  QString trustedFolder = TrustedServers::userFolder();    // the certificates kept per server
  std::optional<ClientIdentity> identity;
};

// The files one place names (the command line, a profile, the user's own
// folder); an empty path names none.
struct TlsFiles {
  QString serverCertificate;
  QString clientCertificate;
  QString clientKey;

  [[nodiscard]] bool namesClientPair() const { return !clientCertificate.isEmpty() || !clientKey.isEmpty(); }
};

// This computer's certificate and key for every server that asks for one,
// "certificado.pem" and "chave.pem" in the user's configuration folder;
// named only when at least one of the two is there.
[[nodiscard]] TlsFiles userClientPair(const QString& folder = userConfigFolder());

// The files a profile names, each read from the profile's folder.
[[nodiscard]] TlsFiles profileTlsFiles(const SiteProfile& profile, const QString& profilePath);

// Each file from the first place that names it: the server's certificate
// alone, this computer's pair as a pair (a place naming half of it decides,
// and is refused).
[[nodiscard]] TlsFiles chooseTlsFiles(const TlsFiles& commandLine, const TlsFiles& profile,
                                      const TlsFiles& userDefault);

// Why the chosen files give no credentials.
struct ServerFileRefusal {
  QString file;
  CredentialFileProblem problem;
};
struct HalfAPair {
  QString named;  // the certificate or the key given without the other
};
using TlsFilesRefusal = std::variant<ServerFileRefusal, IdentityRefusal, HalfAPair>;

[[nodiscard]] std::variant<TlsCredentials, TlsFilesRefusal> readTlsCredentials(const TlsFiles& files);

}  // namespace zelqon
