#pragma once

#include "serial/tls_files.h"

#include <QString>

namespace zelqon {

// The operator's words for a TLS server's certificate and for this
// computer's own, made from the facts serial/ returns; for both front ends.

// Subject, issuer, validity and fingerprint, one to a line.
[[nodiscard]] QString describeCertificateFacts(const CertificateFacts& facts);
// Why the server at `address` (as the operator wrote it) was not trusted, its
// certificate's facts and how to trust it.
[[nodiscard]] QString describeServerRefusal(const ServerRefused& refused, const QString& address);
// The question on first contact with a server nothing vouches for: its
// certificate's facts and what to compare before trusting it.
[[nodiscard]] QString describeFirstContact(const ServerRefused& refused, const QString& address);
[[nodiscard]] QString describeCredentialFileProblem(CredentialFileProblem problem, const QString& path);
[[nodiscard]] QString describeKeepFailure(const KeepFailure& failure);
[[nodiscard]] QString describeIdentityRefusal(const IdentityRefusal& refusal);
[[nodiscard]] QString describeTlsFilesRefusal(const TlsFilesRefusal& refusal);

}  // namespace zelqon
