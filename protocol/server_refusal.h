#pragma once

// Why a TLS server was not trusted, in plain facts that travel with the
// link's failure to the front ends' words.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace zelqon {

// Why a certificate or key file gave nothing to use.
enum class CredentialFileProblem {
  Missing,
  Unreadable,
  TooLarge,       // far past any certificate chain or key: not read at all
  NoCertificate,  // read, but holds no certificate in PEM form
};

// What the operator is shown of a certificate to decide whether to trust it.
struct CertificateFacts {
  QString subject;
  QString issuer;
  QDateTime notBefore;
  QDateTime notAfter;
  QString fingerprint;  // "SHA256:" and the unpadded base64 of the digest of its DER bytes
  QByteArray pem;       // the certificate itself, for the operator to keep
};

enum class TrustRefusal {
  NotTrusted,         // nothing vouches for it: the first contact, or not what the configured file names
  Expired,            // past its "not after"
  NotYetValid,        // before its "not before"
  WrongName,          // signed by a trusted authority but for another host
  Changed,            // differs from the one kept for this server
  BadConfiguredFile,  // the configured file gave no certificate
  DamagedKeptFile,    // the kept file is no single certificate
};

struct ServerRefused {
  TrustRefusal cause;
  QString host;
  quint16 port = 0;
  CertificateFacts presented;                        // empty when the server showed none
  std::optional<CertificateFacts> kept;              // Changed: the one kept before
  QString file;                                      // the configured or the kept file, when one is to blame
  std::optional<CredentialFileProblem> fileProblem;  // BadConfiguredFile
};

}  // namespace zelqon
