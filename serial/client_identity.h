#pragma once

#include "serial/credential_file.h"

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

#include <variant>

namespace zelqon {

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
