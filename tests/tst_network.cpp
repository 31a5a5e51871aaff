// The serial line behind a network server: Debian's ser2net, started by the
// test, serves a pseudo-terminal the test plays the controller on; fake
// servers in the test refuse an open in every other way.

#include "engine/controller_engine.h"
#include "engine/operator_text.h"
#include "link_relay.h"
#include "pty_peer.h"
#include "ser2net_server.h"
#include "serial/link_probe.h"
#include "serial/network_port_service.h"
#include "serial/network_support.h"
#include "serial/precise_deadline.h"
#include "serial/write_confirmation.h"
#include "test_support.h"

#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace zelqon;
using namespace std::chrono_literals;

namespace {

const QByteArray kMessage = "Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;";

// A service with short deadlines, and what it told: the states it passed,
// failed opens, losses (the service last, so that it goes first).
struct Client {
  explicit Client(const QString& address, TlsCredentials credentials = {})
      : service(parseNetworkAddress(address).value(), std::move(credentials),
                NetworkPortService::Timeouts{2000ms, 700ms, 2000ms, 4000ms}) {
    QObject::connect(&service, &PortService::stateChanged, [this](PortState state) { states.append(state); });
    QObject::connect(&service, &PortService::openFailed, [this](const LinkError& error) { failures.append(error); });
    QObject::connect(&service, &PortService::hungUp, [this](const LinkError& error) { losses.append(error); });
  }
  QList<PortState> states;
  QList<LinkError> failures, losses;
  NetworkPortService service;
};

// What reached the controller, cut where the line stayed quiet for 300 ms:
// when each burst began and ended (ms from the call) and its bytes.
struct Burst {
  qint64 first = 0, last = 0;
  QByteArray bytes;
};

// Reads the controller's side every `everyMs` while the event loop runs,
// until `done` has held for 300 ms or `waitMs` passed.
QList<Burst> listen(const PtyPeer& controller, const std::function<bool()>& done, int everyMs = 1, int waitMs = 20000) {
  QList<Burst> bursts;
  QElapsedTimer clock;
  clock.start();
  std::optional<qint64> doneSince;
  while (clock.elapsed() < waitMs && (!doneSince || clock.elapsed() - *doneSince < 300)) {
    QDeadlineTimer next(everyMs, Qt::PreciseTimer);
    while (!next.hasExpired())
      QCoreApplication::processEvents(QEventLoop::AllEvents, int(std::max<qint64>(next.remainingTime(), 0)));
    char buffer[4096];
    for (ssize_t n; (n = ::read(controller.masterFd(), buffer, sizeof buffer)) > 0;) {
      const qint64 now = clock.elapsed();
      if (bursts.isEmpty() || now - bursts.back().last > 300)
        bursts.append({now, now, {}});
      bursts.back().last = now;
      bursts.back().bytes.append(buffer, n);
    }
    if (!doneSince && done())
      doneSince = clock.elapsed();
  }
  return bursts;
}

// The story a site's link tells.
enum class Story {
  Apply,
  SilentWhilePolled,
  LostDuringPause,
  SilentDuringSend,
  OneShots,
  InterruptedFactory,
  ChangedCertificate
};

}  // namespace

Q_DECLARE_METATYPE(Story)

class NetworkTest : public QObject {
  Q_OBJECT

 private slots:
  // The engine through ser2net and a site's link.
  void overRealLinks_data();
  void overRealLinks();

  void carriesTheLine_data() {
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("serverLine");
    QTest::addColumn<QList<PortState>>("states");
    // The rfc2217 server starts the line at 9600 7E2: only the client's
    // settings can bring it to 19200 8N1. Each open, loss and close is told.
    using enum PortState;
    QTest::newRow("rfc2217") << "rfc2217"
                             << "9600e72" << QList{Connecting, Negotiating, Open, HungUp, Closed,
                                                   Connecting, Negotiating, Open, Closed};
    QTest::newRow("tcp") << "tcp"
                         << "19200n81" << QList{Connecting, Open, HungUp, Closed, Connecting, Open, Closed};
    QTest::newRow("rfc2217+tls") << "rfc2217+tls"
                                 << "9600e72" << QList{Connecting, Securing, Negotiating, Open, HungUp, Closed,
                                                       Connecting, Securing, Negotiating, Open, Closed};
    QTest::newRow("tcp+tls") << "tcp+tls"
                             << "19200n81"
                             << QList{Connecting, Securing, Open, HungUp, Closed, Connecting, Securing, Open, Closed};
  }

  void carriesTheLine() {
    QFETCH(QString, scheme);
    QFETCH(QString, serverLine);
    PtyPeer controller;
    // Over TLS the server is proven by its own certificate.
    QTemporaryDir dir;
    const bool tls = scheme.endsWith(QLatin1String("+tls"));
    QVERIFY(!tls || makeTlsSite(dir));
    Ser2netServer server(
        scheme.startsWith(QLatin1String("tcp")) ? Ser2netServer::Mode::RawTcp : Ser2netServer::Mode::Rfc2217,
        controller.slavePath(), serverLine, tls ? tlsSiteAccepter(dir, false) : QString());
    QVERIFY2(server.start(), server.output().constData());
    TlsCredentials credentials{std::nullopt, dir.filePath("kept"), std::nullopt};
    if (tls)
      credentials.serverCertificate = readServerCertificateFile(dir.filePath("s.crt"));
    Client client(server.address(), credentials);
    QCOMPARE(client.service.open(), OpenProgress::Pending);
    QTRY_COMPARE(client.service.state(), PortState::Open);

    // A message and a lone 0xFF arrive exactly, the 0xFF once; the line is
    // set as asked; every byte value comes back exactly.
    client.service.writeText(QString::fromLatin1(kMessage + "\xff"));
    QCOMPARE(controller.receive(kMessage.size() + 1), kMessage + "\xff");
    termios line{};
    ::tcgetattr(controller.masterFd(), &line);  // a pseudo-terminal's two ends share their settings
    QCOMPARE(::cfgetospeed(&line), speed_t(B19200));
    QCOMPARE(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    const QByteArray everyValue = everyByte().repeated(2);
    controller.send(everyValue);
    QByteArray got;
    QTRY_COMPARE(got += client.service.readAllPending().toLatin1(), everyValue);

    // The server stopped: the loss is told once and the port is closed; the
    // same service opens again once the server is back.
    server.stop();
    QTRY_COMPARE(client.losses.size(), 1);
    QCOMPARE(client.losses[0].fault(), LinkFault::ConnectionLost);
    QCOMPARE(client.service.state(), PortState::Closed);
    QTest::qWait(200);
    QCOMPARE(client.losses.size(), 1);
    QVERIFY2(server.start(), server.output().constData());
    QCOMPARE(client.service.open(), OpenProgress::Pending);
    QTRY_COMPARE(client.service.state(), PortState::Open);
    client.service.writeText(QString::fromLatin1(kMessage));
    QCOMPARE(controller.receive(kMessage.size()), kMessage);
    client.service.close();
    QTEST(client.states, "states");
  }

  void refusals_data() {
    QTest::addColumn<QByteArray>("greeting");  // what the fake server says on connect
    QTest::addColumn<bool>("closes");          // when the client speaks, after reading it
    QTest::addColumn<QString>("address");      // instead of the fake server
    QTest::addColumn<LinkFault>("fault");
    QTest::addColumn<QString>("reasonPart");

    const auto row = [](const char* name, QByteArrayView greetingHex, bool closes, const QString& address,
                        LinkFault fault, const QString& reasonPart) {
      QTest::newRow(name) << QByteArray::fromHex(greetingHex.toByteArray()) << closes << address << fault << reasonPart;
    };
    row("never answers the option", "", false, {}, LinkFault::NotRfc2217, "não fala RFC 2217");
    row("refuses the option", "fffe2c", false, {}, LinkFault::NotRfc2217, "não fala RFC 2217");
    row("answers 9600", "fffd2c fffa2c6500002580fff0 fffa2c6608fff0 fffa2c6701fff0 fffa2c6801fff0 fffa2c6901fff0",
        false, {}, LinkFault::SettingsRefused, "Resposta do servidor: velocidade 9600 em vez de 19200.");
    row("takes the option, then hangs", "fffd2c", false, {}, LinkFault::ServerHung, "parou de responder");
    row("answers one setting only", "fffd2c fffa2c6500004b00fff0", false, {}, LinkFault::SettingsRefused,
        "Resposta do servidor: bits de dados sem confirmação, paridade sem confirmação");
    row("closes at once", "", true, {}, LinkFault::ClosedAtOnce, "encerrou a conexão");
    row("says it is in use and closes", QByteArray("Port already in use\r\n").toHex(), true, {}, LinkFault::PortInUse,
        "Motivo informado pelo sistema: \u201CPort already in use\u201D");
    row("says it is in use and stays", QByteArray("Port already in use\r\n").toHex(), false, {}, LinkFault::PortInUse,
        "em uso");
    row("nothing listens", "", false, "tcp://127.0.0.1:1", LinkFault::ConnectionRefused, "nada atende");
    row("name does not resolve", "", false, "rfc2217://controladora.invalid:2217", LinkFault::HostNotFound,
        "não foi encontrado");
  }

  void refusals() {
    QFETCH(QByteArray, greeting);
    QFETCH(bool, closes);
    QFETCH(QString, address);
    QFETCH(QString, reasonPart);
    QTcpServer fake;
    QVERIFY(fake.listen(QHostAddress::LocalHost));
    QObject::connect(&fake, &QTcpServer::newConnection, [&] {
      QTcpSocket* server = fake.nextPendingConnection();
      server->write(greeting);
      QObject::connect(server, &QTcpSocket::readyRead, server, [server, closes] {
        server->readAll();  // read, so that the close is not a reset that takes the greeting with it
        if (closes)
          server->disconnectFromHost();
      });
    });
    Client client(address.isEmpty() ? QStringLiteral("rfc2217://127.0.0.1:%1").arg(fake.serverPort()) : address);
    // The open fails once, told from the event loop, and leaves the port closed.
    QCOMPARE(client.service.open(), OpenProgress::Pending);
    QTRY_COMPARE_WITH_TIMEOUT(client.failures.size(), 1, 4000);
    QCOMPARE(client.states.back(), PortState::Closed);  // closed, and told so
    QTEST(client.failures[0].fault(), "fault");
    const QString text =
        describeFailure({Operation::OpenPort, 0, client.failures[0], 0, 1, std::nullopt, std::nullopt});
    QVERIFY_CONTAINS(text, reasonPart);
    QTest::qWait(100);
    QCOMPARE(client.failures.size(), 1);
  }

  // A drain and the idle probe, at moments handed in (ms from the start).
  void drainsOnceConfirmedAndSent() {
    using enum WriteConfirmation::Outcome;
    struct Moment {
      int atMs;
      quint64 marksAnswered;
      bool acknowledged;
      WriteConfirmation::Outcome outcome;
    };
    struct Row {
      const char* name;
      AwaitedConfirmation awaited;
      qint64 lineBytes;  // 1920: one second on the line
      QList<Moment> moments;
    };
    const Row rows[] = {
        {"mark 3, then the line time from its answer",
         MarkAnswered{3},
         1920,
         {{100, 2, true, Pending},
          {500, 3, false, Pending},
          {1499, 3, false, Pending},
          {1500, 3, false, Drained},
          {1600, 3, false, Pending}}},
        {"every byte acknowledged", EveryByteAcknowledged{}, 0, {{10, 9, false, Pending}, {20, 9, true, Drained}}},
        {"never confirmed",
         MarkAnswered{1},
         0,
         {{7999, 0, true, Pending}, {8000, 0, true, NotConfirmed}, {8001, 1, true, Pending}}},
    };
    for (const Row& row : rows) {
      WriteConfirmation drain;
      drain.begin({}, row.lineBytes, 8000ms, row.awaited);
      for (const Moment& at : row.moments) {
        const auto outcome = drain.check(WriteConfirmation::Clock::time_point(std::chrono::milliseconds(at.atMs)),
                                         {at.marksAnswered, [&] { return at.acknowledged; }});
        QVERIFY2(outcome == at.outcome, qPrintable(QStringLiteral("%1, %2 ms").arg(row.name).arg(at.atMs)));
      }
    }
  }

  void probesAnIdleLink() {
    using enum LinkProbe::Step;
    constexpr auto kIdle = WriteConfirmation::State::Idle, kDraining = WriteConfirmation::State::AwaitingServer;
    struct Moment {
      int atMs;
      quint64 unanswered;
      WriteConfirmation::State drain;
      std::optional<LinkProbe::Step> step;  // none: the server answers a mark then
    };
    const QList<Moment> rows[] = {
        {{3999, 0, kIdle, Wait},
         {4000, 0, kIdle, AskForAnswer},
         {11999, 1, kIdle, Wait},
         {12000, 1, kIdle, LinkSilent}},
        {{4000, 0, kIdle, AskForAnswer},
         {4100, 0, kIdle, {}},
         {5000, 0, kIdle, Wait},
         {8099, 0, kIdle, Wait},
         {8100, 0, kIdle, AskForAnswer}},
        {{5000, 0, kDraining, Wait},
         {20000, 1, kDraining, Wait},
         {21000, 1, kIdle, Wait},
         {28999, 1, kIdle, Wait},
         {29000, 1, kIdle, LinkSilent}},
    };
    for (const QList<Moment>& row : rows) {
      LinkProbe probe(4000ms, 8000ms);
      probe.start({});
      for (const Moment& at : row) {
        const LinkProbe::Clock::time_point now(std::chrono::milliseconds(at.atMs));
        if (!at.step)
          probe.answered(now);
        else
          QVERIFY2(probe.check(now, at.unanswered, at.drain) == at.step, qPrintable(QString::number(at.atMs)));
      }
    }
  }

  // Through the loaded network module the port raises its own failures: a
  // write to a port not open is refused, not taken as written.
  void theModulesPortRaisesItsFailures() {
    const std::unique_ptr<PortService> port(
        newNetworkPort(parseNetworkAddress(QStringLiteral("tcp://127.0.0.1:1")).value(), nullptr, nullptr));
    QCOMPARE(port->state(), PortState::Closed);
    try {
      port->writeText(QStringLiteral("x"));
      QFAIL("a write to a closed port was taken");
    } catch (const LinkError& error) {
      QCOMPARE(error.fault(), LinkFault::NotOpen);
    }
  }

  // A timer that fires before its time ends nothing; started again, the
  // deadline forgets the earlier point.
  void deadlineNeverEarly() {
    PreciseDeadline deadline;
    QSignalSpy expired(&deadline, &PreciseDeadline::expired);
    deadline.start(60s);
    auto* timer = deadline.findChild<QTimer*>();
    QVERIFY(timer && QMetaObject::invokeMethod(timer, "timeout"));
    QCOMPARE(expired.size(), 0);
    deadline.start(10ms);
    QTRY_COMPARE(expired.size(), 1);
  }
};

void NetworkTest::overRealLinks_data() {
  QTest::addColumn<QString>("scheme");
  QTest::addColumn<int>("maxDelayMs");  // toward the server, per chunk
  QTest::addColumn<Story>("story");
  // clang-format off
  QTest::newRow("apply, delaying link") << "rfc2217" << 600 << Story::Apply;
  QTest::newRow("silent link, window's poll") << "rfc2217" << 0 << Story::SilentWhilePolled;
  QTest::newRow("server lost during a pause") << "rfc2217" << 0 << Story::LostDuringPause;
  QTest::newRow("silent link during a send") << "rfc2217" << 0 << Story::SilentDuringSend;
  QTest::newRow("one-shot sends, rfc2217") << "rfc2217" << 0 << Story::OneShots;
  QTest::newRow("one-shot sends, tcp") << "tcp" << 0 << Story::OneShots;
  QTest::newRow("factory interrupted at its first write") << "rfc2217" << 0 << Story::InterruptedFactory;
  QTest::newRow("one-shot sends, tcp+tls") << "tcp+tls" << 0 << Story::OneShots;
  QTest::newRow("apply, delaying link, rfc2217+tls") << "rfc2217+tls" << 600 << Story::Apply;
  QTest::newRow("server lost during a pause, rfc2217+tls") << "rfc2217+tls" << 0 << Story::LostDuringPause;
  QTest::newRow("a changed certificate the system trusts") << "rfc2217+tls" << 0 << Story::ChangedCertificate;
  // clang-format on
}

void NetworkTest::overRealLinks() {
  QFETCH(QString, scheme);
  QFETCH(int, maxDelayMs);
  QFETCH(Story, story);
  PtyPeer controller;
  // Over TLS an authority the test adds to the system's signs the server's
  // certificate for 127.0.0.1, and another one as well.
  const bool tls = scheme.endsWith(QLatin1String("+tls"));
  QTemporaryDir dir;
  if (tls) {
    QVERIFY(makeCertificate(dir, "ca", "ca") && makeCertificate(dir, "s", "127.0.0.1", "ca") &&
            makeCertificate(dir, "o", "127.0.0.1", "ca"));
    QSslConfiguration system = QSslConfiguration::defaultConfiguration();
    system.addCaCertificates(dir.filePath("ca.crt"));
    QSslConfiguration::setDefaultConfiguration(system);
  }
  Ser2netServer server(
      scheme.startsWith(QLatin1String("tcp")) ? Ser2netServer::Mode::RawTcp : Ser2netServer::Mode::Rfc2217,
      controller.slavePath(), QStringLiteral("19200n81"),
      tls ? QStringLiteral("key=%1,cert=%2").arg(dir.filePath("s.key"), dir.filePath("s.crt")) : QString());
  QVERIFY2(server.start(), server.output().constData());
  LinkRelay relay(server.port(), 860, maxDelayMs);
  ControllerEngine engine{PortCatalog()};
  const NetworkAddress address = *parseNetworkAddress(relay.address(qPrintable(scheme)));
  const TrustedServers kept(dir.filePath("kept"));
  if (story == Story::ChangedCertificate)
    QVERIFY(!kept.keep(address.host, address.port, QSslCertificate::fromPath(dir.filePath("o.crt")).value(0)));
  engine.setTlsCredentials(
      std::make_shared<const TlsCredentials>(TlsCredentials{std::nullopt, dir.filePath("kept"), std::nullopt}));
  // Shortened: the proof is that the controller sees no gap under the pause.
  constexpr auto kGap = 1000ms;
  engine.setCommandGap(kGap);
  QList<OperationFailure> failures;
  QList<std::pair<LinkError, QString>> losses;
  QByteArray written;
  QObject::connect(&engine, &ControllerEngine::failed,
                   [&](const OperationFailure& failure) { failures.append(failure); });
  QObject::connect(&engine, &ControllerEngine::connectionLost, [&](const LinkError& error) {
    losses.append({error, describeConnectionLost(error, engine.afterLoss())});
  });
  QObject::connect(&engine, &ControllerEngine::written, [&](const QByteArray& bytes) { written += bytes; });
  (void)engine.changePort(address);
  const auto idle = [&] { return !engine.isBusy(); };
  // As zelqon-cli ends a one-shot run: the port closes as soon as the operation ends.
  const auto closedWhenIdle = [&] {
    if (!idle())
      return false;
    engine.closePort();
    return true;
  };

  switch (story) {
    case Story::Apply: {
      QCOMPARE(engine.sendAllRadioPrograms({}), OperationStart::Started);
      const QList<Burst> bursts = listen(controller, idle);
      QVERIFY(failures.isEmpty());
      QCOMPARE(bursts.size(), 4);
      QByteArray arrived;
      for (qsizetype i = 0; i < bursts.size(); ++i) {
        arrived += bursts[i].bytes;
        if (i > 0)
          QVERIFY2(bursts[i].first - bursts[i - 1].last >= kGap.count(),
                   qPrintable(QStringLiteral("gap %1: %2 ms").arg(i).arg(bursts[i].first - bursts[i - 1].last)));
      }
      QCOMPARE(arrived, written);
      break;
    }
    case Story::SilentWhilePolled: {
      QCOMPARE(engine.openPort(), OperationStart::Started);
      QTRY_VERIFY(engine.isOpen());
      engine.startPolling();
      QTest::qWait(1500);  // answered probes before the silence keep the link up
      QVERIFY(losses.isEmpty());
      relay.goSilent();
      QElapsedTimer silent;
      silent.start();
      QTRY_VERIFY_WITH_TIMEOUT(!losses.isEmpty(), 16000);
      QVERIFY2(silent.elapsed() <= 15000, qPrintable(QString::number(silent.elapsed())));
      QCOMPARE(losses[0].first.fault(), LinkFault::LinkSilent);
      QVERIFY_CONTAINS(losses[0].second, QStringLiteral("parou de responder"));
      // The window's poll opens again.
      QTest::qWait(1500);
      QVERIFY(engine.portState() != PortState::Closed);
      break;
    }
    case Story::LostDuringPause: {
      QObject::connect(&engine, &ControllerEngine::progress, [&](const SequenceProgress& step) {
        if (step.step == 1)
          relay.closeAll();
      });
      QElapsedTimer sinceFirst;
      QObject::connect(&engine, &ControllerEngine::progress, [&] { sinceFirst.start(); });
      QCOMPARE(engine.sendFactoryProgramming(), OperationStart::Started);
      QTRY_VERIFY_WITH_TIMEOUT(idle(), 5000);
      QVERIFY2(sinceFirst.elapsed() < kGap.count() / 2, qPrintable(QString::number(sinceFirst.elapsed())));
      QCOMPARE(failures.size(), 1);
      QCOMPARE(failures[0].error.fault(), LinkFault::ConnectionLost);
      QVERIFY_CONTAINS(describeFailure(failures[0]), QStringLiteral("1 de 4"));
      QVERIFY_CONTAINS(describeFailure(failures[0]), QStringLiteral("conexão com o servidor foi perdida"));
      break;
    }
    case Story::SilentDuringSend: {
      QCOMPARE(engine.openPort(), OperationStart::Started);
      QTRY_VERIFY(idle() && engine.isOpen());
      relay.goSilent();
      QCOMPARE(engine.sendRadioProgram(1, {}), OperationStart::Started);
      QTRY_VERIFY_WITH_TIMEOUT(idle(), 12000);
      QCOMPARE(failures.size(), 1);
      QCOMPARE(failures[0].error.fault(), LinkFault::NotConfirmed);
      QVERIFY_CONTAINS(describeFailure(failures[0]), QStringLiteral("não confirmou"));
      break;
    }
    case Story::InterruptedFactory: {
      // Ctrl+C as the first message goes out: it still reaches the line
      // whole before the port closes, and counts as sent.
      QObject::connect(
          &engine, &ControllerEngine::written, &engine, [&] { engine.interrupt(); }, Qt::SingleShotConnection);
      QCOMPARE(engine.sendFactoryProgramming(), OperationStart::Started);
      const QList<Burst> bursts = listen(controller, closedWhenIdle, 30);
      QCOMPARE(bursts.value(0).bytes, written);
      QCOMPARE(failures.size(), 1);
      QVERIFY_CONTAINS(describeFailure(failures[0]), QStringLiteral("Comandos enviados: 1 de 4"));
      break;
    }
    case Story::ChangedCertificate:
      // Refused before a byte goes out, though the handshake found nothing wrong.
      QCOMPARE(engine.openPort(), OperationStart::Started);
      QTRY_VERIFY(idle());
      QCOMPARE(failures.size(), 1);
      QVERIFY(failures[0].error.serverRefused() && failures[0].error.serverRefused()->cause == TrustRefusal::Changed);
      QVERIFY_CONTAINS(describeFailure(failures[0]), QStringLiteral("mudou"));
      QCOMPARE(controller.receive(1, 300), QByteArray());
      break;
    case Story::OneShots:
      // Closed as soon as each send ends, with the controller's side read
      // only every 30 ms: ser2net throws away what its line still holds
      // when the client leaves.
      for (int run = 0; run < 20; ++run) {
        written.clear();
        QCOMPARE(engine.sendRadioProgram(1 + run % 4, {}), OperationStart::Started);
        const QList<Burst> bursts = listen(controller, closedWhenIdle, 30);
        QVERIFY2(failures.isEmpty(), qPrintable(failures.isEmpty() ? QString() : describeFailure(failures[0])));
        QCOMPARE(bursts.value(0).bytes, written);
      }
      break;
  }
}

QTEST_GUILESS_MAIN(NetworkTest)
#include "tst_network.moc"
