// The radio model and the texts it becomes, and the port texts an operator
// types: a list number (as the port box reads it, whatever the process
// locale), a device path or a network serial server's address.

#include "protocol/port_address.h"
#include "protocol/port_text.h"
#include "protocol/programming_message.h"
#include "protocol/radio_program.h"

#include <QTest>

#include <array>
#include <clocale>

using namespace zelqon;

Q_DECLARE_METATYPE(zelqon::PortReading)

class ProtocolTest : public QObject {
  Q_OBJECT

 private slots:
  void messagesCarryTheTypedModel() {
    RadioProgram four;
    four.corLevel = CorLevel::ActiveLow;
    four.keyedRadios.set(1, true);
    four.keyedRadios.set(3, true);
    four.keyedRadios.set(4, true);  // its own key stays 0
    four.debounce = *DelayTime::fromMilliseconds(0);
    four.hang = *DelayTime::fromMilliseconds(10000);
    QCOMPARE(buildProgrammingMessage(4, four),
             QStringLiteral("Radio=4;COR=0;DelayDT=00000;PTT1=1;PTT2=0;PTT3=1;PTT4=0;DelayHT=10000;"));
    for (int radio = 1; radio <= kRadioCount; ++radio)
      QCOMPARE(buildProgrammingMessage(radio, RadioProgram{}), factoryMessage(radio));
    // Out of range: nothing to send, never an exception through the caller.
    QCOMPARE(buildProgrammingMessage(0, four) + buildProgrammingMessage(5, four) + factoryMessage(5), QString());

    // The route buttons of radio 3 key radios 1, 2 and 4; of radio 1, 2, 3 and 4.
    QCOMPARE((QList<int>{routedRadio(3, 2), routedRadio(3, 3), routedRadio(3, 4)}), (QList<int>{1, 2, 4}));
    QCOMPARE((QList<int>{routedRadio(1, 2), routedRadio(1, 3), routedRadio(1, 4)}), (QList<int>{2, 3, 4}));
    QCOMPARE(routedRadio(3, 5), 0);
    four.keyedRadios.set(5, true);  // radios outside 1..4 are never keyed
    four.keyedRadios.set(0, true);
    QCOMPARE(four.keyedRadios.radios(), (QList<int>{1, 3, 4}));
  }

  void onlyListTimesCanBeMade() {
    const QStringList entries = delayChoiceList();
    QCOMPARE(entries.size(), 101);
    QCOMPARE((QStringList{entries.at(1), entries.at(50), entries.last()}), (QStringList{"00100", "05000", "10000"}));
    QCOMPARE(DelayTime().milliseconds(), 100);
    for (const int refused : {-100, 50, 150, 10100})
      QVERIFY2(!DelayTime::fromMilliseconds(refused), qPrintable(QString::number(refused)));
    for (const char* refused : {"100", "0100", "000100", "00150", "1000O", "+0100", "10100"})
      QVERIFY2(!DelayTime::fromListText(QString::fromLatin1(refused)), refused);
    QCOMPARE(DelayTime::fromListText(u"09900")->milliseconds(), 9900);
  }

  // Every port text through the one grammar; what it takes reads back the
  // same from its own text.
  void portChoicesRead_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<PortReading>("reading");
    QTest::addColumn<QString>("readAs");  // "list N", "path P", "net A" or the problem
    const auto row = [](const char* text, PortReading reading, const char* readAs) {
      QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(reading == PortReading::Exact ? "exact" : "lenient",
                                                           QString::fromUtf8(text).toHtmlEscaped())))
          << QString::fromUtf8(text) << reading << QString::fromUtf8(readAs);
    };
    using enum PortReading;
    row(" 3 ", Exact, "list 3");
    row("32767", Exact, "list 32767");
    row("COM3", Exact, "list 3");
    row("com12", Lenient, "list 12");
    row("\\\\.\\COM12", Exact, "list 12");
    row("COM0", Exact, "out of range");
    row("0", Exact, "out of range");
    row("32768", Exact, "out of range");
    row("COM", Exact, "not a port");
    row("COM3x", Lenient, "out of range");
    row("1 2", Exact, "not a port");
    row("1 2", Lenient, "list 12");
    row("1e1", Lenient, "list 10");
    row("4e", Lenient, "list 4");
    row("12abc", Lenient, "list 12");
    row("1\t6\n", Lenient, "list 16");
    row("3.5", Lenient, "list 4");  // halves to even
    row("2.5", Lenient, "list 2");
    row("32767", Lenient, "list 32767");
    row("32767.5", Lenient, "out of range");
    row("1e999999999999", Lenient, "out of range");
    row("\u00a03", Lenient, "out of range");  // a non-breaking space is no blank
    row("\r3", Lenient, "out of range");
    row("abc", Lenient, "out of range");
    row("-1", Lenient, "out of range");
    row("40000", Lenient, "out of range");
    row("/dev/ttyUSB0", Exact, "path /dev/ttyUSB0");
    row(" /dev/pts/3 ", Lenient, "path /dev/pts/3");
    row("/", Exact, "not a port");
    row("/dev/tty\x01", Exact, "not a port");
    row("dev/ttyUSB0", Exact, "not a port");
    row("", Exact, "empty");
    row(" ", Lenient, "empty");
    row("tcp://h:1", Exact, "net tcp://h:1");
    row(" RFC2217://[::1]:2217", Lenient, "net rfc2217://[::1]:2217");
    row("tcp://h", Lenient, "bad address");
  }

  void portChoicesRead() {
    QFETCH(QString, text);
    QFETCH(PortReading, reading);
    QFETCH(QString, readAs);
    const auto read = readPortChoice(text, reading);
    QString seen;
    if (const auto* choice = std::get_if<PortChoice>(&read)) {
      if (choice->listNumber())
        seen = QStringLiteral("list %1").arg(*choice->listNumber());
      else
        seen = (choice->device() ? QStringLiteral("path ") : QStringLiteral("net ")) + choice->text();
      QCOMPARE(portChoiceIn(choice->text(), PortReading::Exact), std::optional<PortChoice>(*choice));
    } else {
      const std::array names{"empty", "not a port", "out of range", "bad address"};
      seen = QString::fromLatin1(names.at(std::size_t(std::get<PortTextProblem>(read))));
      QVERIFY(!portChoiceIn(text, reading));
    }
    QCOMPARE(seen, readAs);
  }

  void portTextsIgnoreTheProcessLocale() {
    // Qt sets the locale from the environment; a Portuguese one reads ',' as the
    // decimal mark in the C library.
    if (!std::setlocale(LC_NUMERIC, "pt_BR.UTF-8"))
      QSKIP("the pt_BR.UTF-8 locale is not installed here (.ci/run generates it)");
    QCOMPARE(leadingNumber(u"3.5"), 3.5);
    QCOMPARE(leadingNumber(u"3,5"), 3.0);
    std::setlocale(LC_NUMERIC, "C");
  }

  void networkAddressesRead_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("readAs");  // empty: refused
    const auto row = [](const char* name, const char* text, const char* readAs = "") {
      QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(readAs);
    };
    row("rfc2217 by address", "rfc2217://127.0.0.1:2217", "rfc2217://127.0.0.1:2217");
    row("raw by name, any case, blanks around", "  TCP://Site-2.example:4001 ", "tcp://Site-2.example:4001");
    row("bracketed IPv6", "rfc2217://[fd00::5]:2217", "rfc2217://[fd00::5]:2217");
    row("highest port", "tcp://h:65535", "tcp://h:65535");
    row("port 0", "tcp://h:0");
    row("port too large", "tcp://h:65536");
    row("no port", "rfc2217://h");
    row("empty port", "rfc2217://h:");
    row("no host", "rfc2217://:2217");
    row("other scheme", "socket://h:2217");
    row("unbracketed IPv6", "tcp://fd00::5:2217");
    row("open bracket", "tcp://[fd00::5:2217");
    row("blank in host", "tcp://a b:1");
    row("path after port", "tcp://h:1/x");
    row("a number", "3");
  }

  void networkAddressesRead() {
    QFETCH(QString, text);
    QFETCH(QString, readAs);
    const auto address = parseNetworkAddress(text);
    QCOMPARE(address ? address->text() : QString(), readAs);
  }
};

QTEST_APPLESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
