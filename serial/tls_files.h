#pragma once

// The files a TLS connection is met with and why they may give nothing, in
// plain paths and facts: what the front ends choose and word without
// mapping Qt Network, which reads the files only in the network module.

#include "protocol/server_refusal.h"
#include "protocol/site_profile.h"

#include <QString>

#include <variant>

namespace zelqon {

// "zelqon" in the user's configuration folder: the kept servers and this
// computer's own certificate and key.
[[nodiscard]] QString userConfigFolder();
// "zelqon/servidores" there: one PEM file per server the user trusts.
[[nodiscard]] QString trustedServersFolder();

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

// What is wrong with a key file, past reading it.
enum class KeyProblem {
  ReadableByOthers,  // the group or others may read it: "chmod 600" mends it
  NotAKey,           // no private key in PEM form
  NeedsPassphrase,   // the key is locked by a passphrase, which the program cannot ask for
  DoesNotMatch,      // not the key of the certificate beside it
  NotSupportedHere,  // an Ed25519 key on a system whose TLS cannot use one (Windows)
};

// Why this computer has no identity to show the server, and which file is
// to blame.
struct IdentityRefusal {
  QString file;
  std::variant<CredentialFileProblem, KeyProblem> problem;
};

// Why the chosen files give no credentials.
struct ServerFileRefusal {
  QString file;
  CredentialFileProblem problem;
};
struct HalfAPair {
  QString named;  // the certificate or the key given without the other
};
using TlsFilesRefusal = std::variant<ServerFileRefusal, IdentityRefusal, HalfAPair>;

// A server's certificate that could not be kept.
struct KeepFailure {
  QString path;
  QString reason;  // the system's words
};

}  // namespace zelqon
