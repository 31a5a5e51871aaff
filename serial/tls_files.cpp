#include "serial/tls_files.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zelqon {

QString userConfigFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/zelqon");
}

QString trustedServersFolder() { return userConfigFolder() + QStringLiteral("/servidores"); }

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

}  // namespace zelqon
