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

// Line numbers of the rows below refer to this file.
const QByteArray kBase =
    "# Perfil de teste\n"                    // 1
    "versao = 1\n"                           // 2
    "\n"                                     // 3
    "[site]\n"                               // 4
    "nome = \"Pico do Jaraguá\"\n"           // 5
    "porta = \"rfc2217://10.8.0.5:2217\"\n"  // 6
    "\n"                                     // 7
    "[radio1]\n"                             // 8
    "cor = \"alto\"\n"                       // 9
    "aciona = [2, 4]\n"                      // 10
    "debounce_ms = 100\n"                    // 11
    "hang_ms = 100\n"                        // 12
    "\n"                                     // 13
    "[radio2]\n"                             // 14
    "cor = \"baixo\"\n"                      // 15
    "aciona = []\n"                          // 16
    "debounce_ms = 0\n"                      // 17
    "hang_ms = 10000\n"                      // 18
    "\n"                                     // 19
    "[radio3]\n"                             // 20
    "cor = \"alto\"\n"                       // 21
    "aciona = [1, 2, 4]\n"                   // 22
    "debounce_ms = 200\n"                    // 23
    "hang_ms = 300\n"                        // 24
    "\n"                                     // 25
    "[radio4]\n"                             // 26
    "cor = \"baixo\"\n"                      // 27
    "aciona = [1]\n"                         // 28
    "debounce_ms = 9900\n"                   // 29
    "hang_ms = 100\n";                       // 30

// kBase with some of its lines replaced (by several lines, or none).
QByteArray edited(std::initializer_list<std::pair<int, QByteArray>> edits) {
  QList<QByteArray> lines = kBase.split('\n');
  for (const auto& [line, text] : edits)
    lines[line - 1] = text;
  return lines.join('\n');
}

SiteProfile baseProfile() {
  SiteProfile profile;
  profile.siteName = QStringLiteral("Pico do Jaraguá");
  profile.port = QStringLiteral("rfc2217://10.8.0.5:2217");
  const auto time = [](int ms) { return *DelayTime::fromMilliseconds(ms); };
  const std::array<QList<int>, 4> keyed = {{{2, 4}, {}, {1, 2, 4}, {1}}};
  const std::array<std::pair<int, int>, 4> times = {{{100, 100}, {0, 10000}, {200, 300}, {9900, 100}}};
  for (int r = 0; r < 4; ++r) {
    RadioProgram& program = profile.radios[size_t(r)];
    program.corLevel = r % 2 ? CorLevel::ActiveLow : CorLevel::ActiveHigh;
    for (const int target : keyed[size_t(r)])
      program.keyedRadios.set(target, true);
    program.debounce = time(times[size_t(r)].first);
    program.hang = time(times[size_t(r)].second);
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
  void saveFailureKeepsOldFile();
  void readsFromDisk();
};

// Good rows: line -1 and `expected` the port read. Bad rows: the line (0 for
// none), the column (0 when not checked) and a phrase of the reason.
void TestProfile::readsFiles_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<int>("line");
  QTest::addColumn<int>("column");
  QTest::addColumn<QString>("expected");

  QTest::newRow("base") << kBase << -1 << 0 << "rfc2217://10.8.0.5:2217";
  QTest::newRow("no site section") << edited({{4, ""}, {5, ""}, {6, ""}}) << -1 << 0 << "";
  QTest::newRow("port number") << edited({{6, "porta = \"1\""}}) << -1 << 0 << "1";
  QTest::newRow("port device") << edited({{6, "porta = \"/dev/ttyUSB0\""}}) << -1 << 0 << "/dev/ttyUSB0";
  QTest::newRow("port COM") << edited({{6, R"(porta = '\\.\COM12')"}}) << -1 << 0 << R"(\\.\COM12)";
  QTest::newRow("port tcp ipv6") << edited({{6, "porta = \"tcp://[fe80::1]:4000\""}}) << -1 << 0
                                 << "tcp://[fe80::1]:4000";
  QTest::newRow("BOM and CRLF") << "\xEF\xBB\xBF" + QByteArray(kBase).replace("\n", "\r\n") << -1 << 0
                                << "rfc2217://10.8.0.5:2217";

  QTest::newRow("syntax") << edited({{11, "debounce_ms = = 100"}}) << 11 << 15 << "sintaxe TOML";
  QTest::newRow("unknown radio key") << edited({{12, "hang_ms = 100\nvolume = 3"}}) << 13 << 1
                                     << "[radio1] chave desconhecida \"volume\"";
  QTest::newRow("unknown section") << edited({{30, "hang_ms = 100\n[radio5]"}}) << 31 << 2
                                   << "seção desconhecida [radio5]";
  QTest::newRow("unknown site key") << edited({{5, "apelido = \"x\""}}) << 5 << 1
                                    << "[site] chave desconhecida \"apelido\"";
  QTest::newRow("keys radio 5") << edited({{10, "aciona = [2, 5]"}}) << 10 << 14 << "[radio1] aciona: 5 não é um rádio";
  QTest::newRow("keys radio 0") << edited({{28, "aciona = [1, 0]"}}) << 28 << 14 << "[radio4] aciona: 0 não é um rádio";
  QTest::newRow("keys itself") << edited({{16, "aciona = [3, 2]"}}) << 16 << 14 << "o rádio 2 não aciona a si mesmo";
  QTest::newRow("repeated radio") << edited({{22, "aciona = [1, 2, 1]"}}) << 22 << 17 << "o rádio 1 aparece mais de";
  QTest::newRow("debounce 150")
      << edited({{17, "debounce_ms = 150"}}) << 17 << 15
      << "[radio2] debounce_ms: 150 não é um dos tempos da lista (0 a 10000 ms, de 100 em 100)";
  QTest::newRow("hang 10100") << edited({{18, "hang_ms = 10100"}}) << 18 << 11 << "hang_ms: 10100 não é um dos tempos";
  QTest::newRow("hang negative") << edited({{30, "hang_ms = -100"}}) << 30 << 11 << "[radio4] hang_ms: -100 não é";
  QTest::newRow("level") << edited({{15, "cor = \"médio\""}}) << 15 << 7 << "[radio2] cor: \"médio\" não é um nível";
  QTest::newRow("time as text") << edited({{11, "debounce_ms = \"100\""}}) << 11 << 15 << "número inteiro";
  QTest::newRow("keyed not a list") << edited({{28, "aciona = 1"}}) << 28 << 10 << "esperada uma lista";
  QTest::newRow("keyed text") << edited({{28, "aciona = [\"1\"]"}}) << 28 << 11 << "esperado o número de um rádio";
  QTest::newRow("name not text") << edited({{5, "nome = 5"}}) << 5 << 8 << "[site] nome: esperado um texto";
  QTest::newRow("radio not a section") << edited({{3, "radio4 = 4"}, {26, ""}, {27, ""}, {28, ""}, {29, ""}, {30, ""}})
                                       << 3 << 10 << "esperada uma seção [radio4]";
  QTest::newRow("missing section") << edited({{20, ""}, {21, ""}, {22, ""}, {23, ""}, {24, ""}}) << 0 << 0
                                   << "falta a seção [radio3]";
  QTest::newRow("missing key") << edited({{29, ""}}) << 26 << 1 << "[radio4] falta a chave debounce_ms";
  QTest::newRow("port text") << edited({{6, "porta = \"USB\""}}) << 6 << 9 << "\"USB\" não é uma porta";
  QTest::newRow("port number 0") << edited({{6, "porta = \"0\""}}) << 6 << 9 << "\"0\" não é uma porta";
  QTest::newRow("port address") << edited({{6, "porta = \"rfc2217://site\""}}) << 6 << 9
                                << "não é um endereço de rede válido";
  QTest::newRow("newer version") << edited({{2, "versao = 2\nnovidade = true"}}) << 2 << 10 << "versão mais nova";
  QTest::newRow("no version") << edited({{2, ""}}) << 0 << 0 << "falta a chave versao";
  QTest::newRow("first problem in the file")
      << edited({{9, "cor = \"x\""}, {10, "aciona = [7]"}}) << 9 << 7 << "[radio1] cor:";
  QTest::newRow("too large") << kBase + "#" + QByteArray(kLargestSiteProfileBytes, 'x') << 0 << 0 << "grande demais";
  QTest::newRow("not UTF-8") << edited({{5, "nome = \"Jaragu\xE1\""}}) << 5 << 15 << "não está em UTF-8";
  QTest::newRow("overlong UTF-8") << edited({{5, "nome = \"ã\xC0\xAF\""}}) << 5 << 10 << "não está em UTF-8";
}

void TestProfile::readsFiles() {
  QFETCH(QByteArray, text);
  QFETCH(int, line);
  QFETCH(int, column);
  QFETCH(QString, expected);

  const ProfileReadResult result = parseSiteProfile(text, QStringLiteral("site.zelqon"));
  if (line < 0) {
    QVERIFY2(result.profile, qPrintable(result.problem.text()));
    QCOMPARE(result.profile->port, expected);
    if (text == kBase)
      QVERIFY(*result.profile == baseProfile());
    return;
  }
  QVERIFY(!result.profile);
  const QString message = result.problem.text();
  QVERIFY2(message.contains(expected), qPrintable(message));
  QVERIFY2(!message.contains(QLatin1Char('\n')), qPrintable(message));
  QCOMPARE(result.problem.line, line);
  if (column > 0)
    QCOMPARE(result.problem.column, column);
  const QString place = line == 0    ? QStringLiteral("site.zelqon: ")
                        : column > 0 ? QStringLiteral("site.zelqon:%1:%2: ").arg(line).arg(column)
                                     : QStringLiteral("site.zelqon:%1:").arg(line);
  QVERIFY2(message.startsWith(place), qPrintable(message));
}

void TestProfile::formatReadsBackEqual() {
  SiteProfile tricky = baseProfile();
  tricky.siteName = QStringLiteral("Morro \"do\" C:\\ares\t\x01\x7F ñ");
  tricky.notes = QStringLiteral("\nlinha 1\r\n\"\"\"aspas\"\"\"\n\tfim \\ \"");
  tricky.port = QStringLiteral("tcp://[::1]:9");
  for (const SiteProfile& profile : {SiteProfile{}, baseProfile(), tricky}) {
    const QByteArray text = formatSiteProfile(profile);
    const ProfileReadResult result = parseSiteProfile(text, QStringLiteral("volta.zelqon"));
    QVERIFY2(result.profile, qPrintable(result.problem.text() + QLatin1Char('\n') + QString::fromUtf8(text)));
    QVERIFY(*result.profile == profile);
  }
  // The saved file explains its keys.
  QVERIFY(formatSiteProfile(SiteProfile{}).contains("# porta = "));
}

void TestProfile::saveFailureKeepsOldFile() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("site.zelqon"));
  SiteProfile old = baseProfile();
  QVERIFY(!saveSiteProfile(path, old));
  const QByteArray oldBytes = formatSiteProfile(old);

  // A write that fails part-way, as on a full disk: the file size limit
  // stops even root, and the old file is smaller than the limit.
  SiteProfile larger = old;
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
  QVERIFY(failure);
  QVERIFY2(failure->contains(path) && failure->contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
           qPrintable(*failure));
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), oldBytes);
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("site.zelqon")});

  // A folder that is a regular file, and a folder standing at the name.
  const auto underFile = saveSiteProfile(path + QStringLiteral("/outro.zelqon"), old);
  QVERIFY(underFile && underFile->contains(QStringLiteral("outro.zelqon")));
  QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("pasta.zelqon")));
  QVERIFY(saveSiteProfile(dir.filePath(QStringLiteral("pasta.zelqon")), old));
  QVERIFY(QFileInfo(dir.filePath(QStringLiteral("pasta.zelqon"))).isDir());
}

void TestProfile::readsFromDisk() {
  const ProfileReadResult example = readSiteProfile(QStringLiteral(ZELQON_EXAMPLE_PROFILE));
  QVERIFY2(example.profile, qPrintable(example.problem.text()));
  QVERIFY(!example.profile->siteName.isEmpty() && !example.profile->port.isEmpty());

  QTemporaryDir dir;
  const QString missing = dir.filePath(QStringLiteral("nada.zelqon"));
  const ProfileReadResult absent = readSiteProfile(missing);
  QVERIFY(!absent.profile);
  QVERIFY2(absent.problem.text().startsWith(missing + QStringLiteral(": não foi possível abrir o arquivo: ")),
           qPrintable(absent.problem.text()));
  const ProfileReadResult folder = readSiteProfile(dir.path());
  QVERIFY2(!folder.profile && folder.problem.text().contains(QStringLiteral("não foi possível")),
           qPrintable(folder.problem.text()));
}

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
