// Radio values, toggles, delay texts and the programming messages.

#include "protocol/programming_message.h"
#include "protocol/radio_program.h"

#include <QTest>

using namespace zelqon;

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

QTEST_APPLESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
