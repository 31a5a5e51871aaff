// The client's Telnet and COM-PORT codec with no socket: what a server's
// bytes decode to however they are split, what the client answers, and that
// no stream, however hostile, loses data or grows the codec's memory.

#include "serial/rfc2217_codec.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zelqon;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

// Negotiation as one word: the option (W, A, R), then per setting W, C or X.
QString negotiationText(const ComPortNegotiation& negotiation) {
  QString text = QStringLiteral("WAR").at(int(negotiation.option));
  for (const SettingAnswer answer : negotiation.settings)
    text += QStringLiteral("WCX").at(int(answer));
  return text;
}

struct Decoded {
  QByteArray data;
  QByteArray replies;
  QString negotiation;
};

// Decodes `input` in pieces cut at `cuts`, as a freshly connected client.
Decoded decodeInPieces(const QByteArray& input, const QList<qsizetype>& cuts) {
  Rfc2217Codec codec;
  (void)codec.start();
  Decoded out;
  qsizetype from = 0;
  for (const qsizetype cut : cuts + QList<qsizetype>{input.size()}) {
    out.data += codec.decode(QByteArrayView(input).sliced(from, cut - from));
    out.replies += codec.takeReplies();
    from = cut;
  }
  out.negotiation = negotiationText(codec.negotiation());
  return out;
}

const QByteArray kConfirmAll = hex("fffa2c6500004b00fff0 fffa2c6608fff0 fffa2c6701fff0 fffa2c6801fff0 fffa2c6901fff0");

}  // namespace

class Rfc2217Test : public QObject {
  Q_OBJECT

 private slots:
  void encodes();
  void decodes_data();
  void decodes();
  void survivesAnyStream();
};

void Rfc2217Test::encodes() {
  Rfc2217Codec codec;
  QCOMPARE(codec.start(), hex("fffb2c fffb00 fffd00"));
  // Before the server agrees to binary data, CR goes as CR NUL.
  QCOMPARE(codec.encode("a\r\xff\xff"
                        "b"),
           QByteArray("a\r\0\xff\xff\xff\xff"
                      "b",
                      8));
  (void)codec.decode(hex("fffd00"));
  QCOMPARE(codec.encode("a\r\xff"
                        "b"),
           QByteArray("a\r\xff\xff"
                      "b"));
  QCOMPARE(codec.takeReplies(), QByteArray());
  QCOMPARE(Rfc2217Codec::settingRequests({}),
           hex("fffa2c0100004b00fff0 fffa2c0208fff0 fffa2c0301fff0 fffa2c0401fff0 fffa2c0501fff0"));
  // A value byte of 0xFF is doubled inside the subnegotiation too.
  QCOMPARE(Rfc2217Codec::settingRequests({.baudRate = 0x0102ffu}).left(11), hex("fffa2c01000102ffff fff0"));
}

void Rfc2217Test::decodes_data() {
  QTest::addColumn<QByteArray>("input");
  QTest::addColumn<QByteArray>("data");
  QTest::addColumn<QByteArray>("replies");
  QTest::addColumn<QString>("negotiation");

  const QByteArray requests = Rfc2217Codec::settingRequests({});
  QTest::newRow("plain data") << QByteArray("Radio=1;\r\n") << QByteArray("Radio=1;\r\n") << QByteArray() << "WWWWWW";
  QTest::newRow("IAC IAC is one 0xFF") << "a" + hex("ffff") + "b"
                                       << QByteArray(
                                              "a\xff"
                                              "b")
                                       << QByteArray() << "WWWWWW";
  QTest::newRow("option accepted, settings follow") << hex("fffd2c") << QByteArray() << requests << "AWWWWW";
  QTest::newRow("option refused") << hex("fffe2c") << QByteArray() << QByteArray() << "RWWWWW";
  QTest::newRow("accepted, all confirmed")
      << hex("fffd2c") + "x" + kConfirmAll + "y" << QByteArray("xy") << requests << "ACCCCC";
  QTest::newRow("baud rate changed") << hex("fffd2c fffa2c6500002580fff0") << QByteArray() << requests << "AXWWWW";
  QTest::newRow("parity changed") << hex("fffa2c6702fff0") << QByteArray() << QByteArray() << "WWWXWW";
  QTest::newRow("answer of wrong length ignored")
      << hex("fffa2c65004b00fff0 fffa2c660008fff0") << QByteArray() << QByteArray() << "WWWWWW";
  QTest::newRow("0xFF doubled in an answer")
      << hex("fffa2c65000000fffffff0") << QByteArray() << QByteArray() << "WXWWWW";
  QTest::newRow("binary both ways as asked") << hex("fffb00 fffd00") << QByteArray() << QByteArray() << "WWWWWW";
  QTest::newRow("binary withdrawn is acknowledged")
      << hex("fffb00 fffc00 fffc00") << QByteArray() << hex("fffe00") << "WWWWWW";
  QTest::newRow("other options refused, once")
      << hex("fffb01 fffb01 fffd03 fffd03 fffb2c") << QByteArray() << hex("fffe01 fffc03 fffe2c") << "WWWWWW";
  QTest::newRow("state notifications between data")
      << "ab" + hex("fffa2c6a60fff0") + "cd" + hex("fffa2c6b30fff0") + "ef" << QByteArray("abcdef") << QByteArray()
      << "WWWWWW";
  QTest::newRow("overlong subnegotiation dropped") << "a" + hex("fffa2c65") + QByteArray(200, 'z') + hex("fff0") + "b"
                                                   << QByteArray("ab") << QByteArray() << "WWWWWW";
  QTest::newRow("subnegotiation cut by a command")
      << "a" + hex("fffa2c6500 fffb01") + "b" << QByteArray("ab") << hex("fffe01") << "WWWWWW";
  QTest::newRow("NOP, GA, stray SE") << hex("fff1 fff9 fff0") + "x" << QByteArray("x") << QByteArray() << "WWWWWW";
  QTest::newRow("CR NUL before binary") << QByteArray("a\r\0b\r\nc", 7) << QByteArray("a\rb\r\nc") << QByteArray()
                                        << "WWWWWW";
  QTest::newRow("CR NUL kept in binary") << hex("fffb00") + QByteArray("\r\0", 2) << QByteArray("\r\0", 2)
                                         << QByteArray() << "WWWWWW";
}

void Rfc2217Test::decodes() {
  QFETCH(QByteArray, input);
  const Decoded whole = decodeInPieces(input, {});
  QTEST(whole.data, "data");
  QTEST(whole.replies, "replies");
  QTEST(whole.negotiation, "negotiation");
  // Cut anywhere, one cut or at every byte, the stream decodes the same.
  QList<qsizetype> everyByte;
  for (qsizetype cut = 1; cut < input.size(); ++cut) {
    const Decoded split = decodeInPieces(input, {cut});
    QCOMPARE(split.data, whole.data);
    QCOMPARE(split.replies, whole.replies);
    QCOMPARE(split.negotiation, whole.negotiation);
    everyByte.append(cut);
  }
  const Decoded bytewise = decodeInPieces(input, everyByte);
  QCOMPARE(bytewise.data, whole.data);
  QCOMPARE(bytewise.negotiation, whole.negotiation);
}

void Rfc2217Test::survivesAnyStream() {
  QRandomGenerator random(2217);
  const qsizetype settingsSize = Rfc2217Codec::settingRequests({}).size();
  qsizetype fed = 0;
  for (int stream = 0; stream < 400; ++stream) {
    // Even streams are noise; odd ones mix known data with every kind of
    // command (binary first, so that CR NUL stays data).
    const bool noise = stream % 2 == 0;
    QByteArray input = noise ? QByteArray() : hex("fffb00");
    QByteArray expected;
    while (input.size() < 600) {
      QByteArray body;
      for (int n = random.bounded(noise ? 2 : 150); n > 0; --n)
        body += char(random.bounded(256));
      const QByteArray escaped = QByteArray(body).replace("\xff", "\xff\xff");
      switch (noise ? 4 : random.bounded(4)) {
        case 0:
          expected += body;
          input += escaped;
          break;
        case 1:  // option negotiation on anything but binary
          input += hex("ff") + char(251 + random.bounded(4)) + char(1 + random.bounded(255));
          break;
        case 2:  // a subnegotiation, short or overlong, or one cut short by a command
          input += hex("fffa") + escaped + (random.bounded(2) ? hex("fff0") : hex("fff1"));
          break;
        case 3:  // a two-byte command
          input += hex("ff") + char(241 + random.bounded(9));
          break;
        default:  // noise: a byte or two, or a lone IAC
          input += random.bounded(4) ? body : hex("ff");
          break;
      }
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
    fed += input.size();
    QVERIFY(noise ? data.size() <= input.size() : data == expected);
  }
  QVERIFY(fed > 200000);
}

QTEST_GUILESS_MAIN(Rfc2217Test)
#include "tst_rfc2217.moc"
