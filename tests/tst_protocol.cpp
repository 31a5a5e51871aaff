// Radio values, toggles, messages and the command sequences with failures
// injected at each step.

#include "protocol/programming_commands.h"
#include "protocol/programming_message.h"
#include "protocol/radio_program.h"

#include <QTest>

using namespace zelqon;
using namespace std::chrono_literals;

namespace {

// A link that records what happens and fails on the step it is told to.
class ScriptedLink final : public ControllerLink {
 public:
  QStringList log;           // "open", "write:<text>", "pause"
  int failOpens = 0;         // the next n opens fail
  int failWriteNumber = -1;  // the n-th write (from 1) fails
  bool open = false;

  void ensurePortOpen() override {
    if (open)
      return;
    log.append(QStringLiteral("open"));
    if (failOpens > 0) {
      --failOpens;
      throw LinkError(LinkStep::Open, LinkFault::NoSuchPort, QStringLiteral("COM1"), QStringLiteral("gone"));
    }
    open = true;
  }
  void writeText(const QString& text) override {
    ++m_writes;
    if (m_writes == failWriteNumber)
      throw LinkError(LinkStep::Write, LinkFault::Other, QStringLiteral("COM1"), QStringLiteral("I/O error"));
    log.append(QStringLiteral("write:") + text);
  }

 private:
  int m_writes = 0;
};

struct Rig {
  ScriptedLink link;
  MemoryMonitor monitor;
  std::array<RadioProgram, kRadioCount> radios{};
  QList<OperationFailure> failures;
  ProgrammingCommands commands{link, monitor, [this](int n) { return radios[size_t(n - 1)]; },
                               [this](std::chrono::milliseconds ms) {
                                 QCOMPARE(ms, 3000ms);
                                 link.log.append(QStringLiteral("pause"));
                               }};
  Rig() {
    commands.setFailureObserver([this](const OperationFailure& f) { failures.append(f); });
  }
};

QString writeOf(const QString& text) { return QStringLiteral("write:") + text; }

}  // namespace

class ProtocolTest : public QObject {
  Q_OBJECT

 private slots:
  void togglesDecideFromTheCaption_data();
  void togglesDecideFromTheCaption();
  void routeTableMapsButtonsToOtherRadios();
  void delayTextsAndChoiceList();
  void messagesFollowTheRouteTable_data();
  void messagesFollowTheRouteTable();
  void defaultsProduceTheFactoryMessages();
  void echoFormsDifferForRadioOne();
  void sendRadioFailureSteps();
  void sendAllGoesOnPastFailingRadios();
  void factoryStopsAtTheFailingWrite_data();
  void factoryStopsAtTheFailingWrite();
  void atualizarWritesNineCharactersWithoutEcho();
};

void ProtocolTest::togglesDecideFromTheCaption_data() {
  QTest::addColumn<bool>("cor");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("nextCaption");
  QTest::addColumn<QString>("nextFlag");
  QTest::newRow("cor high -> low") << true << kCorActiveHigh << kCorActiveLow << "0";
  QTest::newRow("cor low -> high") << true << kCorActiveLow << kCorActiveHigh << "1";
  QTest::newRow("cor foreign caption -> low") << true << "ativo baixo" << kCorActiveLow << "0";
  QTest::newRow("cor empty -> low") << true << "" << kCorActiveLow << "0";
  QTest::newRow("route off -> on") << false << kRouteOff << kRouteOn << "1";
  QTest::newRow("route on -> off") << false << kRouteOn << kRouteOff << "0";
  QTest::newRow("route foreign caption -> off") << false << "Desativado " << kRouteOff << "0";
}

void ProtocolTest::togglesDecideFromTheCaption() {
  QFETCH(bool, cor);
  QFETCH(QString, caption);
  QFETCH(QString, nextCaption);
  QFETCH(QString, nextFlag);
  const FlagDisplay next = cor ? nextCorLevel(caption) : nextPttRoute(caption);
  QCOMPARE(next, (FlagDisplay{nextCaption, nextFlag}));
}

void ProtocolTest::routeTableMapsButtonsToOtherRadios() {
  const int expected[4][3] = {{2, 3, 4}, {1, 3, 4}, {1, 2, 4}, {1, 2, 3}};
  for (int radio = 1; radio <= 4; ++radio)
    for (int key = 2; key <= 4; ++key)
      QCOMPARE(routedRadio(radio, key), expected[radio - 1][key - 2]);
  QVERIFY_THROWS_EXCEPTION(std::out_of_range, (void)routedRadio(1, 1));
  QVERIFY_THROWS_EXCEPTION(std::out_of_range, (void)routedRadio(5, 2));
}

void ProtocolTest::delayTextsAndChoiceList() {
  QCOMPARE(formatDelayText(0), QStringLiteral("00000"));
  QCOMPARE(formatDelayText(5000), QStringLiteral("05000"));
  QCOMPARE(formatDelayText(10000), QStringLiteral("10000"));
  const QStringList choices = delayChoiceList();
  QCOMPARE(choices.size(), 101);
  QCOMPARE(choices.front(), QStringLiteral("00000"));
  QCOMPARE(choices.indexOf(kDefaultDelay), 1);
  QCOMPARE(choices.back(), QStringLiteral("10000"));
  for (qsizetype i = 1; i < choices.size(); ++i)
    QCOMPARE(choices[i].toInt() - choices[i - 1].toInt(), 100);
}

void ProtocolTest::messagesFollowTheRouteTable_data() {
  QTest::addColumn<int>("radio");
  QTest::addColumn<int>("routeKey");
  QTest::addColumn<QString>("expected");
  // One route switched on at a time: the "1" lands under the routed radio.
  const struct {
    int radio, key;
    const char* ptts;
  } rows[] = {{1, 2, "PTT1=0;PTT2=1;PTT3=0;PTT4=0"}, {1, 4, "PTT1=0;PTT2=0;PTT3=0;PTT4=1"},
              {2, 2, "PTT1=1;PTT2=0;PTT3=0;PTT4=0"}, {2, 3, "PTT1=0;PTT2=0;PTT3=1;PTT4=0"},
              {3, 3, "PTT1=0;PTT2=1;PTT3=0;PTT4=0"}, {3, 4, "PTT1=0;PTT2=0;PTT3=0;PTT4=1"},
              {4, 2, "PTT1=1;PTT2=0;PTT3=0;PTT4=0"}, {4, 4, "PTT1=0;PTT2=0;PTT3=1;PTT4=0"}};
  for (const auto& row : rows)
    QTest::addRow("%d/PTT%d", row.radio, row.key)
        << row.radio << row.key
        << QStringLiteral("Radio=%1;COR=1;DelayDT=00100;%2;DelayHT=00100;").arg(row.radio).arg(QLatin1String(row.ptts));
}

void ProtocolTest::messagesFollowTheRouteTable() {
  QFETCH(int, radio);
  QFETCH(int, routeKey);
  QFETCH(QString, expected);
  RadioProgram program;
  program.routeFlag(routeKey) = kFlagOn;
  const QString message = buildProgrammingMessage(radio, program);
  QCOMPARE(message, expected);
  QCOMPARE(message.size(), 70);
}

void ProtocolTest::defaultsProduceTheFactoryMessages() {
  for (int radio = 1; radio <= 4; ++radio)
    QCOMPARE(buildProgrammingMessage(radio, RadioProgram{}), factoryMessage(radio));
  // A foreign value in every field, all routes on: radio 4 of the examples.
  RadioProgram program{kFlagOff, kFlagOn, kFlagOff, kFlagOn, QStringLiteral("00000"), QStringLiteral("10000")};
  QCOMPARE(buildProgrammingMessage(4, program),
           QStringLiteral("Radio=4;COR=0;DelayDT=00000;PTT1=1;PTT2=0;PTT3=1;PTT4=0;DelayHT=10000;"));
  // Delay texts go out as they stand, unchecked.
  program = RadioProgram{};
  program.Cor_Delay_DT.clear();
  program.Cor_Delay_HT = QStringLiteral("abc");
  QCOMPARE(buildProgrammingMessage(2, program),
           QStringLiteral("Radio=2;COR=1;DelayDT=;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=abc;"));
}

void ProtocolTest::echoFormsDifferForRadioOne() {
  Rig rig;
  rig.commands.sendRadioProgram(2);
  QCOMPARE(rig.monitor.text(), factoryMessage(2) + "\r\n");
  rig.commands.sendRadioProgram(1);  // an empty line between the two echoes
  rig.commands.sendRadioProgram(3);  // none here
  QCOMPARE(rig.monitor.text(),
           factoryMessage(2) + "\r\n\r\n" + factoryMessage(1) + "\r\n" + factoryMessage(3) + "\r\n");
  QCOMPARE(rig.link.log,
           (QStringList{"open", writeOf(factoryMessage(2)), writeOf(factoryMessage(1)), writeOf(factoryMessage(3))}));
}

void ProtocolTest::sendRadioFailureSteps() {
  {  // open fails: nothing read, echoed or written; reported with its step
    Rig rig;
    rig.link.failOpens = 1;
    rig.commands.sendRadioProgram(3);
    QCOMPARE(rig.monitor.text(), QString());
    QCOMPARE(rig.link.log, QStringList{"open"});
    QCOMPARE(rig.failures.size(), 1);
    QCOMPARE(rig.failures[0].operation, Operation::SendRadio);
    QCOMPARE(rig.failures[0].radio, 3);
    QCOMPARE(rig.failures[0].error.step(), LinkStep::Open);
    // The next send tries the open again.
    rig.commands.sendRadioProgram(3);
    QCOMPARE(rig.link.log, (QStringList{"open", "open", writeOf(factoryMessage(3))}));
  }
  {  // write fails: the echo already stands
    Rig rig;
    rig.link.failWriteNumber = 1;
    rig.radios[0].Cor = kFlagOff;
    rig.commands.sendRadioProgram(1);
    QCOMPARE(rig.monitor.text(), "\r\n" + buildProgrammingMessage(1, rig.radios[0]) + "\r\n");
    QCOMPARE(rig.failures.size(), 1);
    QCOMPARE(rig.failures[0].error.step(), LinkStep::Write);
  }
}

void ProtocolTest::sendAllGoesOnPastFailingRadios() {
  {  // nothing can open: four tries, three pauses, nothing echoed
    Rig rig;
    rig.link.failOpens = 4;
    rig.commands.sendAllRadioPrograms();
    QCOMPARE(rig.link.log, (QStringList{"open", "pause", "open", "pause", "open", "pause", "open"}));
    QCOMPARE(rig.monitor.text(), QString());
    QCOMPARE(rig.failures.size(), 4);
  }
  {  // radio 2's write fails; the others go out, each built when its turn comes
    Rig rig;
    rig.link.failWriteNumber = 2;
    rig.commands.sendAllRadioPrograms();
    QCOMPARE(rig.link.log, (QStringList{"open", writeOf(factoryMessage(1)), "pause", "pause",
                                        writeOf(factoryMessage(3)), "pause", writeOf(factoryMessage(4))}));
    QCOMPARE(rig.monitor.text(), "\r\n" + factoryMessage(1) + "\r\n" + factoryMessage(2) + "\r\n" + factoryMessage(3) +
                                     "\r\n" + factoryMessage(4) + "\r\n");
    QCOMPARE(rig.failures.size(), 1);
    QCOMPARE(rig.failures[0].radio, 2);
  }
}

void ProtocolTest::factoryStopsAtTheFailingWrite_data() {
  QTest::addColumn<int>("failingWrite");
  QTest::addColumn<QStringList>("expected");
  const auto w = [](int n) { return writeOf(factoryMessage(n)); };
  QTest::newRow("no failure") << -1 << QStringList{"open", w(1), "pause", w(2), "pause", w(3), "pause", w(4)};
  QTest::newRow("first") << 1 << QStringList{"open"};
  QTest::newRow("second") << 2 << QStringList{"open", w(1), "pause"};
  QTest::newRow("fourth") << 4 << QStringList{"open", w(1), "pause", w(2), "pause", w(3), "pause"};
}

void ProtocolTest::factoryStopsAtTheFailingWrite() {
  QFETCH(int, failingWrite);
  QFETCH(QStringList, expected);
  Rig rig;
  rig.link.failWriteNumber = failingWrite;
  rig.radios[1].Cor = kFlagOff;  // the factory set ignores the window's values
  rig.commands.sendFactoryProgramming();
  QCOMPARE(rig.link.log, expected);
  QCOMPARE(rig.monitor.text(), QString());
  QCOMPARE(rig.failures.size(), failingWrite > 0 ? 1 : 0);
  QCOMPARE(rig.radios[1].Cor, kFlagOff);
}

void ProtocolTest::atualizarWritesNineCharactersWithoutEcho() {
  Rig rig;
  rig.commands.sendAtualizarCommand();
  QCOMPARE(rig.link.log, (QStringList{"open", "write:Atualizar"}));
  QCOMPARE(rig.monitor.text(), QString());
  Rig failing;
  failing.link.failOpens = 1;
  failing.commands.sendAtualizarCommand();
  QCOMPARE(failing.link.log, QStringList{"open"});
  QCOMPARE(failing.failures.size(), 1);
  QCOMPARE(failing.failures[0].operation, Operation::Atualizar);
}

QTEST_APPLESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
