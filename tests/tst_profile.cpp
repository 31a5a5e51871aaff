#include "protocol/site_profile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>

using namespace zelqon;

namespace {

// Five lines a row; the line numbers in the rows below refer to this file.
const QByteArray kBase =
    "# Perfil de teste\nversao = 1\n[site]\nnome = \"Pico do Jaraguá\"\nporta = \"rfc2217://10.8.0.5:2217\"\n"  // 1-5
    "[radio1]\ncor = \"alto\"\naciona = [2, 4]\ndebounce_ms = 100\nhang_ms = 100\n"                             // 6-10
    "[radio2]\ncor = \"baixo\"\naciona = []\ndebounce_ms = 0\nhang_ms = 10000\n"                                // 11-15
    "[radio3]\ncor = \"alto\"\naciona = [1, 2, 4]\ndebounce_ms = 200\nhang_ms = 300\n"                          // 16-20
    "[radio4]\ncor = \"baixo\"\naciona = [1]\ndebounce_ms = 9900\nhang_ms = 100\n";                             // 21-25

// kBase with `count` lines from `line` on replaced by `text` (several lines, or an empty one).
QByteArray edited(int line, const QByteArray& text, int count = 1) {
  QList<QByteArray> lines = kBase.split('\n');
  lines.remove(line - 1, count);
  lines.insert(line - 1, text);
  return lines.join('\n');
}

// What kBase holds.
SiteProfile baseProfile() {
  SiteProfile profile{
      {}, portChoiceIn(u"rfc2217://10.8.0.5:2217", PortReading::Exact), QStringLiteral("Pico do Jaraguá"), {}};
  const std::array<QList<int>, 4> keyed = {{{2, 4}, {}, {1, 2, 4}, {1}}};
  const int times[4][2] = {{100, 100}, {0, 10000}, {200, 300}, {9900, 100}};
  for (size_t r = 0; r < 4; ++r) {
    profile.radios[r].corLevel = r % 2 ? CorLevel::ActiveLow : CorLevel::ActiveHigh;
    for (const int target : keyed[r])
      profile.radios[r].keyedRadios.set(target, true);
    profile.radios[r].debounce = *DelayTime::fromMilliseconds(times[r][0]);
    profile.radios[r].hang = *DelayTime::fromMilliseconds(times[r][1]);
  }
  return profile;
}

}  // namespace

class TestProfile : public QObject {
  Q_OBJECT

 private slots:
  void readsFiles_data();
  void readsFiles();
  void formatReadsBackEqual();
  void savesAtomicallyAndReadsExample();
};

// Good rows: line -1 and `expected` the port read. Bad rows: the line and
// column (0 for none) and a phrase of the reason.
void TestProfile::readsFiles_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<int>("line");
  QTest::addColumn<int>("column");
  QTest::addColumn<QString>("expected");

  // Good files, also as a Windows editor saves them.
  QTest::newRow("base") << kBase << -1 << 0 << "rfc2217://10.8.0.5:2217";
  QTest::newRow("BOM and CRLF") << "\xEF\xBB\xBF" + QByteArray(kBase).replace("\n", "\r\n") << -1 << 0
                                << "rfc2217://10.8.0.5:2217";

  // Syntax, unknown names, and the first problem when there are several.
  QTest::newRow("syntax") << edited(9, "debounce_ms = = 100") << 9 << 15 << "sintaxe TOML";
  QTest::newRow("unknown key") << edited(10, "hang_ms = 100\nvolume = 3") << 11 << 1
                               << "[radio1] chave desconhecida \"volume\"";
  QTest::newRow("unknown section") << edited(25, "hang_ms = 100\n[radio5]") << 26 << 2 << "seção desconhecida [radio5]";
  QTest::newRow("first problem") << edited(7, "cor = \"x\"\naciona = [7]", 2) << 7 << 7 << "[radio1] cor:";

  // Values out of their range, and the wrong type.
  QTest::newRow("keys radio 5") << edited(8, "aciona = [2, 5]") << 8 << 14 << "[radio1] aciona: 5 não é um rádio";
  QTest::newRow("keys radio 0") << edited(23, "aciona = [1, 0]") << 23 << 14 << "[radio4] aciona: 0 não é um rádio";
  QTest::newRow("keys itself") << edited(13, "aciona = [3, 2]") << 13 << 14 << "o rádio 2 não aciona a si mesmo";
  QTest::newRow("repeated radio") << edited(18, "aciona = [1, 2, 1]") << 18 << 17 << "o rádio 1 aparece mais de";
  QTest::newRow("debounce 150")
      << edited(14, "debounce_ms = 150") << 14 << 15
      << "[radio2] debounce_ms: 150 não é um dos tempos da lista (0 a 10000 ms, de 100 em 100)";
  QTest::newRow("level") << edited(12, "cor = \"médio\"") << 12 << 7 << "[radio2] cor: \"médio\" não é um nível";
  QTest::newRow("time as text") << edited(9, "debounce_ms = \"100\"") << 9 << 15 << "número inteiro";

  // Something missing.
  QTest::newRow("missing section") << edited(16, "", 5) << 0 << 0 << "falta a seção [radio3]";
  QTest::newRow("missing key") << edited(24, "") << 21 << 1 << "[radio4] falta a chave debounce_ms";

  // A port no list or network holds.
  QTest::newRow("port 0") << edited(5, "porta = \"0\"") << 5 << 9 << "\"0\" não é uma porta";

  // Files this program cannot read.
  QTest::newRow("newer version") << edited(2, "versao = 2\nnovidade = true") << 2 << 10 << "versão mais nova";
  QTest::newRow("too large") << kBase + "#" + QByteArray(kLargestSiteProfileBytes, 'x') << 0 << 0 << "grande demais";
  QTest::newRow("not UTF-8") << edited(4, "nome = \"Jaragu\xE1\"") << 4 << 15 << "não está em UTF-8";
  QTest::newRow("overlong UTF-8") << edited(4, "nome = \"ã\xC0\xAF\"") << 4 << 10 << "não está em UTF-8";
}

void TestProfile::readsFiles() {
  QFETCH(QByteArray, text);
  QFETCH(int, line);
  QFETCH(int, column);
  QFETCH(QString, expected);

  const ProfileReadResult result = parseSiteProfile(text, QStringLiteral("site.zelqon"));
  const QString message = result.problem.text();
  if (line < 0) {
    QVERIFY2(result.profile, qPrintable(message));
    QCOMPARE(result.profile->port ? result.profile->port->text() : QString(), expected);
    QVERIFY(text != kBase || *result.profile == baseProfile());
    return;
  }
  // One line, as compilers write it: "site.zelqon:LINE:COLUMN: reason".
  const QString place = line ? QStringLiteral("site.zelqon:%1:%2: ").arg(line).arg(column) : "site.zelqon: ";
  QVERIFY(!result.profile);
  QVERIFY2(message.startsWith(place) && message.contains(expected) && !message.contains('\n'), qPrintable(message));
}

void TestProfile::formatReadsBackEqual() {
  SiteProfile tricky = baseProfile();
  tricky.siteName = QStringLiteral("Morro \"do\" C:\\ares\t\x01\x7F ñ");
  tricky.notes = QStringLiteral("\nlinha 1\r\n\"\"\"aspas\"\"\"\n\tfim \\ \"");
  tricky.port = NetworkAddress{NetworkProtocol::RawTcp, QStringLiteral("::1"), 9};
  for (const SiteProfile& profile : {SiteProfile{}, baseProfile(), tricky}) {
    const QByteArray text = formatSiteProfile(profile);
    const ProfileReadResult result = parseSiteProfile(text, QStringLiteral("volta.zelqon"));
    QVERIFY2(result.profile, qPrintable(result.problem.text() + QLatin1Char('\n') + QString::fromUtf8(text)));
    QVERIFY(*result.profile == profile);
  }
}

void TestProfile::savesAtomicallyAndReadsExample() {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("site.zelqon"));
  QVERIFY(dir.isValid() && !saveSiteProfile(path, baseProfile()));
  const QByteArray oldBytes = formatSiteProfile(baseProfile());

  // A write that fails part-way, as on a full disk: the file size limit
  // stops even root, and the old file is smaller than the limit.
  SiteProfile larger = baseProfile();
  larger.notes = QString(4096, QLatin1Char('n'));
  rlimit saved{};
  QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = rlim_t(oldBytes.size() + 100);
  QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
  const auto failure = saveSiteProfile(path, larger);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldSignal);
  const QString reason = failure.value_or(QString());
  QVERIFY2(reason.contains(path) && reason.contains(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(reason));
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), oldBytes);
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("site.zelqon")});

  // The example shipped with the program.
  const ProfileReadResult example = readSiteProfile(QStringLiteral(ZELQON_EXAMPLE_PROFILE));
  QVERIFY2(example.profile && example.profile->port, qPrintable(example.problem.text()));
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
