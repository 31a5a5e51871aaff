// The serial line behind a network server, with Debian's ser2net serving a
// pseudo-terminal the test plays the controller on: the bytes both ways, the
// line settings the server applied, a server that goes away, and every way
// an open can be refused (some by a fake server in the test).

#include "pty_peer.h"
#include "ser2net_server.h"
#include "serial/network_port_service.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace zelqon;
using namespace std::chrono_literals;

namespace {

const QByteArray kMessage = "Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;";

std::unique_ptr<NetworkPortService> serviceFor(const QString& address) {
  const auto parsed = parseNetworkAddress(address);
  if (!parsed)
    throw std::runtime_error("bad address");
  return std::make_unique<NetworkPortService>(*parsed, NetworkPortService::Timeouts{2000ms, 700ms, 2000ms});
}

// What a service told: the states it passed as letters, failed opens, losses.
struct Told {
  explicit Told(NetworkPortService& service) {
    QObject::connect(&service, &PortService::stateChanged,
                     [this](PortState state) { states += QStringLiteral("xcnoh").at(int(state)); });
    QObject::connect(&service, &PortService::openFailed, [this](const LinkError& error) { failures.append(error); });
    QObject::connect(&service, &PortService::hungUp, [this](const LinkError& error) { losses.append(error); });
  }
  QString states;
  QList<LinkError> failures;
  QList<LinkError> losses;
};

// Opens and runs the event loop until the open has ended.
void openAndWait(NetworkPortService& service, const Told& told) {
  const qsizetype failures = told.failures.size();
  if (service.open() == OpenProgress::Open)
    return;
  const QDeadlineTimer deadline(5000);
  while (service.state() != PortState::Open && told.failures.size() == failures && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

// A server in the test that speaks Telnet as told: `greeting` on connect,
// and when `closeAtOnce`, a close as soon as the client has spoken (read, so
// that the close is not a reset that would take the greeting with it).
class FakeServer {
 public:
  FakeServer(QByteArray greeting, bool closeAtOnce) {
    m_server.listen(QHostAddress::LocalHost);
    QObject::connect(&m_server, &QTcpServer::newConnection, [this, greeting, closeAtOnce] {
      QTcpSocket* client = m_server.nextPendingConnection();
      client->write(greeting);
      QObject::connect(client, &QTcpSocket::readyRead, client, [client, closeAtOnce] {
        client->readAll();
        if (closeAtOnce)
          client->disconnectFromHost();
      });
    });
  }
  [[nodiscard]] QString address() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(m_server.serverPort()); }

 private:
  QTcpServer m_server;
};

}  // namespace

class NetworkTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void carriesTheLine_data();
  void carriesTheLine();
  void serverGoneIsToldOnceAndReopens();
  void refusals_data();
  void refusals();
  void closeWhileOpeningIsQuiet();
};

void NetworkTest::initTestCase() {
  if (!Ser2netServer::installed())
    QFAIL("ser2net is not installed (/usr/sbin/ser2net): `make test` installs it, or `sudo apt-get install ser2net`.");
}

void NetworkTest::carriesTheLine_data() {
  QTest::addColumn<Ser2netServer::Mode>("mode");
  QTest::addColumn<QString>("serverLine");
  QTest::addColumn<QString>("states");
  // The rfc2217 server starts the line at 9600 7E2: only the client's
  // settings can bring it to 19200 8N1.
  QTest::newRow("rfc2217") << Ser2netServer::Mode::Rfc2217 << "9600e72"
                           << "cno";
  QTest::newRow("tcp") << Ser2netServer::Mode::RawTcp << "19200n81"
                       << "co";
}

void NetworkTest::carriesTheLine() {
  QFETCH(Ser2netServer::Mode, mode);
  QFETCH(QString, serverLine);
  PtyPeer controller;
  Ser2netServer server(mode, controller.slavePath(), serverLine);
  QVERIFY2(server.start(), server.output().constData());
  const auto service = serviceFor(server.address());
  QCOMPARE(service->displayName(), server.address());
  const Told told(*service);
  openAndWait(*service, told);
  QTEST(told.states, "states");
  QCOMPARE(service->state(), PortState::Open);

  // A message and a lone 0xFF arrive exactly, the 0xFF once.
  service->writeText(QString::fromLatin1(kMessage + "\xff"));
  QCOMPARE(controller.receive(kMessage.size() + 1), kMessage + "\xff");

  termios line{};
  const int fd = ::open(controller.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ::tcgetattr(fd, &line);
  ::close(fd);
  QCOMPARE(::cfgetospeed(&line), speed_t(B19200));
  QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
  QCOMPARE(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));

  QByteArray everyValue;
  for (int value = 0; value < 256; ++value)
    everyValue += char(value);
  controller.send(everyValue + everyValue);
  QByteArray got;
  QTRY_VERIFY((got += service->readAllPending().toLatin1()).size() >= 512);
  QCOMPARE(got, everyValue + everyValue);
  service->close();
  QCOMPARE(service->state(), PortState::Closed);
}

void NetworkTest::serverGoneIsToldOnceAndReopens() {
  PtyPeer controller;
  Ser2netServer server(Ser2netServer::Mode::Rfc2217, controller.slavePath(), QStringLiteral("19200n81"));
  QVERIFY2(server.start(), server.output().constData());
  const auto service = serviceFor(server.address());
  const Told told(*service);
  openAndWait(*service, told);
  QCOMPARE(service->state(), PortState::Open);

  // ser2net holds its serial port for one client: a second is sent away.
  const auto second = serviceFor(server.address());
  const Told toldSecond(*second);
  openAndWait(*second, toldSecond);
  QCOMPARE(toldSecond.failures.size(), 1);
  QCOMPARE(toldSecond.failures[0].fault(), LinkFault::ClosedAtOnce);

  server.stop();
  QTRY_COMPARE(told.losses.size(), 1);
  QCOMPARE(service->state(), PortState::Closed);
  QCOMPARE(told.losses[0].fault(), LinkFault::ConnectionLost);
  QVERIFY_THROWS_EXCEPTION(LinkError, (void)service->readAllPending());
  QTest::qWait(200);
  QCOMPARE(told.losses.size(), 1);

  QVERIFY2(server.start(), server.output().constData());
  openAndWait(*service, told);
  QCOMPARE(service->state(), PortState::Open);
  service->writeText(QString::fromLatin1(kMessage));
  QCOMPARE(controller.receive(kMessage.size()), kMessage);
}

void NetworkTest::refusals_data() {
  QTest::addColumn<QByteArray>("greeting");
  QTest::addColumn<bool>("closeAtOnce");
  QTest::addColumn<QString>("address");  // instead of a fake server
  QTest::addColumn<LinkFault>("fault");
  QTest::addColumn<QString>("reasonPart");

  const QByteArray answers = QByteArray::fromHex(
      "fffd2c fffa2c6500002580fff0 fffa2c6608fff0 fffa2c6701fff0"
      "fffa2c6801fff0 fffa2c6901fff0");
  QTest::newRow("never answers the option")
      << QByteArray() << false << QString() << LinkFault::NotRfc2217 << "COM-PORT";
  QTest::newRow("refuses the option") << QByteArray::fromHex("fffe2c") << false << QString() << LinkFault::NotRfc2217
                                      << "recusou";
  QTest::newRow("answers 9600") << answers << false << QString() << LinkFault::SettingsRefused
                                << "velocidade 9600 em vez de 19200";
  QTest::newRow("option but no confirmations")
      << QByteArray::fromHex("fffd2c") << false << QString() << LinkFault::SettingsRefused << "sem confirmação";
  QTest::newRow("closes at once") << QByteArray() << true << QString() << LinkFault::ClosedAtOnce << QString();
  QTest::newRow("says why and closes") << QByteArray("Port already in use\r\n") << true << QString()
                                       << LinkFault::ClosedAtOnce << "Port already in use";
  QTest::newRow("nothing listens") << QByteArray() << false << "tcp://127.0.0.1:1" << LinkFault::ConnectionRefused
                                   << QString();
  QTest::newRow("name does not resolve") << QByteArray() << false << "rfc2217://controladora.invalid:2217"
                                         << LinkFault::HostNotFound << QString();
}

void NetworkTest::refusals() {
  QFETCH(QByteArray, greeting);
  QFETCH(bool, closeAtOnce);
  QFETCH(QString, address);
  QFETCH(QString, reasonPart);
  FakeServer fake(greeting, closeAtOnce);
  const auto service = serviceFor(address.isEmpty() ? fake.address() : address);
  const Told told(*service);
  QCOMPARE(service->open(), OpenProgress::Pending);
  QTRY_COMPARE_WITH_TIMEOUT(told.failures.size(), 1, 4000);
  QCOMPARE(service->state(), PortState::Closed);
  QCOMPARE(told.states.back(), QLatin1Char('x'));
  const LinkError& error = told.failures[0];
  QTEST(error.fault(), "fault");
  QCOMPARE(error.step(), LinkStep::Open);
  QVERIFY2(error.reason().contains(reasonPart), qPrintable(error.reason()));
  QTest::qWait(100);
  QCOMPARE(told.failures.size(), 1);
}

void NetworkTest::closeWhileOpeningIsQuiet() {
  FakeServer silent({}, false);
  // Closed while negotiating with a server that never answers, and while
  // the name is still being looked up.
  for (const auto& [address, state] :
       {std::pair{silent.address(), PortState::Negotiating},
        {QStringLiteral("rfc2217://controladora.invalid:2217"), PortState::Connecting}}) {
    const auto service = serviceFor(address);
    const Told told(*service);
    QCOMPARE(service->open(), OpenProgress::Pending);
    QTRY_COMPARE(service->state(), state);
    service->close();
    QCOMPARE(service->state(), PortState::Closed);
    const QString states = told.states;
    QTest::qWait(900);
    QVERIFY(told.failures.isEmpty());
    QCOMPARE(told.states, states);
  }
}

QTEST_GUILESS_MAIN(NetworkTest)
#include "tst_network.moc"
