#include "serial/tls_credentials.h"

namespace zelqon {

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
