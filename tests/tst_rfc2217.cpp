// The client's Telnet and COM-PORT codec with no socket: what a server's
// bytes decode to however they are split, what the client answers, and that
// no stream, however hostile, loses data or grows the codec's memory.

#include "serial/rfc2217_codec.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zelqon;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

// Letters by the answers' names, whatever order their enums take.
QChar letter(OptionAnswer answer) {
  return answer == OptionAnswer::Accepted ? 'A' : answer == OptionAnswer::Refused ? 'R' : 'W';
}
QChar letter(SettingAnswer answer) {
  return answer == SettingAnswer::Confirmed ? 'C' : answer == SettingAnswer::Changed ? 'X' : 'W';
}

// What a freshly started client makes of `input` fed in pieces cut at `cuts`:
// the data and its replies in hex, then the negotiation as one word: the
// option (W(aiting), A(ccepted), R(efused)), then per setting W, C(onfirmed)
// or X (changed).
QString decoded(const QByteArray& input, const QList<qsizetype>& cuts = {}) {
  Rfc2217Codec codec;
  (void)codec.start();
  QByteArray data, replies;
  qsizetype from = 0;
  for (const qsizetype cut : cuts + QList<qsizetype>{input.size()}) {
    data += codec.decode(QByteArrayView(input).sliced(from, cut - from));
    replies += codec.takeReplies();
    from = cut;
  }
  QString text = QString::fromLatin1(data.toHex() + " | " + replies.toHex() + " | ") + letter(codec.negotiation().option);
  for (const SettingAnswer answer : codec.negotiation().settings)
    text += letter(answer);
  return text;
}

}  // namespace

class Rfc2217Test : public QObject {
  Q_OBJECT

 private slots:

  void encodes() {
    Rfc2217Codec codec;
    QCOMPARE(codec.start(), hex("fffb2c fffb00 fffd00"));
    // 0xFF is doubled; CR goes as CR NUL until the server agrees to binary data.
    QCOMPARE(codec.encode(hex("610dffff62")), hex("610d00ffffffff62"));
    (void)codec.decode(hex("fffd00"));
    QCOMPARE(codec.encode(hex("610dffff62")), hex("610dffffffff62"));
    // Values go most significant byte first, a 0xFF in them doubled too.
    QCOMPARE(Rfc2217Codec::settingRequests({}),
             hex("fffa2c0100004b00fff0 fffa2c0208fff0 fffa2c0301fff0 fffa2c0401fff0 fffa2c0501fff0"));
    QCOMPARE(Rfc2217Codec::settingRequests({.baudRate = 0x0102ffu}).left(11), hex("fffa2c01000102ffff fff0"));
    // A TIMING-MARK is answered by WILL or WONT, each counted once and not
    // answered back; one that was not asked for counts for nothing.
    (void)codec.takeReplies();
    QCOMPARE(codec.timingMark() + codec.timingMark(), hex("fffd06 fffd06"));
    QCOMPARE(codec.decode(hex("61 fffc06 62")), "ab");
    QCOMPARE(codec.marksAnswered(), 1u);
    (void)codec.decode(hex("fffb06 fffc06 fffb06"));
    QCOMPARE(std::pair(codec.marksAnswered(), codec.marksAsked()), std::pair(quint64(2), quint64(2)));
    QCOMPARE(codec.takeReplies(), hex("fffe06"));
  }

  void decodes_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("outcome");  // data | replies | negotiation
    const QString requests = Rfc2217Codec::settingRequests({}).toHex();
    const QByteArray confirmAll =
        hex("fffa2c6500004b00fff0 fffa2c6608fff0 fffa2c6701fff0 fffa2c6801fff0 fffa2c6901fff0");
    const QList<std::tuple<const char*, QByteArray, QString>> rows{
        {"data around IAC IAC, NOP, GA, stray SE, state notifications",
         hex("61 ffff fff1 fff9 fff0 62 fffa2c6a60fff0 63 fffa2c6b30fff0 64"), "61ff626364 |  | WWWWWW"},
        {"option refused", hex("fffe2c"), " |  | RWWWWW"},
        {"option accepted, settings asked, all confirmed", hex("fffd2c 78") + confirmAll + "y",
         "7879 | " + requests + " | ACCCCC"},
        {"baud rate and parity changed", hex("fffd2c fffa2c6500002580fff0 fffa2c6702fff0"),
         " | " + requests + " | AXWXWW"},
        {"answers of wrong length ignored", hex("fffa2c65004b00fff0 fffa2c660008fff0"), " |  | WWWWWW"},
        {"0xFF doubled in an answer", hex("fffa2c65000000fffffff0"), " |  | WXWWWW"},
        {"binary both ways as asked", hex("fffb00 fffd00"), " |  | WWWWWW"},
        {"binary withdrawn is acknowledged", hex("fffb00 fffc00 fffc00"), " | fffe00 | WWWWWW"},
        {"other options refused, once", hex("fffb01 fffb01 fffd03 fffd03 fffb2c"), " | fffe01fffc03fffe2c | WWWWWW"},
        {"overlong subnegotiation dropped", "a" + hex("fffa2c65") + QByteArray(200, 'z') + hex("fff0") + "b",
         "6162 |  | WWWWWW"},
        {"subnegotiation cut by a command", hex("61 fffa2c6500 fffb01 62"), "6162 | fffe01 | WWWWWW"},
        {"CR NUL is CR before binary", hex("610d0062 0d0a"), "610d620d0a |  | WWWWWW"},
        {"CR NUL kept in binary", hex("fffb00 0d00"), "0d00 |  | WWWWWW"},
    };
    for (const auto& [name, input, outcome] : rows)
      QTest::newRow(name) << input << outcome;
  }

  void decodes() {
    QFETCH(QByteArray, input);
    QTEST(decoded(input), "outcome");
    // Cut anywhere, once or at every byte, the stream decodes the same.
    QList<qsizetype> everyByte;
    for (qsizetype cut = 1; cut < input.size(); ++cut) {
      QCOMPARE(decoded(input, {cut}), decoded(input));
      everyByte.append(cut);
    }
    QCOMPARE(decoded(input, everyByte), decoded(input));
  }

  void survivesAnyStream() {
    // Noise (even streams), and data mixed with every kind of command (odd
    // ones; binary first, so that CR NUL stays data), fed in random pieces:
    // no crash, replies and held bytes bounded, the data exact (noise: as
    // the same stream decodes in one piece).
    QRandomGenerator random(2217);
    const qsizetype settingsSize = Rfc2217Codec::settingRequests({}).size();
    for (int stream = 0; stream < 400; ++stream) {
      const bool noise = stream % 2 == 0;
      QByteArray input = noise ? QByteArray() : hex("fffb00"), expected;
      while (input.size() < 600) {
        QByteArray body;
        for (int n = random.bounded(noise ? 2 : 150); n > 0; --n)
          body += char(random.bounded(256));
        const QByteArray escaped = QByteArray(body).replace("\xff", "\xff\xff");
        // Data; an option command on anything but binary; a subnegotiation,
        // short, overlong or cut by a command; a two-byte command; noise: a
        // byte or two, or a lone IAC.
        const QByteArray pieces[] = {escaped, hex("ff") + char(251 + random.bounded(4)) + char(1 + random.bounded(255)),
                                     hex("fffa") + escaped + (random.bounded(2) ? hex("fff0") : hex("fff1")),
                                     hex("ff") + char(241 + random.bounded(9)), random.bounded(4) ? body : hex("ff")};
        const int kind = noise ? 4 : random.bounded(4);
        input += pieces[kind];
        expected += kind == 0 ? body : QByteArray();
      }
      Rfc2217Codec codec;
      (void)codec.start();
      QByteArray data;
      for (qsizetype from = 0, size = 0; from < input.size(); from += size) {
        size = std::min<qsizetype>(1 + random.bounded(40), input.size() - from);
        data += codec.decode(QByteArrayView(input).sliced(from, size));
        QVERIFY(codec.takeReplies().size() <= 3 * size + settingsSize);
        QVERIFY(codec.heldBytes() <= Rfc2217Codec::kLongestSubnegotiation);
      }
      if (noise) {
        Rfc2217Codec whole;
        (void)whole.start();
        expected = whole.decode(input);
      }
      QCOMPARE(data, expected);
    }
  }
};

QTEST_GUILESS_MAIN(Rfc2217Test)
#include "tst_rfc2217.moc"
