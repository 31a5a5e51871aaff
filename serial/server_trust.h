#pragma once

#include "serial/credential_file.h"
#include "serial/tls_files.h"

#include <QDateTime>
#include <QList>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QString>

#include <chrono>
#include <optional>
#include <variant>

namespace zelqon {

// "SHA256:" and the unpadded base64 of the SHA-256 of the certificate's DER
// bytes, as ssh shows a key; the one form the program shows and reads.
[[nodiscard]] QString certificateFingerprint(const QSslCertificate& certificate);
[[nodiscard]] CertificateFacts certificateFacts(const QSslCertificate& certificate);

// The certificate kept for a server the operator chose to trust.
struct KeptCertificate {
  enum class State { None, Kept, Damaged };  // Damaged: not a single valid certificate
  State state = State::None;
  QSslCertificate certificate;  // Kept only
  QString path;
};

// The servers this user trusts: one PEM file per host and port in a folder,
// readable and removable by hand to forget a server.
class TrustedServers {
 public:
  explicit TrustedServers(QString folder) : m_folder(std::move(folder)) {}

  // "site.example_2217.pem": the host in lower case, an IPv6 address's colons
  // as '+', which no host name holds and every file system takes.
  [[nodiscard]] static QString fileName(const QString& host, quint16 port);

  [[nodiscard]] QString pathFor(const QString& host, quint16 port) const;
  [[nodiscard]] KeptCertificate kept(const QString& host, quint16 port) const;
  // Writes the whole file or leaves the one there as it was.
  [[nodiscard]] std::optional<KeepFailure> keep(const QString& host, quint16 port,
                                                const QSslCertificate& certificate) const;

 private:
  QString m_folder;
};

// A certificate file the operator named for a server (--server-cert): the
// server's own certificate or the CA that signed it.
struct ServerCertificateFile {
  QString path;
  std::variant<QList<QSslCertificate>, CredentialFileProblem> read;
};
[[nodiscard]] ServerCertificateFile readServerCertificateFile(const QString& path);

// The TLS settings to meet a server with: TLS 1.2 or later; a configured
// file's certificates as the only authorities, else the system's. The
// handshake's errors that decideServerTrust weighs are the ones against
// these authorities.
[[nodiscard]] QSslConfiguration serverTlsConfiguration(QSslConfiguration base, const ServerCertificateFile* configured);

// What the server showed in the handshake.
struct PresentedServer {
  QString host;
  quint16 port = 0;
  QList<QSslCertificate> chain;  // its own certificate first
  QList<QSslError> errors;       // as the handshake found them
};

enum class TrustedBy {
  ConfiguredFile,  // the configured certificate, or signed by the configured CA
  SystemStore,     // signed by an authority of the system, naming the host
  KeptBefore,      // the one kept when the operator trusted this server
};

struct ServerTrusted {
  TrustedBy how;
};

using TrustDecision = std::variant<ServerTrusted, ServerRefused>;

// Whether to go on with a server, in this order: a certificate out of its
// validity is refused; a configured file decides alone (the server's own
// certificate, whatever name it carries, or a chain its CA signed for the
// host); else a certificate kept for this host and port decides (the same is
// trusted, another is Changed); else the system's authorities with the
// host's name.
[[nodiscard]] TrustDecision decideServerTrust(const PresentedServer& server, const ServerCertificateFile* configured,
                                              const TrustedServers& store, const QDateTime& now);

// Connects to a TLS server only to see the certificate chain it shows,
// writing nothing of the program's, for the operator to decide whether to
// trust it; waits at most `timeout`. The system's words when it shows none.
[[nodiscard]] std::variant<QList<QSslCertificate>, QString> fetchServerChain(const QString& host, quint16 port,
                                                                             std::chrono::milliseconds timeout);

}  // namespace zelqon
