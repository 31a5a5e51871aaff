// A TLS server's certificate weighed against what vouches for it, the
// servers kept as trusted, and this computer's own certificate and key; the
// certificates and keys made here with the openssl program.

#include "engine/tls_text.h"
#include "serial/client_identity.h"
#include "serial/server_trust.h"
#include "test_support.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace zelqon;

namespace {

const QMap<TrustRefusal, QString> kRefusalNames{{TrustRefusal::NotTrusted, "not trusted"},
                                                {TrustRefusal::Expired, "expired"},
                                                {TrustRefusal::NotYetValid, "not yet valid"},
                                                {TrustRefusal::WrongName, "wrong name"},
                                                {TrustRefusal::Changed, "changed"},
                                                {TrustRefusal::BadConfiguredFile, "bad configured file"},
                                                {TrustRefusal::DamagedKeptFile, "damaged kept file"}};
const QMap<TrustedBy, QString> kTrustedNames{
    {TrustedBy::ConfiguredFile, "configured"}, {TrustedBy::SystemStore, "system"}, {TrustedBy::KeptBefore, "kept"}};

QString outcomeOf(const TrustDecision& decision) {
  if (const auto* trusted = std::get_if<ServerTrusted>(&decision))
    return "trusted " + kTrustedNames.value(trusted->how);
  return "refused " + kRefusalNames.value(std::get<ServerRefused>(decision).cause);
}

}  // namespace

class TlsTrustTest : public QObject {
  Q_OBJECT

  QTemporaryDir m_dir;

  QString file(const QString& name) const { return m_dir.filePath(name); }
  QSslCertificate certificate(const QString& name) const { return QSslCertificate::fromPath(file(name)).value(0); }

  // The openssl program's output; fails the test when it is missing or fails.
  QByteArray openssl(const QString& command) const {
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral("openssl"), QProcess::splitCommand(command));
    const bool ran =
        process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    [&] { QVERIFY2(ran, qPrintable("openssl " + command + ": " + process.readAllStandardError())); }();
    return process.readAllStandardOutput();
  }

  // What the handshake would report with the settings the connection uses;
  // without a configured file, `authority` stands for the system's.
  static QList<QSslError> handshakeErrors(const QList<QSslCertificate>& chain, const QString& host,
                                          const ServerCertificateFile* configured, const QString& authority) {
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration checked = serverTlsConfiguration(saved, configured);
    if (!configured)
      checked.setCaCertificates(QSslCertificate::fromPath(authority));
    QSslConfiguration::setDefaultConfiguration(checked);
    QList<QSslError> errors = QSslCertificate::verify(chain, host);
    QSslConfiguration::setDefaultConfiguration(saved);
    return errors;
  }

 private slots:
  void initTestCase() {
    QVERIFY(m_dir.isValid());
    // The server's own, as ser2net's gtlssh-keygen makes it: Ed25519, self-signed, "host-ser2net".
    openssl("req -x509 -newkey ed25519 -nodes -days 30 -subj /CN=host-ser2net -keyout self.key -out self.pem");
    openssl(
        "req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 30 -subj /CN=Autoridade "
        "-keyout ca.key -out ca.pem");
    openssl("req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=localhost -keyout srv.key -out srv.csr");
    openssl("x509 -req -in srv.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 -out srv.pem");
    openssl("req -x509 -newkey rsa:2048 -nodes -days 30 -subj /CN=zelqon -keyout rsa.key -out rsa.pem");
    openssl("pkey -in srv.key -aes256 -passout pass:segredo -out locked.key");
    QVERIFY(writeFile(file("world.key"), readFile(file("srv.key"))));
    QVERIFY(writeFile(file("group.key"), readFile(file("srv.key"))));
    QVERIFY(writeFile(file("notkey.key"), readFile(file("srv.pem"))));
    QVERIFY(writeFile(file("two.pem"), readFile(file("ca.pem")) + readFile(file("self.pem"))));
    QVERIFY(writeFile(file("huge.pem"), readFile(file("self.pem")).repeated(kLargestCredentialFile / 500)));
    constexpr auto kOwner = QFile::ReadOwner | QFile::WriteOwner;
    for (const char* key : {"self.key", "ca.key", "srv.key", "rsa.key", "locked.key", "notkey.key"})
      QVERIFY(QFile::setPermissions(file(key), kOwner));
    QVERIFY(QFile::setPermissions(file("world.key"), kOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(QFile::setPermissions(file("group.key"), kOwner | QFile::ReadGroup));
  }

  void factsShowWhatOpensslShows() {
    const QSslCertificate self = certificate("self.pem");
    QByteArray hex = openssl("x509 -in self.pem -noout -fingerprint -sha256").split('=').last().trimmed();
    const CertificateFacts facts = certificateFacts(self);
    QCOMPARE(facts.fingerprint,
             "SHA256:" + QByteArray::fromHex(hex.replace(':', "")).toBase64(QByteArray::OmitTrailingEquals));
    QCOMPARE((QStringList{facts.subject, facts.issuer}), (QStringList{"host-ser2net", "host-ser2net"}));
    QCOMPARE(facts.notAfter, self.expiryDate());
  }

  // Every rule that trusts a server and every refusal, one row each.
  void serversAreTrustedOnlyAsVouchedFor() {
    // A configured file's authorities stand alone, with no older TLS than 1.2.
    const ServerCertificateFile ca = readServerCertificateFile(file("ca.pem"));
    const QSslConfiguration settings = serverTlsConfiguration(QSslConfiguration::defaultConfiguration(), &ca);
    QCOMPARE(settings.caCertificates(), QList{certificate("ca.pem")});
    QCOMPARE(settings.protocol(), QSsl::TlsV1_2OrLater);
    struct Row {
      const char* name;
      const char* chain;  // the server's certificate, "" none
      const char* host;
      const char* configured;  // --server-cert
      const char* authority;   // the system's stand-in
      const char* kept;        // the kept file's content
      int days;                // from now
      const char* outcome;
    };
    const Row rows[] = {
        {"own certificate, any name", "self.pem", "site.example", "self.pem", "", "", 0, "trusted configured"},
        {"configured CA", "srv.pem", "localhost", "ca.pem", "", "", 0, "trusted configured"},
        {"configured CA, other name", "srv.pem", "site.example", "ca.pem", "", "", 0, "refused wrong name"},
        {"configured CA, expired", "srv.pem", "localhost", "ca.pem", "", "", 60, "refused expired"},
        {"configured CA, too early", "srv.pem", "localhost", "ca.pem", "", "", -1, "refused not yet valid"},
        {"configured own, expired", "self.pem", "site.example", "self.pem", "", "", 60, "refused expired"},
        {"not the configured one", "self.pem", "site.example", "ca.pem", "", "", 0, "refused not trusted"},
        {"configured beats kept", "srv.pem", "localhost", "ca.pem", "", "self.pem", 0, "trusted configured"},
        {"configured key file", "srv.pem", "localhost", "srv.key", "", "", 0, "refused bad configured file"},
        {"system authority", "srv.pem", "localhost", "", "ca.pem", "", 0, "trusted system"},
        {"system, other name", "srv.pem", "site.example", "", "ca.pem", "", 0, "refused wrong name"},
        {"first contact", "self.pem", "site.example", "", "", "", 0, "refused not trusted"},
        {"kept before", "self.pem", "site.example", "", "", "self.pem", 0, "trusted kept"},
        {"changed, though signed", "srv.pem", "localhost", "", "ca.pem", "self.pem", 0, "refused changed"},
        {"kept file damaged", "self.pem", "site.example", "", "", "two.pem", 0, "refused damaged kept file"},
        {"no certificate", "", "site.example", "", "", "", 0, "refused not trusted"},
    };
    for (const Row& row : rows) {
      QTemporaryDir folder;
      const TrustedServers store(folder.path());
      if (*row.kept)
        QVERIFY(writeFile(store.pathFor(row.host, 2217), readFile(file(row.kept))));
      const std::optional<ServerCertificateFile> configured =
          *row.configured ? std::optional(readServerCertificateFile(file(row.configured))) : std::nullopt;
      PresentedServer server{row.host, 2217, QSslCertificate::fromPath(file(row.chain)), {}};
      server.errors = handshakeErrors(server.chain, row.host, configured ? &*configured : nullptr, file(row.authority));
      const auto decision = decideServerTrust(server, configured ? &*configured : nullptr, store,
                                              QDateTime::currentDateTimeUtc().addDays(row.days));
      QVERIFY2(outcomeOf(decision) == row.outcome, qPrintable(QString(row.name) + ": " + outcomeOf(decision)));
      if (const auto* refused = std::get_if<ServerRefused>(&decision); refused && refused->kept) {
        QCOMPARE(refused->kept->fingerprint, certificateFingerprint(certificate(row.kept)));
        QCOMPARE(refused->presented.fingerprint, certificateFingerprint(server.chain.first()));
      }
    }
  }

  void storeKeepsOneFilePerServer() {
    QCOMPARE((QStringList{TrustedServers::fileName("Site.Example", 2217), TrustedServers::fileName("fd00::5", 4001)}),
             (QStringList{"site.example_2217.pem", "fd00++5_4001.pem"}));
    QTemporaryDir folder;
    const TrustedServers store(folder.filePath("zelqon/servidores"));  // made on the first keep
    QCOMPARE(store.kept("site", 1).state, KeptCertificate::State::None);
    QVERIFY(!store.keep("site", 1, certificate("srv.pem")));
    QVERIFY(!store.keep("site", 1, certificate("self.pem")));
    const KeptCertificate kept = store.kept("site", 1);
    QCOMPARE(kept.state, KeptCertificate::State::Kept);
    QCOMPARE(readFile(kept.path), certificate("self.pem").toPem());
    for (const char* damaged : {"two.pem", "huge.pem", "self.key"}) {
      QVERIFY(writeFile(kept.path, readFile(file(damaged))));
      QVERIFY2(store.kept("site", 1).state == KeptCertificate::State::Damaged, damaged);
    }
  }

  void identityKeysAreReadOrRefused() {
    struct Row {
      const char* certificate;
      const char* key;
      const char* outcome;  // the key's algorithm, or the problem
    };
    const Row rows[] = {
        {"rsa.pem", "rsa.key", "rsa"},
        {"srv.pem", "srv.key", "ec"},
        {"self.pem", "self.key", "opaque"},  // Ed25519
        {"srv.pem", "locked.key", "passphrase"},
        {"srv.pem", "rsa.key", "mismatch"},
        {"srv.pem", "world.key", "readable"},
        {"srv.pem", "group.key", "readable"},
        {"srv.pem", "notkey.key", "not a key"},
        {"srv.pem", "absent.key", "missing"},
        {"rsa.key", "srv.key", "no certificate"},
    };
    const QMap<QSsl::KeyAlgorithm, QString> algorithms{{QSsl::Rsa, "rsa"}, {QSsl::Ec, "ec"}, {QSsl::Opaque, "opaque"}};
    const QMap<KeyProblem, QString> keyProblems{{KeyProblem::NeedsPassphrase, "passphrase"},
                                                {KeyProblem::DoesNotMatch, "mismatch"},
                                                {KeyProblem::ReadableByOthers, "readable"},
                                                {KeyProblem::NotAKey, "not a key"}};
    const QMap<CredentialFileProblem, QString> fileProblems{{CredentialFileProblem::Missing, "missing"},
                                                            {CredentialFileProblem::NoCertificate, "no certificate"}};
    for (const Row& row : rows) {
      const auto loaded = loadClientIdentity(file(row.certificate), file(row.key));
      QString seen;
      if (const auto* identity = std::get_if<ClientIdentity>(&loaded)) {
        seen = algorithms.value(identity->key.algorithm());
        QCOMPARE(identity->certificate, certificate(row.certificate));
      } else {
        const auto& refusal = std::get<IdentityRefusal>(loaded);
        const auto* keyProblem = std::get_if<KeyProblem>(&refusal.problem);
        seen = keyProblem ? keyProblems.value(*keyProblem)
                          : fileProblems.value(std::get<CredentialFileProblem>(refusal.problem));
        QCOMPARE(refusal.file, file(seen == "no certificate" ? row.certificate : row.key));
      }
      QVERIFY2(seen == row.outcome, qPrintable(QString(row.key) + ": " + seen));
    }
  }

  // The operator is told what to check and what to type.
  void refusalsSayHowToTrust() {
    QTemporaryDir folder;
    const TrustedServers store(folder.path());
    PresentedServer server{"site.example", 2217, {certificate("self.pem")}, {}};
    server.errors = handshakeErrors(server.chain, server.host, nullptr, {});
    const auto first =
        std::get<ServerRefused>(decideServerTrust(server, nullptr, store, QDateTime::currentDateTimeUtc()));
    const QString text = describeServerRefusal(first, "rfc2217+tls://site.example:2217");
    for (const QString& part :
         {QString("host-ser2net"), first.presented.fingerprint,
          QString("\"zelqon-cli trust rfc2217+tls://site.example:2217\""), QString("--server-cert")})
      QVERIFY_CONTAINS(text, part);
    const auto readable = std::get<IdentityRefusal>(loadClientIdentity(file("srv.pem"), file("group.key")));
    QVERIFY_CONTAINS(describeIdentityRefusal(readable), "\"chmod 600 " + file("group.key") + "\"");
  }
};

QTEST_GUILESS_MAIN(TlsTrustTest)
#include "tst_tls_trust.moc"
