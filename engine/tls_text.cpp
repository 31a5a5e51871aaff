#include "engine/tls_text.h"

#include "protocol/overloaded.h"

#include <QStringList>

namespace zelqon {

namespace {

QString timeText(const QDateTime& time) { return time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'")); }

QString howToTrust(const QString& address) {
  return QStringLiteral(
             "Confira a impressão digital com a do certificado no servidor; se for a mesma, confie nele com "
             "\"zelqon-cli trust %1\", ou indique o certificado do servidor (ou a autoridade que o assinou) com "
             "--server-cert ARQUIVO ou com certificado_servidor no perfil.")
      .arg(address);
}

QString causeText(const ServerRefused& refused, const QString& address) {
  switch (refused.cause) {
    case TrustRefusal::NotTrusted:
      if (!refused.file.isEmpty())
        return QStringLiteral("O certificado do servidor %1 não é o de %2 nem foi assinado por ele.")
            .arg(address, refused.file);
      return QStringLiteral("Este computador ainda não confia no servidor %1.").arg(address);
    case TrustRefusal::Expired:
      return QStringLiteral("O certificado do servidor %1 venceu em %2: gere um novo no servidor.")
          .arg(address, timeText(refused.presented.notAfter));
    case TrustRefusal::NotYetValid:
      return QStringLiteral(
                 "O certificado do servidor %1 só vale a partir de %2: confira o relógio deste computador e o do "
                 "servidor.")
          .arg(address, timeText(refused.presented.notBefore));
    case TrustRefusal::WrongName:
      return QStringLiteral(
                 "O certificado do servidor não é para o nome %1: use no endereço o nome que o certificado traz.")
          .arg(refused.host);
    case TrustRefusal::Changed:
      return QStringLiteral(
                 "O certificado do servidor %1 mudou desde que este computador passou a confiar nele: outro "
                 "computador pode estar se passando pelo servidor. Guardado: %2. Apresentado agora: %3. Se o "
                 "certificado foi trocado no servidor, apague %4 e confie de novo com \"zelqon-cli trust %1\".")
          .arg(address, refused.kept ? refused.kept->fingerprint : QString(), refused.presented.fingerprint,
               refused.file);
    case TrustRefusal::BadConfiguredFile:
      return describeCredentialFileProblem(refused.fileProblem.value_or(CredentialFileProblem::NoCertificate),
                                           refused.file);
    case TrustRefusal::DamagedKeptFile:
      return QStringLiteral(
                 "O arquivo %1, em que o certificado do servidor foi guardado, está danificado (não é um único "
                 "certificado): apague-o e confie de novo com \"zelqon-cli trust %2\".")
          .arg(refused.file, address);
  }
  return {};
}

QString keyProblemText(KeyProblem problem, const QString& path) {
  switch (problem) {
    case KeyProblem::ReadableByOthers:
      return QStringLiteral(
                 "Outros usuários deste computador podem ler a chave %1: permita a leitura só ao dono com \"chmod "
                 "600 %1\".")
          .arg(path);
    case KeyProblem::NotAKey:
      return QStringLiteral("O arquivo %1 não contém uma chave privada (PEM).").arg(path);
    case KeyProblem::NeedsPassphrase:
      return QStringLiteral("A chave %1 é protegida por senha: use uma chave sem senha, com permissão só do dono.")
          .arg(path);
    case KeyProblem::DoesNotMatch:
      return QStringLiteral("A chave %1 não é a do certificado indicado com ela.").arg(path);
    case KeyProblem::NotSupportedHere:
      return QStringLiteral("Chaves Ed25519, como a %1, não são aceitas neste sistema: use uma chave RSA ou EC.")
          .arg(path);
  }
  return {};
}

}  // namespace

QString describeCertificateFacts(const CertificateFacts& facts) {
  return QStringList{QStringLiteral("Certificado de: %1").arg(facts.subject),
                     QStringLiteral("Emitido por: %1").arg(facts.issuer),
                     QStringLiteral("Válido de %1 a %2").arg(timeText(facts.notBefore), timeText(facts.notAfter)),
                     QStringLiteral("Impressão digital: %1").arg(facts.fingerprint)}
      .join(QLatin1Char('\n'));
}

QString describeServerRefusal(const ServerRefused& refused, const QString& address) {
  QStringList lines{causeText(refused, address)};
  if (!refused.presented.fingerprint.isEmpty())
    lines << describeCertificateFacts(refused.presented);
  else
    lines << QStringLiteral("O servidor não apresentou certificado.");
  if (refused.cause == TrustRefusal::NotTrusted || refused.cause == TrustRefusal::WrongName)
    lines << howToTrust(address);
  return lines.join(QLatin1Char('\n'));
}

QString describeFirstContact(const ServerRefused& refused, const QString& address) {
  return QStringList{QStringLiteral("Este computador ainda não confia no servidor %1.").arg(address),
                     describeCertificateFacts(refused.presented),
                     QStringLiteral("Confira a impressão digital com a do certificado no servidor e confie nele só se "
                                    "for a mesma: o certificado fica guardado e é exigido nas próximas conexões.")}
      .join(QLatin1Char('\n'));
}

QString describeCredentialFileProblem(CredentialFileProblem problem, const QString& path) {
  switch (problem) {
    case CredentialFileProblem::Missing:
      return QStringLiteral("O arquivo %1 não existe.").arg(path);
    case CredentialFileProblem::Unreadable:
      return QStringLiteral("O arquivo %1 não pôde ser lido.").arg(path);
    case CredentialFileProblem::TooLarge:
      return QStringLiteral("O arquivo %1 é grande demais para um certificado ou uma chave.").arg(path);
    case CredentialFileProblem::NoCertificate:
      return QStringLiteral("O arquivo %1 não contém um certificado (PEM).").arg(path);
  }
  return {};
}

QString describeKeepFailure(const KeepFailure& failure) {
  return QStringLiteral("O certificado do servidor não pôde ser guardado em %1: %2").arg(failure.path, failure.reason);
}

QString describeIdentityRefusal(const IdentityRefusal& refusal) {
  return std::visit(
      [&](auto problem) {
        if constexpr (std::is_same_v<decltype(problem), KeyProblem>)
          return keyProblemText(problem, refusal.file);
        else
          return describeCredentialFileProblem(problem, refusal.file);
      },
      refusal.problem);
}

QString describeTlsFilesRefusal(const TlsFilesRefusal& refusal) {
  return std::visit(Overloaded{
                        [](const ServerFileRefusal& file) {
                          return QStringLiteral("Certificado do servidor: ") +
                                 describeCredentialFileProblem(file.problem, file.file);
                        },
                        [](const IdentityRefusal& identity) { return describeIdentityRefusal(identity); },
                        [](const HalfAPair& half) {
                          return QStringLiteral(
                                     "O certificado e a chave deste computador vão juntos: %1 foi indicado sem o "
                                     "outro.")
                              .arg(half.named);
                        },
                    },
                    refusal);
}

}  // namespace zelqon
