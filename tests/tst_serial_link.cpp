// The link against a real serial device: a pseudo-terminal whose other end
// this test drives as the controller would.

#include "protocol/monitor_text.h"
#include "protocol/programming_commands.h"
#include "protocol/programming_message.h"
#include "pty_peer.h"
#include "serial/serial_link.h"
#include "serial/serial_port_service.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

using namespace zelqon;

namespace {

PortCatalog catalogWith(const QString& path, int number = 1) {
  return PortCatalog({{number, PortDevice{QStringLiteral("pty"), path, QStringLiteral("test pty")}}});
}

struct LinkUnderTest {
  explicit LinkUnderTest(const PortCatalog& catalog) {
    auto owned = std::make_unique<SerialPortService>(catalog);
    service = owned.get();
    link = std::make_unique<SerialLink>(std::move(owned), monitor);
    link->setFailureObserver([this](const OperationFailure& failure) { failures.append(failure.error.fault()); });
  }
  MemoryMonitor monitor;
  SerialPortService* service = nullptr;
  std::unique_ptr<SerialLink> link;
  QList<LinkFault> failures;
};

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

class SerialLinkTest : public QObject {
  Q_OBJECT

 private slots:
  void opensWithTheControllersLineSettings();
  void writesExactBytesAndEchoes();
  void pollAppendsAnswersAndSkipsSpaceOnlyReads();
  void pollSeesBytesThatArrivedWithoutEventLoop();
  void bytesReceivedDuringPauseWaitForTheNextPoll();
  void closeRightAfterWriteDropsNothing();
  void hangUpClosesOnceAndGoesIdle();
  void missingDeviceAndRefusedNumbersFailAtTheRightStep();
};

void SerialLinkTest::opensWithTheControllersLineSettings() {
  PtyPeer controller;
  LinkUnderTest t(catalogWith(controller.slavePath()));
  t.link->ensurePortOpen();
  QVERIFY(t.link->isOpen());

  const termios line = controller.lineSettings();
  QCOMPARE(cfgetospeed(&line), speed_t(B19200));
  QCOMPARE(cfgetispeed(&line), speed_t(B19200));
  QCOMPARE(line.c_cflag & CSIZE, tcflag_t(CS8));
  QCOMPARE(line.c_cflag & PARENB, tcflag_t(0));
  QCOMPARE(line.c_cflag & CSTOPB, tcflag_t(0));
  QCOMPARE(line.c_cflag & CRTSCTS, tcflag_t(0));
  QCOMPARE(line.c_iflag & (IXON | IXOFF), tcflag_t(0));
  // Raw: no translation of CR or LF either way.
  QCOMPARE(line.c_iflag & (ICRNL | INLCR | IGNCR), tcflag_t(0));
  QCOMPARE(line.c_oflag & OPOST, tcflag_t(0));
  QCOMPARE(line.c_lflag & ICANON, tcflag_t(0));
}

void SerialLinkTest::writesExactBytesAndEchoes() {
  PtyPeer controller;
  LinkUnderTest t(catalogWith(controller.slavePath()));
  ProgrammingCommands commands(
      *t.link, t.monitor, [](int) { return RadioProgram{}; }, [](std::chrono::milliseconds) {});
  commands.sendRadioProgram(2);
  QCOMPARE(controller.receive(70), factoryMessage(2).toLatin1());
  QCOMPARE(t.monitor.text(), factoryMessage(2) + "\r\n");

  commands.sendAtualizarCommand();
  QCOMPARE(controller.receive(9), QByteArray("Atualizar"));
  QCOMPARE(t.monitor.text(), factoryMessage(2) + "\r\n");
}

void SerialLinkTest::pollAppendsAnswersAndSkipsSpaceOnlyReads() {
  PtyPeer controller;
  LinkUnderTest t(catalogWith(controller.slavePath()));
  t.monitor.append(QStringLiteral("typed by operator|"));

  t.link->pollReceive();  // opens on demand; nothing pending
  QVERIFY(t.link->isOpen());
  QCOMPARE(t.monitor.text(), QStringLiteral("typed by operator|"));

  controller.send("   ");
  t.link->pollReceive();
  QCOMPARE(t.monitor.text(), QStringLiteral("typed by operator|"));

  controller.send(" OK \r\n");
  t.link->pollReceive();
  controller.send("\r\n");
  t.link->pollReceive();
  QCOMPARE(t.monitor.text(), QStringLiteral("typed by operator| OK \r\n\r\n"));
}

void SerialLinkTest::pollSeesBytesThatArrivedWithoutEventLoop() {
  PtyPeer controller;
  LinkUnderTest t(catalogWith(controller.slavePath()));
  t.link->ensurePortOpen();
  controller.send("ANSWER");
  ::usleep(20000);  // let the kernel pass the bytes on; no event loop runs here
  t.link->pollReceive();
  QCOMPARE(t.monitor.text(), QStringLiteral("ANSWER"));
}

void SerialLinkTest::bytesReceivedDuringPauseWaitForTheNextPoll() {
  PtyPeer controller;
  LinkUnderTest t(catalogWith(controller.slavePath()));
  t.link->ensurePortOpen();

  // A tick that falls inside the pause reads nothing.
  int ticksDuringPause = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    ++ticksDuringPause;
    t.link->pollReceive();
  });
  ticker.start(20);
  QTimer::singleShot(30, [&] { controller.send("during pause"); });
  t.link->pauseKeepingDisplay(std::chrono::milliseconds(200));
  ticker.stop();
  QVERIFY(ticksDuringPause > 0);
  QCOMPARE(t.monitor.text(), QString());

  t.link->pollReceive();
  QCOMPARE(t.monitor.text(), QStringLiteral("during pause"));
}

void SerialLinkTest::closeRightAfterWriteDropsNothing() {
  PtyPeer controller;
  LinkUnderTest t(catalogWith(controller.slavePath()));
  t.link->ensurePortOpen();
  t.link->writeText(factoryMessage(3));
  t.link->changePort(QStringLiteral("1"));  // closes at once, no event loop between
  QVERIFY(!t.link->isOpen());
  QCOMPARE(controller.receive(70, 500), factoryMessage(3).toLatin1());
}

void SerialLinkTest::hangUpClosesOnceAndGoesIdle() {
  auto controller = std::make_unique<PtyPeer>();
  LinkUnderTest t(catalogWith(controller->slavePath()));
  QStringList lost;
  connect(t.link.get(), &SerialLink::connectionLost, this, [&](const QString& port) { lost.append(port); });
  t.link->ensurePortOpen();
  controller.reset();  // the controller's end is gone

  QTRY_VERIFY_WITH_TIMEOUT(!t.link->isOpen(), 2000);
  QCOMPARE(lost.size(), 1);

  // Back to idle: the event loop no longer spins on the dead descriptor.
  const double before = cpuSeconds();
  QTest::qWait(500);
  QVERIFY2(cpuSeconds() - before < 0.2, "event loop still busy after hang-up");

  // Polls keep trying silently and add nothing.
  t.link->pollReceive();
  QCOMPARE(lost.size(), 1);
  QCOMPARE(t.monitor.text(), QString());
}

void SerialLinkTest::missingDeviceAndRefusedNumbersFailAtTheRightStep() {
  PtyPeer controller;
  LinkUnderTest t(catalogWith(controller.slavePath(), 3));
  // Port 1 is stored at start, and nothing is numbered 1 here.
  try {
    t.link->ensurePortOpen();
    QFAIL("open of a missing port succeeded");
  } catch (const LinkError& error) {
    QCOMPARE(error.fault(), LinkFault::NoSuchPort);
    QCOMPARE(error.port(), QStringLiteral("COM1"));
  }
  // Empty text and COM3 give 0, which the service refuses; the number stays.
  t.link->changePort(QString());
  t.link->changePort(QStringLiteral("COM3"));
  t.link->changePort(QStringLiteral("40000"));
  QCOMPARE(t.failures,
           (QList<LinkFault>{LinkFault::InvalidNumber, LinkFault::InvalidNumber, LinkFault::InvalidNumber}));
  QCOMPARE(t.link->portNumber(), qint16(1));

  t.link->changePort(QStringLiteral(" 3 "));
  QCOMPARE(t.link->portNumber(), qint16(3));
  t.link->pollReceive();
  QVERIFY(t.link->isOpen());
  // Leaving the list unchanged still closes; the next poll reopens.
  t.link->changePort(QStringLiteral("3"));
  QVERIFY(!t.link->isOpen());
  t.link->pollReceive();
  QVERIFY(t.link->isOpen());
}

QTEST_GUILESS_MAIN(SerialLinkTest)
#include "tst_serial_link.moc"
