#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

#include <variant>

namespace zelqon {

// Why a certificate or key file gave nothing to use.
enum class CredentialFileProblem {
  Missing,
  Unreadable,
  TooLarge,       // far past any certificate chain or key: not read at all
  NoCertificate,  // read, but holds no certificate in PEM form
};

// A certificate chain or a key is a few kilobytes; a file past this is none.
constexpr qint64 kLargestCredentialFile = 256 * 1024;

// The file's bytes, read only when it is no larger than kLargestCredentialFile.
[[nodiscard]] std::variant<QByteArray, CredentialFileProblem> readCredentialFile(const QString& path);

// The certificates of a PEM file, in their order; never an empty list.
[[nodiscard]] std::variant<QList<QSslCertificate>, CredentialFileProblem> readCertificateFile(const QString& path);

}  // namespace zelqon
