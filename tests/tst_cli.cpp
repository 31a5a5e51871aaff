// zelqon-cli end to end: the built program opens a pseudo-terminal by its
// path, and this test plays the controller on the other end.

#include "protocol/programming_message.h"
#include "protocol/site_profile.h"
#include "pty_peer.h"
#include "ser2net_server.h"
#include "serial/server_trust.h"
#include "test_support.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <csignal>

using namespace zelqon;

namespace {

constexpr int kUsage = 2, kNoSuchPort = 3, kAccessDenied = 4, kIoFailure = 5, kConnectionLost = 6, kNotProven = 7,
              kInterrupted = 130;

struct Run {
  int status = -1;  // -1: crashed or still running
  QByteArray out;
  QString err;
  [[nodiscard]] QStringList errLines() const { return err.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

std::unique_ptr<QProcess> start(const QStringList& arguments) {
  auto process = std::make_unique<QProcess>();
  process->start(QStringLiteral(ZELQON_CLI_PROGRAM), arguments);
  return process;
}

Run finish(QProcess& process, int waitMs = 30000) {
  // Reading standard error may already have seen the program end.
  const bool ended = process.state() == QProcess::NotRunning || process.waitForFinished(waitMs);
  if (!ended)
    process.kill();
  return {ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())};
}

Run run(const QStringList& arguments) { return finish(*start(arguments)); }

// Ctrl+C to the run, never to pid 0 (this whole process group) once it ended.
void interrupt(QProcess& process) {
  if (const qint64 pid = process.processId(); pid > 0)
    ::kill(pid_t(pid), SIGINT);
}

// Reads standard error until `text` has appeared in it.
bool waitForError(QProcess& process, QString& seen, const QString& text, int waitMs = 3000) {
  const QDeadlineTimer deadline(waitMs);
  while (!seen.contains(text) && !deadline.hasExpired()) {
    process.waitForReadyRead(50);
    seen += QString::fromUtf8(process.readAllStandardError());
  }
  return seen.contains(text);
}

// The four messages of packaging/exemplo.zelqon, as the window sends them
// once it has opened that profile.
const QByteArray kExampleMessages =
    "Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=1;PTT3=1;PTT4=0;DelayHT=00500;\n"
    "Radio=2;COR=1;DelayDT=00100;PTT1=1;PTT2=0;PTT3=1;PTT4=0;DelayHT=00500;\n"
    "Radio=3;COR=0;DelayDT=00200;PTT1=1;PTT2=1;PTT3=0;PTT4=0;DelayHT=01500;\n"
    "Radio=4;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;\n";

// packaging/exemplo.zelqon copied into `dir` as `name`, one text replaced.
QString exampleWith(const QTemporaryDir& dir, const QString& name, const QByteArray& from, const QByteArray& to) {
  const QString copy = dir.filePath(name);
  return writeFile(copy, readFile(QStringLiteral(ZELQON_EXAMPLE_PROFILE)).replace(from, to)) ? copy : QString();
}

// A TLS test's server, and the certificate kept for it before.
enum class Server { Plain, Tls, ClientAuth };
enum class Kept { None, Own, Other };

}  // namespace

Q_DECLARE_METATYPE(Server)
Q_DECLARE_METATYPE(Kept)

class CliTest : public QObject {
  Q_OBJECT

 private slots:
  void sendWritesExactlyTheMessage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("step");
    const auto row = [](const char* name, const QStringList& arguments, const QByteArray& message, const char* radio) {
      const QString step = QStringLiteral("Envio: comando 1 de 1%1 enviado\n").arg(QString::fromUtf8(radio));
      QTest::newRow(name) << arguments << message << step;
    };
    row("start-up values", {"send", "1"}, factoryMessage(1).toLatin1(), " (RÁDIO 1)");
    row("names and milliseconds", {"send", "4", "--cor", "baixo", "--ptt", "1,3", "--debounce", "0", "--hang", "10000"},
        "Radio=4;COR=0;DelayDT=00000;PTT1=1;PTT2=0;PTT3=1;PTT4=0;DelayHT=10000;", " (RÁDIO 4)");
    row("flags and list entries", {"send", "2", "--cor", "0", "--ptt", "4,1", "--debounce", "00500", "--hang", "9900"},
        "Radio=2;COR=0;DelayDT=00500;PTT1=1;PTT2=0;PTT3=0;PTT4=1;DelayHT=09900;", " (RÁDIO 2)");
    row("atualizar", {"atualizar"}, "Atualizar", "");  // nine characters, no line end
  }

  void sendWritesExactlyTheMessage() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    QFETCH(QString, step);
    PtyPeer controller;
    const Run result = run(arguments << "--port" << controller.slavePath());
    QCOMPARE(result.status, 0);
    QCOMPARE(controller.receive(message.size() + 1, 300), message);  // and nothing after it
    QVERIFY(result.out.isEmpty());
    // A script reads the step it took on standard error.
    QCOMPARE(result.err, step);
  }

  // Every command's refusals and option interplay, and each cause's exit
  // status; "@pty" stands for the controller's port, "@held" for it while
  // another run holds it.
  void refusedWithItsOwnStatus_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    // A path outside /dev names a device too. Named for this run: the serial
    // port's lock file would make a parallel run's attempt look like a port in use.
    const QString absent = QStringLiteral("/tmp/zelqon-absent-%1").arg(QCoreApplication::applicationPid());
    const auto row = [](const char* name, const QStringList& arguments, int status, const QString& said) {
      QTest::newRow(name) << arguments << status << said;
    };
    const QStringList pty{"--port", "@pty"};
    const QString example = QStringLiteral(ZELQON_EXAMPLE_PROFILE);
    row("no command", {}, kUsage, "falta o comando");
    row("unknown command", {"reset"}, kUsage, "\"reset\"");
    row("radio 5", QStringList{"send", "5"} + pty, kUsage, "\"5\"");
    row("radio 0", QStringList{"send", "0"} + pty, kUsage, "\"0\"");
    row("no radio", {"send"}, kUsage, "número do rádio");
    row("keys radio 0", QStringList{"send", "1", "--ptt", "0"} + pty, kUsage, "\"0\" não é um rádio");
    row("radio routed to itself", QStringList{"send", "2", "--ptt", "1,2"} + pty, kUsage, "2");
    row("delay between entries", QStringList{"send", "1", "--debounce", "150"} + pty, kUsage, "150");
    row("unknown option, in Qt's Portuguese", QStringList{"send", "1", "--volume", "3"} + pty, kUsage,
        "Opção desconhecida 'volume'");
    row("option of another command", QStringList{"factory", "--cor", "baixo"} + pty, kUsage, "--cor");
    row("seconds of send", QStringList{"send", "1", "--seconds", "5"} + pty, kUsage, "--seconds");
    row("ports takes no port", {"ports", "--port", "1"}, kUsage, "--port");
    row("check takes no dry run", {"check", example, "-n"}, kUsage, "--dry-run");
    row("check of a profile that is not there", {"check", absent + ".zelqon"}, kUsage, absent + ".zelqon");
    row("monitor takes no dry run", QStringList{"monitor", "-n"} + pty, kUsage, "--dry-run");
    row("monitor for 0 seconds", QStringList{"monitor", "--seconds", "0"} + pty, kUsage, "\"0\"");
    row("no record and a record", QStringList{"send", "1", "--no-record", "--record", "r.log"} + pty, kUsage,
        "--no-record ou --record");
    row("record without a name", QStringList{"factory", "--record="} + pty, kUsage, "--record precisa");
    row("no profile", {"apply"}, kUsage, "arquivo do perfil");
    row("one argument too many", QStringList{"atualizar", "x"} + pty, kUsage, "argumento a mais: \"x\"");
    row("port zero", {"send", "1", "--port", "0"}, kUsage, "\"0\"");
    row("port COM0", {"atualizar", "--port", "COM0"}, kUsage, "\"COM0\"");
    row("no network address", {"factory", "--port", "tcp://h"}, kUsage, "endereço de rede");
    row("no such path", {"send", "1", "--port", absent}, kNoSuchPort, absent + ". Não há dispositivo com este caminho");
    row("no such number", {"factory", "--port", "32767"}, kNoSuchPort, "COM32767");
    row("no such COMn", {"atualizar", "--port", "COM32767"}, kNoSuchPort, "COM32767");
    row("port held by another run", {"atualizar", "--port", "@held"}, kAccessDenied, "em uso pelo programa zelqon-cli");
    row("no serial device", {"send", "1", "--port", "/dev/null"}, kIoFailure, "/dev/null");
  }

  void refusedWithItsOwnStatus() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    PtyPeer controller;
    std::unique_ptr<QProcess> holder;
    QString holderErr;
    if (arguments.contains(QStringLiteral("@held"))) {
      holder = start({"monitor", "--seconds", "20", "--no-record", "--port", controller.slavePath()});
      QVERIFY2(waitForError(*holder, holderErr, QStringLiteral("Ctrl+C")), qPrintable(holderErr));
    }
    arguments.replaceInStrings(QRegularExpression("^@(pty|held)$"), controller.slavePath());
    const Run result = run(arguments);
    if (holder) {
      holder->terminate();
      QCOMPARE(finish(*holder, 5000).status, 0);
    }
    QCOMPARE(result.status, status);
    QCOMPARE(result.errLines().size(), 1);
    QVERIFY2(result.err.startsWith("zelqon-cli: ") && result.err.contains(said), qPrintable(result.err));
    QVERIFY(result.out.isEmpty());
    QCOMPARE(controller.receive(1, 200), QByteArray());
  }

  // Pulled or stopped with Ctrl+C after the first factory command: one line
  // says how many went out, and nothing more is written.
  void factoryCutShortSaysHowManyWentOut_data() {
    QTest::addColumn<int>("status");
    QTest::newRow("adapter pulled") << kConnectionLost;
    QTest::newRow("Ctrl+C") << kInterrupted;
  }

  void factoryCutShortSaysHowManyWentOut() {
    QFETCH(int, status);
    PtyPeer controller;
    const auto process = start({"factory", "--port", controller.slavePath()});
    QCOMPARE(controller.receive(70, 6000), factoryMessage(1).toLatin1());
    // Each step is told as it happens, not when the run ends.
    QString err;
    QVERIFY2(waitForError(*process, err, QStringLiteral("comando 1 de 4")), qPrintable(err));
    if (status == kInterrupted)
      interrupt(*process);
    else
      controller.hangUp();
    const Run result = finish(*process, 5000);
    QCOMPARE(result.status, status);
    err += result.err;
    const QStringList failures = err.split('\n').filter(QRegularExpression("^zelqon-cli: "));
    QCOMPARE(failures.size(), 1);
    QVERIFY_CONTAINS(failures[0], "A programação de fábrica não foi concluída. Comandos enviados: 1 de 4.");
    QVERIFY2(!err.contains("comando 2 de 4"), qPrintable(err));
    if (status == kInterrupted)
      QCOMPARE(controller.receive(1, 300), QByteArray());
    else
      QVERIFY_CONTAINS(failures[0], controller.slavePath());
  }

  // The monitor copies every byte until stopped with Ctrl+C's twin SIGTERM, or
  // until the adapter is pulled, which ends the run.
  void monitorCopiesEveryByteUntilStoppedOrPulled_data() {
    QTest::addColumn<int>("status");
    QTest::newRow("stopped") << 0;
    QTest::newRow("pulled") << kConnectionLost;
  }

  void monitorCopiesEveryByteUntilStoppedOrPulled() {
    QFETCH(int, status);
    auto controller = std::make_unique<PtyPeer>();
    const QString path = controller->slavePath();
    const auto process = start({"monitor", "--seconds", "20", "--port", path});
    QString err;
    QVERIFY2(waitForError(*process, err, QStringLiteral("Ctrl+C")), qPrintable(err));
    // Spaces alone, read by a poll of their own; then every byte value, sent
    // well before the next poll: only the read on the way out takes them.
    controller->send("   ");
    // Passed on as it is read, not when the run ends: a pipe sees it now.
    QByteArray out;
    QTRY_COMPARE_WITH_TIMEOUT((out += process->readAllStandardOutput()), QByteArray("   "), 3000);
    const QByteArray rest = everyByte();
    controller->send(rest);
    QTest::qWait(100);
    if (status == 0)
      process->terminate();
    else
      controller.reset();
    const Run result = finish(*process, 5000);
    QCOMPARE(result.status, status);
    if (status == 0) {
      QCOMPARE(out + result.out, "   " + rest);
      return;
    }
    // The run ends here: no promise that the port opens again.
    err += result.err;
    QVERIFY_CONTAINS(err, QStringLiteral("zelqon-cli: A porta %1 foi desconectada e fechada.").arg(path));
    QVERIFY2(err.trimmed().endsWith(QStringLiteral("Monitor encerrado.")), qPrintable(err));
    QVERIFY2(!err.contains(QStringLiteral("aberta de novo")), qPrintable(err));
  }

  // Qt Network and OpenSSL come with the network module, mapped only once a
  // network port is chosen. A program installed without the module says so
  // when one is, and writes to no other port instead.
  void networkSupportIsLoadedOnFirstUse() {
    const auto monitorMaps = [](const QString& port) {
      const auto process = start({"monitor", "--seconds", "20", "--port", port});
      QString err;
      const bool open = waitForError(*process, err, QStringLiteral("Ctrl+C"), 5000);
      const QByteArray maps = readFile(QStringLiteral("/proc/%1/maps").arg(process->processId()));
      process->terminate();
      return open && finish(*process, 5000).status == 0 ? maps : QByteArray();
    };
    PtyPeer controller;
    const QByteArray serial = monitorMaps(controller.slavePath());
    QVERIFY(serial.contains("libQt6SerialPort"));
    for (const char* library : {"libQt6Network", "libcrypto", "zelqon-network"})
      QVERIFY2(!serial.contains(library), library);
    QTcpServer server;  // the system takes the connection; nothing need be said
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QByteArray network = monitorMaps(QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort()));
    for (const char* library : {"libQt6Network", "zelqon-network"})
      QVERIFY2(network.contains(library), library);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath("bin"));
    const QString lone = dir.filePath("bin/zelqon-cli");
    QVERIFY(QFile::copy(QStringLiteral(ZELQON_CLI_PROGRAM), lone));
    QProcess process;
    process.start(lone, {"atualizar", "--port", "tcp://127.0.0.1:1"});
    const Run result = finish(process);
    QCOMPARE(result.status, kIoFailure);
    QVERIFY_CONTAINS(result.err, QStringLiteral("porta tcp://127.0.0.1:1. O suporte a portas de rede"));
  }

  // A profile's port in every form is read by check and never looked at by
  // apply --dry-run; apply opens it (none of these is there).
  void profilesNameTheirPortInEveryForm_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("named");
    const QString absent = QStringLiteral("/dev/zelqon-absent-%1").arg(QCoreApplication::applicationPid());
    for (const QString& port : {QStringLiteral("32767"), QStringLiteral("COM32767"), absent,
                                QStringLiteral("rfc2217://127.0.0.1:1"), QStringLiteral("tcp://127.0.0.1:1")})
      QTest::newRow(qPrintable(port)) << port << (port.startsWith('3') ? "COM" + port : port);
  }

  void profilesNameTheirPortInEveryForm() {
    QFETCH(QString, port);
    QFETCH(QString, named);
    QTemporaryDir dir;
    const QString profile = exampleWith(dir, QStringLiteral("site.zelqon"), "rfc2217://10.8.0.5:2217", port.toUtf8());
    const Run check = run({"check", profile});
    QVERIFY2(check.status == 0 && check.err.isEmpty(), qPrintable(check.err));
    const Run dry = run({"apply", profile, "--dry-run"});
    QCOMPARE(dry.status, 0);
    QCOMPARE(dry.out, kExampleMessages);
    // The first radio's failure tells the port; Ctrl+C spares the rest.
    const auto apply = start({"apply", profile});
    QString err;
    QVERIFY2(waitForError(*apply, err, QStringLiteral("porta %1").arg(named), 5000), qPrintable(err));
    interrupt(*apply);
    QCOMPARE(finish(*apply, 5000).status, kNoSuchPort);
  }

  // Over TLS through Debian's ser2net: the server proves itself by the
  // certificate given or kept before a byte goes out, and asks this
  // computer's when it has clientauth. "@name" stands for a file the test
  // makes: s (the server's own, "host-ser2net"), c (allowed by clientauth),
  // o (another of each name), open.key (c.key readable by all).
  void tlsServersProveThemselves_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<Server>("server");
    QTest::addColumn<Kept>("kept");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    const QStringList own{"--server-cert", "@s.crt"};
    const QStringList client = own + QStringList{"--client-cert", "@c.crt", "--client-key", "@c.key"};
    const auto row = [](const char* name, const char* form, Server server, Kept kept, const QStringList& arguments,
                        int status, const QString& said) {
      QTest::newRow(name) << QString(form) << server << kept << arguments << status << said;
    };
    row("its own certificate given", "rfc2217+tls", Server::Tls, Kept::None, own, 0, {});
    row("its own certificate given, tcp", "tcp+tls", Server::Tls, Kept::None, own, 0, {});
    row("the certificate kept", "rfc2217+tls", Server::Tls, Kept::Own, {}, 0, {});
    row("an unknown server", "rfc2217+tls", Server::Tls, Kept::None, {}, kNotProven, "ainda não confia");
    row("a changed certificate", "tcp+tls", Server::Tls, Kept::Other, {}, kNotProven, "mudou");
    row("another certificate given", "rfc2217+tls", Server::Tls, Kept::Own, {"--server-cert", "@o.crt"}, kNotProven,
        "não é o de");
    row("an allowed client", "rfc2217+tls", Server::ClientAuth, Kept::None, client, 0, {});
    row("no client certificate", "rfc2217+tls", Server::ClientAuth, Kept::None, own, kAccessDenied,
        "O servidor exige um certificado deste computador");
    row("a client not allowed", "rfc2217+tls", Server::ClientAuth, Kept::None,
        own + QStringList{"--client-cert", "@o.crt", "--client-key", "@o.key"}, kAccessDenied,
        "não aceitou o certificado");
    row("a key others may read", "rfc2217+tls", Server::ClientAuth, Kept::None,
        own + QStringList{"--client-cert", "@c.crt", "--client-key", "@open.key"}, kAccessDenied, "chmod 600");
    row("a plain form to a TLS port", "rfc2217", Server::Tls, Kept::None, {}, kAccessDenied, "cifrada");
    row("a TLS form to a plain port", "rfc2217+tls", Server::Plain, Kept::None, {}, kIoFailure, "não fala TLS");
    row("trusted by its fingerprint", "tcp+tls", Server::Tls, Kept::None, {"trust", "--fingerprint", "@fingerprint"}, 0,
        "Certificado guardado");
    row("not its fingerprint", "tcp+tls", Server::Tls, Kept::None, {"trust", "--fingerprint", "SHA256:x"}, kNotProven,
        "nada foi guardado");
    row("trust without a terminal", "rfc2217+tls", Server::Tls, Kept::None, {"trust"}, kNotProven, "sem terminal");
    row("certificates with a plain form", "rfc2217", Server::Plain, Kept::None, own, kUsage, "só para");
    // The files a profile names, from its folder; this user's own pair.
    row("the profile's files", "rfc2217+tls", Server::ClientAuth, Kept::None, {"@profile"}, 0, {});
    row("this user's own pair", "tcp+tls", Server::ClientAuth, Kept::None, own + QStringList{"@user pair"}, 0, {});
    row("half of this user's pair", "tcp+tls", Server::ClientAuth, Kept::None, own + QStringList{"@user half"},
        kAccessDenied, "chave.pem não existe");
  }

  void tlsServersProveThemselves() {
    QFETCH(QString, form);
    QFETCH(Server, server);
    QFETCH(Kept, kept);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    QTemporaryDir dir;
    QVERIFY(makeTlsSite(dir));
    QVERIFY(QFile::copy(dir.filePath("c.key"), dir.filePath("open.key")) &&
            QFile::setPermissions(dir.filePath("open.key"), QFile::ReadOwner | QFile::ReadOther));
    PtyPeer controller;
    Ser2netServer ser2net(form.startsWith("tcp") ? Ser2netServer::Mode::RawTcp : Ser2netServer::Mode::Rfc2217,
                          controller.slavePath(), QStringLiteral("19200n81"),
                          server == Server::Plain ? QString() : tlsSiteAccepter(dir, server == Server::ClientAuth),
                          dir.filePath("auth"));
    QVERIFY2(ser2net.start(), ser2net.output().constData());
    // The certificates kept for this user, in a configuration folder of the test's own.
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    const QString keptFolder = dir.filePath("config/zelqon/servidores");
    const QString keptFile = QStringLiteral("%1/127.0.0.1_%2.pem").arg(keptFolder).arg(ser2net.port());
    if (kept != Kept::None)
      QVERIFY(QDir().mkpath(keptFolder) && QFile::copy(dir.filePath(kept == Kept::Own ? "s.crt" : "o.crt"), keptFile));
    const QString address = QStringLiteral("%1://127.0.0.1:%2").arg(form).arg(ser2net.port());
    const QString ownPair = dir.filePath("config/zelqon");
    QVERIFY(QDir().mkpath(ownPair));
    if (arguments.removeOne("@user pair") || arguments.removeOne("@user half"))
      QVERIFY(QFile::copy(dir.filePath("c.crt"), ownPair + "/certificado.pem") &&
              (QTest::currentDataTag() == QByteArray("half of this user's pair") ||
               QFile::copy(dir.filePath("c.key"), ownPair + "/chave.pem")));
    if (arguments == QStringList{"@profile"}) {
      // This user's own pair, not allowed by the server, is passed over.
      QVERIFY(QFile::copy(dir.filePath("o.crt"), ownPair + "/certificado.pem") &&
              QFile::copy(dir.filePath("o.key"), ownPair + "/chave.pem"));
      SiteProfile profile;
      profile.port = parseNetworkAddress(address);
      profile.serverCertificate = "../s.crt";
      profile.clientCertificate = "../c.crt";
      profile.clientKey = dir.filePath("c.key");
      QVERIFY(QDir(dir.path()).mkdir("site") && writeFile(dir.filePath("site/p.zelqon"), formatSiteProfile(profile)));
      arguments = QStringList{"apply", dir.filePath("site/p.zelqon")};
    }
    for (QString& argument : arguments)
      if (argument == "@fingerprint")
        argument = certificateFingerprint(QSslCertificate::fromPath(dir.filePath("s.crt")).value(0));
      else if (argument.startsWith('@'))
        argument = dir.filePath(argument.mid(1));
    // trust ADDRESS ..., or a send to the address
    const bool trusts = arguments.value(0) == "trust";
    const Run result =
        run(trusts                          ? QStringList{"trust", address} + arguments.mid(1)
            : arguments.value(0) == "apply" ? arguments + QStringList{"--no-record"}
                                            : QStringList{"send", "1", "--no-record", "--port", address} + arguments);
    qunsetenv("XDG_CONFIG_HOME");
    // Only trust keeps a certificate, and only once it is confirmed.
    QCOMPARE(QFile::exists(keptFile), kept != Kept::None || (trusts && status == 0));
    QVERIFY2(result.status == status && result.err.contains(said), qPrintable(result.err));
    const QByteArray message = "Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;";
    const QByteArray received = controller.receive(message.size(), status == 0 ? 5000 : 300);
    if (status == 0 && !trusts)  // apply goes on to radio 2
      QVERIFY2(received.startsWith(message), received.constData());
    else  // a plain server passes on what the TLS handshake began with, and no more
      QVERIFY2(server == Server::Plain ? !received.contains("Radio=") : received.isEmpty(), received.constData());
  }

  // Through Debian's ser2net, as at a site: apply keeps its 3 s pauses over
  // rfc2217://, the record names the port as written, and once the server
  // has gone nothing listens there.
  void programsThroughANetworkSerialServer() {
    PtyPeer controller;
    Ser2netServer rfc2217(Ser2netServer::Mode::Rfc2217, controller.slavePath(), QStringLiteral("9600n81"));
    QVERIFY2(rfc2217.start(), rfc2217.output().constData());
    // The example, naming a port on this machine where nothing listens:
    // --port must win over it.
    QTemporaryDir dir;
    const QString profile =
        exampleWith(dir, QStringLiteral("site.zelqon"), "rfc2217://10.8.0.5:2217", "tcp://127.0.0.1:1");
    const QString record = dir.filePath(QStringLiteral("registro.log"));
    const auto apply = start({"apply", profile, "--port", rfc2217.address(), "--record", record});
    QDeadlineTimer gap;
    for (const QByteArray& message : kExampleMessages.split('\n').mid(0, 4)) {
      QCOMPARE(controller.receive(message.size(), 8000), message);
      QVERIFY2(gap.remainingTime() <= 10, qPrintable(QString::number(gap.remainingTime())));
      gap.setRemainingTime(3000);
    }
    const Run applied = finish(*apply);
    QCOMPARE(applied.status, 0);
    QVERIFY_CONTAINS(applied.err, QStringLiteral("Padrão de programação: comando 4 de 4 (RÁDIO 4) enviado"));
    const QList<QByteArray> events = readFile(record).split('\n');
    QCOMPARE(events.size(), 5);  // four and the end of the last line
    QVERIFY2(events[2].endsWith("\tenviado\t" + rfc2217.address().toLatin1() + "\t" + kExampleMessages.split('\n')[2]),
             events[2].constData());
    rfc2217.stop();
    const Run refused = run({"send", "1", "--port", rfc2217.address(), "--no-record"});
    QCOMPARE(refused.status, kNoSuchPort);
    QVERIFY_CONTAINS(refused.err, QStringLiteral("recusou a conexão"));

    // A record that cannot be written is told once and stops nothing.
    const Run sent = run({"send", "2", "--ptt", "3", "--port", controller.slavePath(), "--record", "/dev/full"});
    QCOMPARE(sent.status, 0);
    QCOMPARE(controller.receive(71, 500),
             QByteArray("Radio=2;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=1;PTT4=0;DelayHT=00100;"));
    const QStringList warnings = sent.errLines().filter(QStringLiteral("zelqon-cli: aviso: "));
    QVERIFY2(warnings.size() == 1 && warnings[0].contains(QStringLiteral("/dev/full")), qPrintable(sent.err));
  }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
