// The rules that no operation shows on its own: a toggle decides from the
// caption it shows, a delay text goes out unchecked, and a typed port text
// reads as the number it starts with, whatever the process locale.

#include "protocol/port_text.h"
#include "protocol/programming_message.h"
#include "protocol/radio_program.h"

#include <QTest>

#include <clocale>

using namespace zelqon;

class ProtocolTest : public QObject {
  Q_OBJECT

 private slots:
  void togglesDecideFromTheCaption();
  void delayTextsGoOutAsTheyStand();
  void portTextsConvert_data();
  void portTextsConvert();
  void portTextsIgnoreTheProcessLocale();
};

void ProtocolTest::togglesDecideFromTheCaption() {
  const auto flag = [](const FlagDisplay& next) { return next.caption + QLatin1Char('/') + next.flag; };
  QCOMPARE(flag(nextCorLevel(QStringLiteral("ATIVO ALTO"))), QStringLiteral("ATIVO BAIXO/0"));
  QCOMPARE(flag(nextCorLevel(QStringLiteral("ATIVO BAIXO"))), QStringLiteral("ATIVO ALTO/1"));
  QCOMPARE(flag(nextCorLevel(QStringLiteral("ativo baixo"))), QStringLiteral("ATIVO BAIXO/0"));
  QCOMPARE(flag(nextPttRoute(QStringLiteral("Desativado"))), QStringLiteral("Ativado/1"));
  QCOMPARE(flag(nextPttRoute(QStringLiteral("Ativado"))), QStringLiteral("Desativado/0"));
  // Any caption but the compared one leads to the "0" side.
  QCOMPARE(flag(nextPttRoute(QStringLiteral("Desativado "))), QStringLiteral("Desativado/0"));
  QCOMPARE(flag(nextPttRoute(QString())), QStringLiteral("Desativado/0"));
}

void ProtocolTest::delayTextsGoOutAsTheyStand() {
  RadioProgram program;
  program.Cor_Delay_DT.clear();
  program.Cor_Delay_HT = QStringLiteral("abc");
  QCOMPARE(buildProgrammingMessage(2, program),
           QStringLiteral("Radio=2;COR=1;DelayDT=;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=abc;"));
  QCOMPARE(formatDelayText(5000), QStringLiteral("05000"));
}

void ProtocolTest::portTextsConvert_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("expected");  // -100000 for out of range
  const int refused = -100000;
  QTest::newRow("plain") << "3" << 3;
  QTest::newRow("blanks around") << " \t3\n " << 3;
  QTest::newRow("blank inside") << "1 2" << 12;
  QTest::newRow("tab and newline inside") << "1\t6\n" << 16;
  QTest::newRow("half up to even") << "3.5" << 4;
  QTest::newRow("half down to even") << "2.5" << 2;
  QTest::newRow("empty") << "" << 0;
  QTest::newRow("COM prefix") << "COM3" << 0;
  QTest::newRow("trailing letters") << "12abc" << 12;
  QTest::newRow("minus one and a half") << "-1.5" << -2;
  QTest::newRow("exponent") << "1e1" << 10;
  QTest::newRow("exponent without digits") << "4e" << 4;
  QTest::newRow("upper bound") << "32767" << 32767;
  QTest::newRow("upper half rounds to even, out") << "32767.5" << refused;
  QTest::newRow("lower bound") << "-32768" << -32768;
  QTest::newRow("lower half rounds to even, in") << "-32768.5" << -32768;
  QTest::newRow("just past lower") << "-32768.51" << refused;
  QTest::newRow("out of range") << "40000" << refused;
  QTest::newRow("huge exponent") << "1e999999999999" << refused;
  QTest::newRow("non-breaking space is no blank") << QString(QChar(0x00a0)) + "3" << 0;
  QTest::newRow("carriage return is no blank") << "\r3" << 0;
}

void ProtocolTest::portTextsConvert() {
  QFETCH(QString, text);
  QFETCH(int, expected);
  const auto number = portNumberFromText(text);
  if (expected == -100000) {
    QVERIFY2(!number.has_value(), qPrintable(QString::number(number.value_or(0))));
  } else {
    QVERIFY(number.has_value());
    QCOMPARE(int(*number), expected);
  }
}

void ProtocolTest::portTextsIgnoreTheProcessLocale() {
  // Qt sets the locale from the environment; a Portuguese one reads ',' as the
  // decimal mark in the C library.
  if (!std::setlocale(LC_NUMERIC, "pt_BR.UTF-8"))
    QSKIP("the pt_BR.UTF-8 locale is not installed here (.ci/run generates it)");
  QCOMPARE(leadingNumber(u"3.5"), 3.5);
  QCOMPARE(leadingNumber(u"3,5"), 3.0);
  std::setlocale(LC_NUMERIC, "C");
}

QTEST_APPLESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
