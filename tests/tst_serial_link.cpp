// The link against a real serial device: a pseudo-terminal whose other end
// this test drives as the controller would.

#include "protocol/programming_message.h"
#include "pty_peer.h"

#include <QTest>
#include <QTimer>

#include <ctime>

using namespace zelqon;

class SerialLinkTest : public QObject {
  Q_OBJECT

 private slots:
  void opensWithTheControllersLineSettings();
  void pollAppendsAnswersAndSkipsSpaceOnlyReads();
  void pollSeesBytesThatArrivedWithoutEventLoop();
  void bytesReceivedDuringPauseWaitForTheNextPoll();
  void closeRightAfterWriteDropsNothing();
  void hangUpClosesOnceAndGoesIdle();
  void missingDeviceAndRefusedNumbersFailAtTheRightStep();
};

void SerialLinkTest::opensWithTheControllersLineSettings() {
  PtyLink t;
  t.link.ensurePortOpen();
  QVERIFY(t.link.isOpen());
  const termios line = t.controller.lineSettings();
  QCOMPARE(cfgetospeed(&line), speed_t(B19200));
  QCOMPARE(cfgetispeed(&line), speed_t(B19200));
  // 8N1, no flow control of either kind.
  QCOMPARE(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
  // Raw: no translation of CR or LF either way.
  QCOMPARE(line.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR), tcflag_t(0));
  QCOMPARE(line.c_oflag & OPOST, tcflag_t(0));
  QCOMPARE(line.c_lflag & ICANON, tcflag_t(0));
}

void SerialLinkTest::pollAppendsAnswersAndSkipsSpaceOnlyReads() {
  PtyLink t;
  t.monitor.append(QStringLiteral("typed by operator|"));
  t.link.pollReceive();  // opens on demand; nothing pending
  QVERIFY(t.link.isOpen());
  QCOMPARE(t.monitor.text(), QStringLiteral("typed by operator|"));
  for (const char* answer : {"   ", " OK \r\n", "\r\n"}) {
    t.controller.send(answer);
    t.link.pollReceive();
  }
  QCOMPARE(t.monitor.text(), QStringLiteral("typed by operator| OK \r\n\r\n"));
}

void SerialLinkTest::pollSeesBytesThatArrivedWithoutEventLoop() {
  PtyLink t;
  t.link.ensurePortOpen();
  t.controller.send("ANSWER");
  ::usleep(20000);  // let the kernel pass the bytes on; no event loop runs here
  t.link.pollReceive();
  QCOMPARE(t.monitor.text(), QStringLiteral("ANSWER"));
}

void SerialLinkTest::bytesReceivedDuringPauseWaitForTheNextPoll() {
  PtyLink t;
  t.link.ensurePortOpen();
  // A tick that falls inside the pause reads nothing.
  int ticksDuringPause = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    ++ticksDuringPause;
    t.link.pollReceive();
  });
  ticker.start(20);
  QTimer::singleShot(30, [&] { t.controller.send("during pause"); });
  t.link.pauseKeepingDisplay(std::chrono::milliseconds(200));
  ticker.stop();
  QVERIFY(ticksDuringPause > 0);
  QCOMPARE(t.monitor.text(), QString());
  t.link.pollReceive();
  QCOMPARE(t.monitor.text(), QStringLiteral("during pause"));
}

void SerialLinkTest::closeRightAfterWriteDropsNothing() {
  PtyLink t;
  t.link.ensurePortOpen();
  t.link.writeText(factoryMessage(3));
  t.link.changePort(QStringLiteral("1"));  // closes at once, no event loop between
  QVERIFY(!t.link.isOpen());
  QCOMPARE(t.controller.receive(70, 500), factoryMessage(3).toLatin1());
}

void SerialLinkTest::hangUpClosesOnceAndGoesIdle() {
  PtyLink t;
  QStringList lost;
  connect(&t.link, &SerialLink::connectionLost, this, [&](const QString& port) { lost.append(port); });
  t.link.ensurePortOpen();
  t.controller.hangUp();
  QTRY_VERIFY_WITH_TIMEOUT(!t.link.isOpen(), 2000);
  QCOMPARE(lost.size(), 1);

  // Back to idle: the event loop no longer spins on the dead descriptor.
  const std::clock_t before = std::clock();
  QTest::qWait(500);
  QVERIFY2(double(std::clock() - before) / CLOCKS_PER_SEC < 0.2, "event loop still busy after hang-up");

  // Polls keep trying silently and add nothing.
  t.link.pollReceive();
  QCOMPARE(lost.size(), 1);
  QCOMPARE(t.monitor.text(), QString());
}

void SerialLinkTest::missingDeviceAndRefusedNumbersFailAtTheRightStep() {
  PtyLink t(3);
  QList<LinkFault> failures;
  t.link.setFailureObserver([&](const OperationFailure& failure) { failures.append(failure.error.fault()); });
  // Port 1 is stored at start, and nothing is numbered 1 here.
  try {
    t.link.ensurePortOpen();
    QFAIL("open of a missing port succeeded");
  } catch (const LinkError& error) {
    QCOMPARE(error.fault(), LinkFault::NoSuchPort);
    QCOMPARE(error.port(), QStringLiteral("COM1"));
  }
  // Empty text and COM3 give 0, which the service refuses; the number stays.
  for (const QString& text : {QString(), QStringLiteral("COM3"), QStringLiteral("40000")})
    t.link.changePort(text);
  QCOMPARE(failures, QList<LinkFault>(3, LinkFault::InvalidNumber));
  QCOMPARE(t.link.portNumber(), qint16(1));

  t.link.changePort(QStringLiteral(" 3 "));
  QCOMPARE(t.link.portNumber(), qint16(3));
  t.link.pollReceive();
  QVERIFY(t.link.isOpen());
  // Leaving the list unchanged still closes; the next poll reopens.
  t.link.changePort(QStringLiteral("3"));
  QVERIFY(!t.link.isOpen());
  t.link.pollReceive();
  QVERIFY(t.link.isOpen());
}

QTEST_GUILESS_MAIN(SerialLinkTest)
#include "tst_serial_link.moc"
