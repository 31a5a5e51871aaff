// The radio model and the texts it becomes, and the port texts an operator
// types: a list number (as the port box reads it, whatever the process
// locale), a device path or a network serial server's address.

#include "protocol/port_choice.h"
#include "protocol/programming_message.h"
#include "protocol/radio_program.h"

#include <QMap>
#include <QTest>

#include <clocale>

using namespace zelqon;

Q_DECLARE_METATYPE(zelqon::PortReading)

class ProtocolTest : public QObject {
  Q_OBJECT

 private slots:
  void messagesCarryTheTypedModel() {
    RadioProgram four;
    four.corLevel = CorLevel::ActiveLow;
    for (const int radio : {0, 1, 3, 4, 5})  // its own key stays 0; radios outside 1..4 are never keyed
      four.keyedRadios.set(radio, true);
    four.debounce = *DelayTime::fromMilliseconds(0);
    four.hang = *DelayTime::fromMilliseconds(10000);
    QCOMPARE(buildProgrammingMessage(4, four),
             QStringLiteral("Radio=4;COR=0;DelayDT=00000;PTT1=1;PTT2=0;PTT3=1;PTT4=0;DelayHT=10000;"));
    QCOMPARE(four.keyedRadios.radios(), (QList<int>{1, 3, 4}));
    for (int radio = 1; radio <= kRadioCount; ++radio)
      QCOMPARE(buildProgrammingMessage(radio, RadioProgram{}), factoryMessage(radio));
    // Out of range: nothing to send, never an exception through the caller.
    QCOMPARE(buildProgrammingMessage(0, four) + buildProgrammingMessage(5, four) + factoryMessage(5), QString());

    // The route buttons of radio 3 key radios 1, 2 and 4; of radio 1, 2, 3 and 4; there is no fifth.
    QCOMPARE((QList<int>{routedRadio(3, 2), routedRadio(3, 3), routedRadio(3, 4), routedRadio(1, 2), routedRadio(1, 3),
                         routedRadio(1, 4), routedRadio(3, 5)}),
             (QList<int>{1, 2, 4, 2, 3, 4, 0}));
  }

  void onlyListTimesCanBeMade() {
    const QStringList entries = delayChoiceList();
    QCOMPARE(entries.size(), 101);
    QCOMPARE((QStringList{entries.at(1), entries.at(50), entries.last()}), (QStringList{"00100", "05000", "10000"}));
    for (const int refused : {-100, 50, 150, 10100})
      QVERIFY2(!DelayTime::fromMilliseconds(refused), qPrintable(QString::number(refused)));
    for (const char* refused : {"100", "0100", "000100", "00150", "1000O", "+0100", "10100"})
      QVERIFY2(!DelayTime::fromListText(QString::fromLatin1(refused)), refused);
    QCOMPARE(DelayTime::fromListText(u"09900")->milliseconds(), 9900);
  }

  // Every port text through the one grammar, network addresses too; what it
  // takes reads back the same from its own text.
  void portChoicesRead_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<PortReading>("reading");
    QTest::addColumn<QString>("readAs");  // "list N", "path P", "net A" or the problem
    const auto rows = [](PortReading reading, const char* readAs, std::initializer_list<const char*> texts) {
      for (const char* text : texts)
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(reading == PortReading::Exact ? "exact" : "lenient",
                                                             QString::fromUtf8(text).toHtmlEscaped())))
            << QString::fromUtf8(text) << reading << QString::fromUtf8(readAs);
    };
    using enum PortReading;
    rows(Exact, "list 3", {" 3 ", "COM3"});
    rows(Exact, "list 12", {"\\\\.\\COM12"});
    rows(Lenient, "list 12", {"com12", "1 2", "12abc"});
    rows(Exact, "list 32767", {"32767"});
    rows(Lenient, "list 32767", {"32767"});
    rows(Lenient, "list 16", {"1\t6\n"});
    rows(Lenient, "list 10", {"1e1", "1E+1", "100e-1"});
    rows(Lenient, "list 4", {"4e", "3.5"});  // halves to even
    rows(Lenient, "list 2", {"2.5", "15e-1"});
    rows(Exact, "out of range", {"COM0", "0", "32768"});
    // A non-breaking space is no blank.
    rows(Lenient, "out of range", {"COM3x", "32767.5", "1e999999999999", "\u00a03", "\r3", "abc", "-1", "40000"});
    rows(Exact, "not a port", {"COM", "1 2", "/", "/dev/tty\x01", "dev/ttyUSB0"});
    rows(Exact, "empty", {""});
    rows(Lenient, "empty", {" "});
    rows(Exact, "path /dev/ttyUSB0", {"/dev/ttyUSB0"});
    rows(Lenient, "path /dev/pts/3", {" /dev/pts/3 "});
    rows(Exact, "net tcp://Site-2.example:4001", {"  TCP://Site-2.example:4001 "});
    rows(Lenient, "net rfc2217://[::1]:2217", {" RFC2217://[::1]:2217"});
    rows(Exact, "net tcp://h:65535", {"tcp://h:65535"});
    rows(Exact, "net rfc2217+tls://site.example:2217", {"RFC2217+TLS://site.example:2217"});
    rows(Lenient, "net tcp+tls://[fd00::5]:4001", {" tcp+TLS://[fd00::5]:4001"});
    rows(Lenient, "bad address", {"tcp://h"});
    rows(Exact, "bad address",
         {"tcp://h:0", "tcp://h:65536", "rfc2217://h:", "rfc2217://:2217", "socket://h:2217", "tcp://fd00::5:2217",
          "tcp://[fd00::5:2217", "tcp://a b:1", "tcp://h:1/x", "tls://h:1", "tcp+ssl://h:1", "rfc2217+tls://h",
          "tcp+tls://fd00::5:1", "tcp+tls://a b:1"});
  }

  void portChoicesRead() {
    QFETCH(QString, text);
    QFETCH(PortReading, reading);
    QFETCH(QString, readAs);
    const auto read = readPortChoice(text, reading);
    QString seen;
    if (const auto* choice = std::get_if<PortChoice>(&read)) {
      seen = (choice->listNumber() ? "list " : choice->device() ? "path " : "net ") + choice->text();
      QCOMPARE(portChoiceIn(choice->text(), PortReading::Exact), std::optional<PortChoice>(*choice));
    } else {
      const QMap<PortTextProblem, QString> names{{PortTextProblem::Empty, "empty"},
                                                 {PortTextProblem::NotAPort, "not a port"},
                                                 {PortTextProblem::NumberOutOfRange, "out of range"},
                                                 {PortTextProblem::BadNetworkAddress, "bad address"}};
      seen = names.value(std::get<PortTextProblem>(read));
      QVERIFY(!portChoiceIn(text, reading));
    }
    QCOMPARE(seen, readAs);
  }

  void portTextsIgnoreTheProcessLocale() {
    // Qt sets the locale from the environment; a Portuguese one reads ',' as the
    // decimal mark in the C library.
    if (!std::setlocale(LC_NUMERIC, "pt_BR.UTF-8") && !std::setlocale(LC_NUMERIC, "Portuguese_Brazil"))
      QSKIP("the pt_BR.UTF-8 locale is not installed here (.ci/run generates it)");
    QCOMPARE(portChoiceIn(u"3.5", PortReading::Lenient)->listNumber(), std::optional<qint16>(4));  // half to even
    QCOMPARE(portChoiceIn(u"3,5", PortReading::Lenient)->listNumber(), std::optional<qint16>(3));
    std::setlocale(LC_NUMERIC, "C");
  }
};

QTEST_APPLESS_MAIN(ProtocolTest)
#include "tst_protocol.moc"
