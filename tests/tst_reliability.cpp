// Reliability under load and faults: nothing received is lost, a pulled
// adapter is survived, and a port held by another program is refused cleanly.
//
// Short forms run in `make test`; with ZELQON_SOAK=1 (`make soak`) the same
// cases run long.

#include "pty_peer.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace zelqon;

namespace {

bool soak() { return qEnvironmentVariableIntValue("ZELQON_SOAK") == 1; }

// Passes everything through to the real service and keeps each read, so the
// test can account for every poll exactly.
class RecordingService final : public PortService {
 public:
  explicit RecordingService(PortCatalog catalog) : m_real(std::move(catalog)) {
    m_real.setHangUpHandler([this](const LinkError& error) { reportHangUp(error); });
  }
  void selectPortNumber(qint16 number) override { m_real.selectPortNumber(number); }
  [[nodiscard]] qint16 portNumber() const override { return m_real.portNumber(); }
  [[nodiscard]] bool isOpen() const override { return m_real.isOpen(); }
  void open() override { m_real.open(); }
  void close() override { m_real.close(); }
  void writeText(const QString& text) override { m_real.writeText(text); }
  [[nodiscard]] QString readAllPending() override {
    QString read = m_real.readAllPending();
    reads.append(read);
    return read;
  }
  QStringList reads;

 private:
  SerialPortService m_real;
};

PortCatalog catalogAt(const QString& path) { return ptyCatalog({{1, path}}); }

// Random bytes of every value, with now and then a burst of spaces alone.
QByteArray randomBurst(QRandomGenerator& random) {
  const int size = 1 + int(random.bounded(4000));
  if (random.bounded(8) == 0)
    return QByteArray(size, ' ');
  QByteArray burst(size, Qt::Uninitialized);
  for (char& byte : burst)
    byte = char(random.bounded(256));
  return burst;
}

}  // namespace

class ReliabilityTest : public QObject {
  Q_OBJECT

 private slots:
  void nothingReceivedIsLost();
  void pulledAndPluggedBackWithoutRestart();
  void portGoneFromTheFileSystemIsClosed();
  void secondProcessIsRefusedAndFirstKeepsWorking();
};

void ReliabilityTest::nothingReceivedIsLost() {
  const qsizetype total = soak() ? 10 * 1024 * 1024 : 512 * 1024;
  PtyPeer controller;
  auto ports = std::make_shared<PortCatalog>(catalogAt(controller.slavePath()));
  auto owned = std::make_unique<RecordingService>(*ports);
  RecordingService* service = owned.get();
  ControllerEngine link(ports, std::move(owned));
  QString monitor;
  connect(&link, &ControllerEngine::received, this, [&](const QString& text) { monitor += text; });

  // Polls at random moments while bursts arrive; the event loop runs between.
  QRandomGenerator random(20261206);
  QTimer poller;
  poller.setSingleShot(true);
  QObject::connect(&poller, &QTimer::timeout, [&] {
    link.pollReceive();
    poller.start(int(random.bounded(15)));
  });
  link.pollReceive();
  poller.start(0);

  QByteArray sent;
  sent.reserve(total + 4000);
  while (sent.size() < total) {
    const QByteArray burst = randomBurst(random);
    controller.send(burst);
    sent += burst;
    QCoreApplication::processEvents(QEventLoop::AllEvents, int(random.bounded(3)));
    if (random.bounded(2) == 0)
      link.pollReceive();  // a tick right now, besides the timer's
  }
  QTRY_VERIFY_WITH_TIMEOUT(service->reads.join(QString()).size() == sent.size(), 20000);
  poller.stop();

  QString expected;
  qsizetype spaceOnlyPolls = 0;
  for (const QString& read : std::as_const(service->reads)) {
    if (!read.isEmpty() && read.count(QLatin1Char(' ')) == read.size())
      ++spaceOnlyPolls;
    else
      expected += read;
  }
  QCOMPARE(service->reads.join(QString()).toLatin1(), sent);  // every byte read, in order
  QVERIFY(monitor == expected);                        // shown as read, less space-only polls
  QVERIFY(spaceOnlyPolls > 0);                                // the case was exercised
  qInfo("%lld bytes in %lld polls, %lld of them spaces alone", qlonglong(sent.size()), qlonglong(service->reads.size()),
        qlonglong(spaceOnlyPolls));
}

void ReliabilityTest::pulledAndPluggedBackWithoutRestart() {
  // The device path is a link, so a new pseudo-terminal can stand at the same
  // path, as a re-plugged adapter comes back as the same ttyUSB0.
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("ttyUSB0"));
  auto first = std::make_unique<PtyPeer>();
  QVERIFY(QFile::link(first->slavePath(), path));

  ControllerEngine link(catalogAt(path));
  QString monitor;
  connect(&link, &ControllerEngine::received, this, [&](const QString& text) { monitor += text; });
  int losses = 0;
  connect(&link, &ControllerEngine::connectionLost, this, [&] { ++losses; });
  link.pollReceive();
  first->send("before|");
  link.pollReceive();

  first.reset();  // pulled out
  QTRY_VERIFY(!link.isOpen());
  QFile::remove(path);
  for (int tick = 0; tick < 5; ++tick)
    link.pollReceive();  // silent retries while nothing is there
  QVERIFY(!link.isOpen());
  QCOMPARE(losses, 1);

  PtyPeer second;  // plugged back
  QVERIFY(QFile::link(second.slavePath(), path));
  link.pollReceive();
  QVERIFY(link.isOpen());
  second.send("after");
  link.pollReceive();
  QCOMPARE(monitor, QStringLiteral("before|after"));
  link.sendAtualizarCommand();
  QCOMPARE(second.receive(9), QByteArray("Atualizar"));
}

void ReliabilityTest::portGoneFromTheFileSystemIsClosed() {
  // A pulled USB adapter takes its device node with it even while the tty
  // still answers; the next poll notices and closes.
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("ttyACM0"));
  PtyPeer controller;
  QVERIFY(QFile::link(controller.slavePath(), path));
  ControllerEngine link(catalogAt(path));
  QSignalSpy lost(&link, &ControllerEngine::connectionLost);
  link.pollReceive();
  QVERIFY(link.isOpen());
  QFile::remove(path);
  link.pollReceive();
  QVERIFY(!link.isOpen());
  QCOMPARE(lost.count(), 1);
}

void ReliabilityTest::secondProcessIsRefusedAndFirstKeepsWorking() {
  PtyEngine first;
  first.engine.pollReceive();
  // Another program tries the same device.
  QProcess second;
  second.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-port"), first.controller.slavePath()});
  QVERIFY(second.waitForFinished(10000));
  const QString answer = QString::fromUtf8(second.readAllStandardOutput()).trimmed();
  QVERIFY2(answer.startsWith(QStringLiteral("refused AccessDenied")), qPrintable(answer));

  first.engine.sendAtualizarCommand();
  QCOMPARE(first.controller.receive(9), QByteArray("Atualizar"));
  first.controller.send("answer");
  first.engine.pollReceive();
  QCOMPARE(first.monitor, QStringLiteral("answer"));
  QVERIFY(first.failures.isEmpty());
}

// As a second program: try to open the port, say how it went, and leave.
static int holdPort(const QString& path) {
  SerialPortService service(catalogAt(path));
  try {
    service.open();
    std::printf("opened\n");
  } catch (const LinkError& error) {
    const char* fault = error.fault() == LinkFault::AccessDenied ? "AccessDenied" : "other";
    std::printf("refused %s %s\n", fault, qPrintable(error.reason()));
  }
  return 0;
}

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  if (argc == 3 && QByteArray(argv[1]) == "--hold-port")
    return holdPort(QString::fromLocal8Bit(argv[2]));
  ReliabilityTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_reliability.moc"
