#include "serial/tls_credentials.h"

#include <QDir>
#include <QFileInfo>

namespace zelqon {

TlsFiles userClientPair(const QString& folder) {
  const QDir dir(folder);
  TlsFiles pair;
  const QString certificate = dir.filePath(QStringLiteral("certificado.pem"));
  const QString key = dir.filePath(QStringLiteral("chave.pem"));
  if (QFileInfo::exists(certificate) || QFileInfo::exists(key)) {
    pair.clientCertificate = certificate;
    pair.clientKey = key;
  }
  return pair;
}

TlsFiles profileTlsFiles(const SiteProfile& profile, const QString& profilePath) {
  const auto inFolder = [&profilePath](const QString& file) {
    return file.isEmpty() ? file : profileFilePath(profilePath, file);
  };
  return {inFolder(profile.serverCertificate), inFolder(profile.clientCertificate), inFolder(profile.clientKey)};
}

TlsFiles chooseTlsFiles(const TlsFiles& commandLine, const TlsFiles& profile, const TlsFiles& userDefault) {
  TlsFiles chosen;
  chosen.serverCertificate =
      !commandLine.serverCertificate.isEmpty() ? commandLine.serverCertificate : profile.serverCertificate;
  for (const TlsFiles* place : {&commandLine, &profile, &userDefault}) {
    if (place->namesClientPair()) {
      chosen.clientCertificate = place->clientCertificate;
      chosen.clientKey = place->clientKey;
      break;
    }
  }
  return chosen;
}

std::variant<TlsCredentials, TlsFilesRefusal> readTlsCredentials(const TlsFiles& files) {
  TlsCredentials credentials;
  if (!files.serverCertificate.isEmpty()) {
    ServerCertificateFile file = readServerCertificateFile(files.serverCertificate);
    if (const auto* problem = std::get_if<CredentialFileProblem>(&file.read))
      return ServerFileRefusal{file.path, *problem};
    credentials.serverCertificate = std::move(file);
  }
  if (!files.namesClientPair())
    return credentials;
  if (files.clientCertificate.isEmpty() || files.clientKey.isEmpty())
    return HalfAPair{files.clientCertificate.isEmpty() ? files.clientKey : files.clientCertificate};
  auto identity = loadClientIdentity(files.clientCertificate, files.clientKey);
  if (auto* refusal = std::get_if<IdentityRefusal>(&identity))
    return std::move(*refusal);
  credentials.identity = std::get<ClientIdentity>(std::move(identity));
  return credentials;
}

}  // namespace zelqon
