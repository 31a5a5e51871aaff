#include "serial/server_trust.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSaveFile>
#include <QSslSocket>

#include <algorithm>

namespace zelqon {

QString certificateFingerprint(const QSslCertificate& certificate) {
  const QByteArray digest = QCryptographicHash::hash(certificate.toDer(), QCryptographicHash::Sha256);
  return QStringLiteral("SHA256:") +
         QString::fromLatin1(digest.toBase64(QByteArray::Base64Encoding | QByteArray::OmitTrailingEquals));
}

CertificateFacts certificateFacts(const QSslCertificate& certificate) {
  return {certificate.subjectDisplayName(), certificate.issuerDisplayName(),     certificate.effectiveDate(),
          certificate.expiryDate(),         certificateFingerprint(certificate), certificate.toPem()};
}

QString TrustedServers::fileName(const QString& host, quint16 port) {
  QString safe = host.toLower();
  safe.replace(QLatin1Char(':'), QLatin1Char('+'));
  return QStringLiteral("%1_%2.pem").arg(safe).arg(port);
}

QString TrustedServers::pathFor(const QString& host, quint16 port) const {
  return m_folder + QLatin1Char('/') + fileName(host, port);
}

KeptCertificate TrustedServers::kept(const QString& host, quint16 port) const {
  const QString path = pathFor(host, port);
  const auto read = readCertificateFile(path);
  if (const auto* problem = std::get_if<CredentialFileProblem>(&read))
    return {*problem == CredentialFileProblem::Missing ? KeptCertificate::State::None : KeptCertificate::State::Damaged,
            QSslCertificate(), path};
  const auto& certificates = std::get<QList<QSslCertificate>>(read);
  if (certificates.size() != 1)
    return {KeptCertificate::State::Damaged, QSslCertificate(), path};
  return {KeptCertificate::State::Kept, certificates.first(), path};
}

std::optional<KeepFailure> TrustedServers::keep(const QString& host, quint16 port,
                                                const QSslCertificate& certificate) const {
  const QString path = pathFor(host, port);
  if (!QDir().mkpath(m_folder))
    return KeepFailure{path, QStringLiteral("mkdir %1").arg(m_folder)};
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(certificate.toPem()) < 0 || !file.commit())
    return KeepFailure{path, file.errorString()};
  return std::nullopt;
}

ServerCertificateFile readServerCertificateFile(const QString& path) { return {path, readCertificateFile(path)}; }

QSslConfiguration serverTlsConfiguration(QSslConfiguration base, const ServerCertificateFile* configured) {
  base.setProtocol(QSsl::TlsV1_2OrLater);
  base.setPeerVerifyMode(QSslSocket::VerifyPeer);
  if (configured) {
    if (const auto* certificates = std::get_if<QList<QSslCertificate>>(&configured->read))
      base.setCaCertificates(*certificates);
  }
  return base;
}

namespace {

// What the handshake's errors say of a chain checked against trusted
// authorities: nothing wrong, only the name, or more.
std::optional<TrustRefusal> refusalOf(const QList<QSslError>& errors) {
  if (errors.isEmpty())
    return std::nullopt;
  const bool onlyTheName = std::all_of(errors.begin(), errors.end(), [](const QSslError& error) {
    return error.error() == QSslError::HostNameMismatch;
  });
  return onlyTheName ? TrustRefusal::WrongName : TrustRefusal::NotTrusted;
}

}  // namespace

TrustDecision decideServerTrust(const PresentedServer& server, const ServerCertificateFile* configured,
                                const TrustedServers& store, const QDateTime& now) {
  ServerRefused refused{TrustRefusal::NotTrusted, server.host, server.port, {}, {}, {}, {}};
  if (server.chain.isEmpty())
    return refused;
  const QSslCertificate& leaf = server.chain.first();
  refused.presented = certificateFacts(leaf);

  if (configured) {
    refused.file = configured->path;
    if (const auto* problem = std::get_if<CredentialFileProblem>(&configured->read)) {
      refused.cause = TrustRefusal::BadConfiguredFile;
      refused.fileProblem = *problem;
      return refused;
    }
  }
  if (now < leaf.effectiveDate()) {
    refused.cause = TrustRefusal::NotYetValid;
    return refused;
  }
  if (now > leaf.expiryDate()) {
    refused.cause = TrustRefusal::Expired;
    return refused;
  }

  if (configured) {
    // The server's own certificate is trusted as it is: a self-signed one
    // names no host the operator would type ("host-ser2net").
    const auto& certificates = std::get<QList<QSslCertificate>>(configured->read);
    const QString fingerprint = refused.presented.fingerprint;
    if (std::any_of(certificates.begin(), certificates.end(), [&](const QSslCertificate& certificate) {
          return certificateFingerprint(certificate) == fingerprint;
        }))
      return ServerTrusted{TrustedBy::ConfiguredFile};
    if (const auto refusal = refusalOf(server.errors)) {
      refused.cause = *refusal;
      return refused;
    }
    return ServerTrusted{TrustedBy::ConfiguredFile};
  }

  const KeptCertificate kept = store.kept(server.host, server.port);
  switch (kept.state) {
    case KeptCertificate::State::Damaged:
      refused.cause = TrustRefusal::DamagedKeptFile;
      refused.file = kept.path;
      return refused;
    case KeptCertificate::State::Kept:
      if (certificateFingerprint(kept.certificate) == refused.presented.fingerprint)
        return ServerTrusted{TrustedBy::KeptBefore};
      refused.cause = TrustRefusal::Changed;
      refused.kept = certificateFacts(kept.certificate);
      refused.file = kept.path;
      return refused;
    case KeptCertificate::State::None:
      break;
  }
  if (const auto refusal = refusalOf(server.errors)) {
    refused.cause = *refusal;
    return refused;
  }
  return ServerTrusted{TrustedBy::SystemStore};
}

std::variant<QList<QSslCertificate>, QString> fetchServerChain(const QString& host, quint16 port,
                                                               std::chrono::milliseconds timeout) {
  QSslSocket socket;
  socket.setSslConfiguration(serverTlsConfiguration(QSslConfiguration::defaultConfiguration(), nullptr));
  // Through its errors only to see the certificate: the socket is dropped unwritten.
  QObject::connect(&socket, &QSslSocket::sslErrors, &socket, [&socket] { socket.ignoreSslErrors(); });
  socket.connectToHostEncrypted(host, port);
  const bool shown = socket.waitForEncrypted(int(timeout.count())) && !socket.peerCertificateChain().isEmpty();
  std::variant<QList<QSslCertificate>, QString> result;
  if (shown)
    result = socket.peerCertificateChain();
  else
    result = socket.errorString();
  socket.abort();
  return result;
}

}  // namespace zelqon
