#pragma once

#include "serial/credential_file.h"
#include "serial/tls_files.h"

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

#include <variant>

namespace zelqon {

// How this computer proves itself to a server that asks for a client
// certificate.
struct ClientIdentity {
  QSslCertificate certificate;
  QSslKey key;
};

// Reads a PEM certificate (the first of its file) and its PEM private key:
// RSA, EC or Ed25519 (what ser2net's gtlssh-keygen makes), unlocked.
[[nodiscard]] std::variant<ClientIdentity, IdentityRefusal> loadClientIdentity(const QString& certificatePath,
                                                                               const QString& keyPath);

}  // namespace zelqon
