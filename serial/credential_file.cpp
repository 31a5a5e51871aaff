#include "serial/credential_file.h"

#include <QFile>
#include <QFileInfo>

namespace zelqon {

std::variant<QByteArray, CredentialFileProblem> readCredentialFile(const QString& path) {
  if (!QFileInfo::exists(path))
    return CredentialFileProblem::Missing;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return CredentialFileProblem::Unreadable;
  // One byte past the limit tells a file that grew past it from one that
  // ends there, whatever size the system reports (a pipe reports none).
  QByteArray bytes = file.read(kLargestCredentialFile + 1);
  if (bytes.size() > kLargestCredentialFile)
    return CredentialFileProblem::TooLarge;
  if (file.error() != QFileDevice::NoError)
    return CredentialFileProblem::Unreadable;
  return bytes;
}

std::variant<QList<QSslCertificate>, CredentialFileProblem> readCertificateFile(const QString& path) {
  auto read = readCredentialFile(path);
  if (const auto* problem = std::get_if<CredentialFileProblem>(&read))
    return *problem;
  QList<QSslCertificate> certificates = QSslCertificate::fromData(std::get<QByteArray>(read), QSsl::Pem);
  certificates.removeIf([](const QSslCertificate& certificate) { return certificate.isNull(); });
  if (certificates.isEmpty())
    return CredentialFileProblem::NoCertificate;
  return certificates;
}

}  // namespace zelqon
