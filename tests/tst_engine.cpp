// The engine against a real serial device, with no widget: a pseudo-terminal
// whose other end this test drives as the controller would.

#include "engine/operator_text.h"
#include "protocol/programming_message.h"
#include "pty_engine.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

using namespace zelqon;
using namespace std::chrono_literals;

namespace {

const QString kFactorySet = factoryMessage(1) + factoryMessage(2) + factoryMessage(3) + factoryMessage(4);

// Every operation the front ends start, and the failures each tells when its
// port is missing; a port change only fails on a text that is no number.
const struct {
  const char* name;
  int failuresWithoutPort;
  OperationStart (*start)(ControllerEngine&, bool portThere);
} kOperations[] = {
    {"send", 1, [](ControllerEngine& e, bool) { return e.sendRadioProgram(2, {}); }},
    {"send all", 4, [](ControllerEngine& e, bool) { return e.sendAllRadioPrograms({}); }},
    {"factory", 1, [](ControllerEngine& e, bool) { return e.sendFactoryProgramming(); }},
    {"Atualizar", 1, [](ControllerEngine& e, bool) { return e.sendAtualizarCommand(); }},
    {"open", 1, [](ControllerEngine& e, bool) { return e.openPort(); }},
    {"change port", 1,
     [](ControllerEngine& e, bool there) {
       return there ? e.changePort(1) : e.changePort(std::nullopt, QStringLiteral("x"));
     }},
};

}  // namespace

class EngineTest : public QObject {
  Q_OBJECT

 private slots:
  void opensAtTheLineSettingsAndPollsAnswers() {
    PtyEngine t;
    t.engine.pollReceive();  // opens on demand; nothing pending
    // Read where they are set: a pty reports 8N1 whatever it was asked.
    const auto* port = t.engine.findChild<QSerialPort*>();
    QVERIFY(port && port->isOpen());
    QCOMPARE((QList<int>{port->baudRate(), port->dataBits(), port->parity(), port->stopBits(), port->flowControl()}),
             (QList<int>{19200, QSerialPort::Data8, QSerialPort::NoParity, QSerialPort::OneStop,
                         QSerialPort::NoFlowControl}));
    // Spaces alone are not shown; more than one buffer's worth is taken in.
    const QByteArray long_(3000, 'x');
    for (const QByteArray& answer : {QByteArray("   "), QByteArray(" OK \r\n"), long_})
      QVERIFY(t.answerAndPoll(answer));
    QCOMPARE(t.monitor, QStringLiteral(" OK \r\n") + QString::fromLatin1(long_));
  }

  void sendRadioEchoesThenWritesExactBytes() {
    PtyEngine t;
    RadioProgram two;
    two.corLevel = CorLevel::ActiveLow;
    two.keyedRadios.set(1, true);
    two.hang = *DelayTime::fromMilliseconds(10000);
    QCOMPARE(t.engine.sendRadioProgram(2, two), OperationStart::Started);
    const QString expected = QStringLiteral("Radio=2;COR=0;DelayDT=00100;PTT1=1;PTT2=0;PTT3=0;PTT4=0;DelayHT=10000;");
    QCOMPARE(t.controller.receive(70), expected.toLatin1());
    QCOMPARE(t.engine.sendRadioProgram(1, {}), OperationStart::Started);
    t.engine.closePort();  // at once: what was written still reaches the line
    QCOMPARE(t.controller.receive(70), factoryMessage(1).toLatin1());
    // Radio 1's echo opens with a line break of its own.
    QCOMPARE(t.monitor, expected + "\r\n\r\n" + factoryMessage(1) + "\r\n");
    QVERIFY(t.failures.isEmpty());

    // A write that fails leaves its echo standing, and says so.
    t.engine.pollReceive();
    t.controller.hangUp();
    t.monitor.clear();
    QCOMPARE(t.engine.sendRadioProgram(3, {}), OperationStart::Started);
    QCOMPARE(t.monitor, factoryMessage(3) + "\r\n");
    QCOMPARE(t.failures.size(), 1);
    QCOMPARE(t.failures[0].error.step(), LinkStep::Write);
  }

  void factoryWritesTheFixedSetWholeGapsApart() {
    // A shorter gap, so the suite stays quick; zelqon-cli's test keeps 3000 ms.
    PtyEngine t;
    t.engine.setCommandGap(400ms);
    QSignalSpy busy(&t.engine, &ControllerEngine::busyChanged);
    // Timed where each write returns: a reader on a loaded machine may be late.
    QElapsedTimer clock;
    clock.start();
    QList<qint64> writes;
    connect(&t.engine, &ControllerEngine::written, this, [&] { writes.append(clock.elapsed()); });
    QCOMPARE(t.engine.sendFactoryProgramming(), OperationStart::Started);
    QByteArray line;
    bool answered = false;
    while (line.size() < 4 * 70 && clock.elapsed() < 15000) {
      line += t.controller.receive(1, 50);
      if (line.size() == 70 && !answered) {
        // Answers wait for the first poll after the sequence; nothing else starts.
        t.controller.send("during");
        answered = true;
        t.engine.pollReceive();
        QCOMPARE(t.engine.sendRadioProgram(1, {}), OperationStart::RefusedBusy);
        QCOMPARE(t.engine.changePort(2), OperationStart::RefusedBusy);
      }
    }
    QCOMPARE(line, kFactorySet.toLatin1());
    QCOMPARE(writes.size(), 4);
    for (int i = 1; i < 4; ++i)
      QVERIFY2(writes[i] - writes[i - 1] >= 400, qPrintable(QString::number(writes[i] - writes[i - 1])));
    QVERIFY(t.waitIdle());
    QCOMPARE(busy.count(), 2);
    QCOMPARE(t.monitor, QString());  // no echo, and nothing polled yet
    t.engine.pollReceive();
    QCOMPARE(t.monitor, QStringLiteral("during"));
    QCOMPARE(t.steps.size(), 4);
    QCOMPARE(t.steps[2].nextIn, 400ms);
    QCOMPARE(t.steps[3].nextIn, 0ms);
  }

  void sendAllGoesOnWhereFactoryStops() {
    // Port 1 does not exist: every radio tries to open, fails and the sequence
    // goes on with its pause and the next radio.
    PtyEngine t(2);
    t.engine.setCommandGap(100ms);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(t.engine.sendAllRadioPrograms({}), OperationStart::Started);
    QVERIFY(t.waitIdle());
    QVERIFY(clock.elapsed() >= 300);
    QCOMPARE(t.failures.size(), 4);
    for (int radio = 1; radio <= 4; ++radio) {
      const OperationFailure& failure = t.failures[radio - 1];
      QCOMPARE(failure.radio, radio);
      QCOMPARE(failure.error.fault(), LinkFault::NoSuchPort);
      QVERIFY_CONTAINS(describeFailure(failure), QStringLiteral("RÁDIO %1").arg(radio));
      QCOMPARE(t.steps.at(radio - 1).written, false);
    }
    QCOMPARE(t.monitor, QString());  // the open failed before each echo
    // The factory set stops at its first failure and counts what went out.
    QCOMPARE(t.engine.sendFactoryProgramming(), OperationStart::Started);
    QVERIFY(t.waitIdle());
    QCOMPARE(t.failures.size(), 5);
    QVERIFY_CONTAINS(describeFailure(t.failures.last()), QStringLiteral("Comandos enviados: 0 de 4."));
  }

  void everyOperationEndsInABusyPair_data() {
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("portThere");
    for (const bool there : {true, false})
      for (int i = 0; i < int(std::size(kOperations)); ++i)
        QTest::addRow("%s%s", kOperations[i].name, there ? "" : ", no port") << i << there;
  }

  void everyOperationEndsInABusyPair() {
    QFETCH(int, operation);
    QFETCH(bool, portThere);
    PtyEngine t(portThere ? 1 : 2);
    t.engine.setCommandGap(20ms);
    QSignalSpy busy(&t.engine, &ControllerEngine::busyChanged);
    QCOMPARE(kOperations[operation].start(t.engine, portThere), OperationStart::Started);
    QVERIFY(t.waitIdle());
    QCOMPARE(busy, (QList<QVariantList>{{true}, {false}}));
    QCOMPARE(t.failures.size(), portThere ? 0 : kOperations[operation].failuresWithoutPort);
    // Refused while nothing runs: no busy signal, nothing written.
    QCOMPARE(t.engine.sendRadioProgram(0, {}), OperationStart::RefusedArgument);
    QCOMPARE(t.engine.sendRadioProgram(5, {}), OperationStart::RefusedArgument);
    QCOMPARE(busy.count(), 2);
  }

  void sendAllWritesEachRadioItsOwnValues() {
    PtyEngine t;
    t.engine.setCommandGap(50ms);
    std::array<RadioProgram, kRadioCount> programs{};
    programs[3].corLevel = CorLevel::ActiveLow;
    QCOMPARE(t.engine.sendAllRadioPrograms(programs), OperationStart::Started);
    QVERIFY(t.waitIdle());
    QVERIFY(t.failures.isEmpty());
    QCOMPARE(t.controller.receive(kFactorySet.size()),
             QString(kFactorySet).replace(QStringLiteral("Radio=4;COR=1"), QStringLiteral("Radio=4;COR=0")).toLatin1());
  }

  void leavingThePortListClosesAndTakesTheNumber() {
    PtyEngine t(3);
    // Port 1 is stored at start, and nothing is numbered 1 here.
    QCOMPARE(t.engine.sendAtualizarCommand(), OperationStart::Started);
    QCOMPARE(t.failures.size(), 1);
    QVERIFY_CONTAINS(describeFailure(t.failures[0]), QStringLiteral("COM1."));
    QVERIFY_CONTAINS(describeFailure(t.failures[0]),
                     QStringLiteral("Portas presentes agora: COM3 (%1)").arg(t.controller.slavePath()));
    // Empty text and COM3 give 0, which is refused; 40000 is no number at all.
    QCOMPARE(t.engine.changePort(0), OperationStart::Started);
    QCOMPARE(t.engine.changePort(std::nullopt, QStringLiteral("40000")), OperationStart::Started);
    QCOMPARE(t.failures.size(), 3);
    QCOMPARE(t.failures[1].error.fault(), LinkFault::InvalidNumber);
    QVERIFY_CONTAINS(describeFailure(t.failures[2]), QStringLiteral("40000"));
    QCOMPARE(t.engine.portNumber(), qint16(1));

    QCOMPARE(t.engine.changePort(3), OperationStart::Started);
    t.engine.pollReceive();
    QVERIFY(t.engine.isOpen());
    // A text that is no number closes too, and keeps port 3 for the next poll.
    (void)t.engine.changePort(std::nullopt, QStringLiteral("x"));
    QVERIFY(!t.engine.isOpen());
    t.engine.pollReceive();
    QVERIFY(t.engine.isOpen());
    // Leaving the list unchanged still closes; the next operation reopens.
    (void)t.engine.changePort(3);
    QVERIFY(!t.engine.isOpen());
    (void)t.engine.sendAtualizarCommand();
    QCOMPARE(t.controller.receive(9), QByteArray("Atualizar"));
    // Gone from the system's list: its number no longer opens what stands at its
    // node, which may be another adapter by now.
    t.engine.setPortScan([] { return QList<PortDevice>{}; });
    t.engine.refreshPorts();
    (void)t.engine.changePort(3);
    (void)t.engine.sendAtualizarCommand();
    QCOMPARE(t.failures.last().error.fault(), LinkFault::NoSuchPort);
  }

  void pulledAndPluggedBackWithoutRestart() {
    // The device path is a link, so a new pseudo-terminal can stand at the same
    // path, as a re-plugged adapter comes back as the same ttyUSB0.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ttyUSB0"));
    auto first = std::make_unique<PtyPeer>();
    QVERIFY(QFile::link(first->slavePath(), path));
    ControllerEngine engine(ptyCatalog({{1, path}}));
    QString monitor;
    connect(&engine, &ControllerEngine::received, this, [&](const QString& text) { monitor += text; });
    QSignalSpy lost(&engine, &ControllerEngine::connectionLost);
    engine.pollReceive();
    first->send("before|");
    engine.pollReceive();

    // Pulled: the line hangs up. Closed and told once, from the event loop,
    // which then goes back to idle instead of spinning on the dead line.
    first.reset();
    QTRY_VERIFY_WITH_TIMEOUT(!engine.isOpen(), 2000);
    const std::clock_t before = std::clock();
    QTest::qWait(500);
    QVERIFY2(double(std::clock() - before) / CLOCKS_PER_SEC < 0.2, "event loop still busy after the hang-up");
    QFile::remove(path);
    engine.pollReceive();  // a silent retry while nothing is there
    QCOMPARE(lost.count(), 1);

    PtyPeer second;  // plugged back
    QVERIFY(QFile::link(second.slavePath(), path));
    second.send("after");
    engine.pollReceive();
    QCOMPARE(monitor, QStringLiteral("before|after"));
    // Pulled again, its node gone while the tty still answers: the next poll
    // notices.
    QFile::remove(path);
    engine.pollReceive();
    QVERIFY(!engine.isOpen());
    QCOMPARE(lost.count(), 2);
  }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "tst_engine.moc"
