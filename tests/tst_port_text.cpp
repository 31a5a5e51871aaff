// The typed port text to port number conversion.

#include "protocol/port_text.h"

#include <QTest>

#include <clocale>

using namespace zelqon;

class PortTextTest : public QObject {
  Q_OBJECT

 private slots:
  void converts_data();
  void converts();
  void ignoresTheProcessLocale();
};

void PortTextTest::converts_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("expected");  // -100000 for out of range
  const int refused = -100000;
  QTest::newRow("plain") << "3" << 3;
  QTest::newRow("blanks around") << " \t3\n " << 3;
  QTest::newRow("blank inside") << "1 2" << 12;
  QTest::newRow("tab and newline inside") << "1\t6\n" << 16;
  QTest::newRow("half up to even") << "3.5" << 4;
  QTest::newRow("half down to even") << "2.5" << 2;
  QTest::newRow("just over half") << "2.5000001" << 3;
  QTest::newRow("below half") << "7.49" << 7;
  QTest::newRow("empty") << "" << 0;
  QTest::newRow("only blanks") << "   " << 0;
  QTest::newRow("COM prefix") << "COM3" << 0;
  QTest::newRow("trailing letters") << "12abc" << 12;
  QTest::newRow("sign plus") << "+5" << 5;
  QTest::newRow("sign minus") << "-5" << -5;
  QTest::newRow("sign then blank") << "- 5" << -5;
  QTest::newRow("two signs") << "--5" << 0;
  QTest::newRow("leading point") << ".6" << 1;
  QTest::newRow("minus half") << "-0.5" << 0;
  QTest::newRow("minus one and a half") << "-1.5" << -2;
  QTest::newRow("lone point") << "." << 0;
  QTest::newRow("second point stops") << "1.5.9" << 2;
  QTest::newRow("comma stops") << "3,7" << 3;
  QTest::newRow("exponent") << "1e1" << 10;
  QTest::newRow("exponent upper with sign") << "15E-1" << 2;
  QTest::newRow("exponent with blanks") << "1 e 2" << 100;
  QTest::newRow("exponent without digits") << "4e" << 4;
  QTest::newRow("exponent sign without digits") << "4e+x" << 4;
  QTest::newRow("leading zeros") << "0000000000000000000000007" << 7;
  QTest::newRow("upper bound") << "32767" << 32767;
  QTest::newRow("upper bound plus a bit rounds down") << "32767.4" << 32767;
  QTest::newRow("upper half rounds to even, out") << "32767.5" << refused;
  QTest::newRow("lower bound") << "-32768" << -32768;
  QTest::newRow("lower half rounds to even, in") << "-32768.5" << -32768;
  QTest::newRow("just past lower") << "-32768.51" << refused;
  QTest::newRow("out of range") << "40000" << refused;
  QTest::newRow("huge exponent") << "1e999999999999" << refused;
  QTest::newRow("tiny exponent") << "1e-999999" << 0;
  QTest::newRow("many digits") << QString(400, QLatin1Char('9')) << refused;
  QTest::newRow("hex is not read") << "&H10" << 0;
  QTest::newRow("full-width digit") << QString(QChar(0xff13)) << 0;
  QTest::newRow("non-breaking space is no blank") << QString(QChar(0x00a0)) + "3" << 0;
  QTest::newRow("carriage return is no blank") << "\r3" << 0;
}

void PortTextTest::converts() {
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

void PortTextTest::ignoresTheProcessLocale() {
  // Qt sets the locale from the environment; a Portuguese one reads ',' as the
  // decimal mark in the C library.
  const char* set = std::setlocale(LC_NUMERIC, "pt_BR.UTF-8");
  if (!set)
    set = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  QCOMPARE(leadingNumber(u"3.5"), 3.5);
  QCOMPARE(leadingNumber(u"3,5"), 3.0);
  std::setlocale(LC_NUMERIC, "C");
}

QTEST_APPLESS_MAIN(PortTextTest)
#include "tst_port_text.moc"
