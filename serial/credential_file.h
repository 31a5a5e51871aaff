#pragma once

#include "protocol/server_refusal.h"

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

#include <variant>

namespace zelqon {

// A certificate chain or a key is a few kilobytes; a file past this is none.
constexpr qint64 kLargestCredentialFile = 256 * 1024;

// The file's bytes, read only when it is no larger than kLargestCredentialFile.
[[nodiscard]] std::variant<QByteArray, CredentialFileProblem> readCredentialFile(const QString& path);

// The certificates of a PEM file, in their order; never an empty list.
[[nodiscard]] std::variant<QList<QSslCertificate>, CredentialFileProblem> readCertificateFile(const QString& path);

}  // namespace zelqon
