// The serial line behind a network server: Debian's ser2net, started by the
// test, serves a pseudo-terminal the test plays the controller on; fake
// servers in the test refuse an open in every other way.

#include "pty_peer.h"
#include "ser2net_server.h"
#include "serial/network_port_service.h"

#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>

using namespace zelqon;
using namespace std::chrono_literals;

namespace {

const QByteArray kMessage = "Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;";

// A service with short deadlines, and what it told: the states it passed as
// letters, failed opens, losses (the service last, so that it goes first).
struct Client {
  explicit Client(const QString& address)
      : service(parseNetworkAddress(address).value(), NetworkPortService::Timeouts{2000ms, 700ms, 2000ms}) {
    QObject::connect(&service, &PortService::stateChanged,
                     [this](PortState state) { states += QStringLiteral("xcnoh").at(int(state)); });
    QObject::connect(&service, &PortService::openFailed, [this](const LinkError& error) { failures.append(error); });
    QObject::connect(&service, &PortService::hungUp, [this](const LinkError& error) { losses.append(error); });
  }
  QString states;
  QList<LinkError> failures, losses;
  NetworkPortService service;
};

}  // namespace

class NetworkTest : public QObject {
  Q_OBJECT

 private slots:
  void carriesTheLine_data() {
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("serverLine");
    QTest::addColumn<QString>("states");
    // The rfc2217 server starts the line at 9600 7E2: only the client's
    // settings can bring it to 19200 8N1. Each open, loss and close is told.
    // clang-format off
    QTest::newRow("rfc2217") << "rfc2217" << "9600e72" << "cnoxcnox";
    QTest::newRow("tcp") << "tcp" << "19200n81" << "coxcox";
    // clang-format on
  }

  void carriesTheLine() {
    QFETCH(QString, scheme);
    QFETCH(QString, serverLine);
    PtyPeer controller;
    Ser2netServer server(scheme == QLatin1String("tcp") ? Ser2netServer::Mode::RawTcp : Ser2netServer::Mode::Rfc2217,
                         controller.slavePath(), serverLine);
    QVERIFY2(server.start(), server.output().constData());
    Client client(server.address());
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
    QByteArray everyValue;
    for (int value = 0; value < 512; ++value)
      everyValue += char(value);
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
    QTest::addColumn<PortState>("closedIn");  // a first open closed there is no news

    const auto row = [](const char* name, QByteArrayView greetingHex, bool closes, const QString& address,
                        LinkFault fault, const QString& reasonPart, PortState closedIn = PortState::Closed) {
      QTest::newRow(name) << QByteArray::fromHex(greetingHex.toByteArray()) << closes << address << fault << reasonPart
                          << closedIn;
    };
    row("never answers the option", "", false, {}, LinkFault::NotRfc2217, "COM-PORT", PortState::Negotiating);
    row("refuses the option", "fffe2c", false, {}, LinkFault::NotRfc2217, "recusou");
    row("answers 9600", "fffd2c fffa2c6500002580fff0 fffa2c6608fff0 fffa2c6701fff0 fffa2c6801fff0 fffa2c6901fff0",
        false, {}, LinkFault::SettingsRefused, "velocidade 9600 em vez de 19200");
    row("option but no confirmations", "fffd2c", false, {}, LinkFault::SettingsRefused, "sem confirmação");
    row("closes at once", "", true, {}, LinkFault::ClosedAtOnce, {});
    row("says why and closes", QByteArray("Port already in use\r\n").toHex(), true, {}, LinkFault::ClosedAtOnce,
        "Port already in use");
    row("nothing listens", "", false, "tcp://127.0.0.1:1", LinkFault::ConnectionRefused, {});
    row("name does not resolve", "", false, "rfc2217://controladora.invalid:2217", LinkFault::HostNotFound, {},
        PortState::Connecting);
  }

  void refusals() {
    QFETCH(QByteArray, greeting);
    QFETCH(bool, closes);
    QFETCH(QString, address);
    QFETCH(QString, reasonPart);
    QFETCH(PortState, closedIn);
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
    if (closedIn != PortState::Closed) {
      // Closed while on the way: nothing more is told, not even past the deadline.
      QCOMPARE(client.service.open(), OpenProgress::Pending);
      QTRY_COMPARE(client.service.state(), closedIn);
      client.service.close();
      const QString states = client.states;
      QTest::qWait(900);
      QVERIFY(client.failures.isEmpty());
      QCOMPARE(client.states, states);
    }

    // The open fails once, told from the event loop, and leaves the port closed.
    QCOMPARE(client.service.open(), OpenProgress::Pending);
    QTRY_COMPARE_WITH_TIMEOUT(client.failures.size(), 1, 4000);
    QCOMPARE(client.states.back(), QLatin1Char('x'));  // closed, and told so
    QTEST(client.failures[0].fault(), "fault");
    QVERIFY2(client.failures[0].reason().contains(reasonPart), qPrintable(client.failures[0].reason()));
    QTest::qWait(100);
    QCOMPARE(client.failures.size(), 1);
  }
};

QTEST_GUILESS_MAIN(NetworkTest)
#include "tst_network.moc"
