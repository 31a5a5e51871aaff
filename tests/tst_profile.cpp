#include "engine/profile_text.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#endif

using namespace zelqon;

namespace {

// Five lines a row; the line numbers in the rows below refer to this file.
const QByteArray kBase =
    "# Perfil de teste\nversao = 1\n[site]\nnome = \"Pico do Jaraguá\"\nporta = \"rfc2217://10.8.0.5:2217\"\n"  // 1-5
    "[radio1]\ncor = \"alto\"\naciona = [2, 4]\ndebounce_ms = 100\nhang_ms = 100\n"                             // 6-10
    "[radio2]\ncor = \"baixo\"\naciona = []\ndebounce_ms = 0\nhang_ms = 10000\n"                                // 11-15
    "[radio3]\ncor = \"alto\"\naciona = [1, 2, 4]\ndebounce_ms = 200\nhang_ms = 300\n"                          // 16-20
    "[radio4]\ncor = \"baixo\"\naciona = [1]\ndebounce_ms = 9900\nhang_ms = 100\n";                             // 21-25

// A file as a technician keeps it: comments above sections, after values and
// at the end, both quotings, keys out of order, an array over three lines,
// no [site] notas.
const QByteArray kHand =
    "# Pico - notas do técnico\nversao = 1   # não mude\n\n# acesso: chave com o zelador\n[site]\n"              // 1-5
    "porta = \"/dev/ttyUSB0\"  # cabo azul\nnome = 'Pico'\n\n[radio1]\nhang_ms = 500   # por causa do enlace\n"  // 6-10
    "cor = 'alto'\naciona = [3, 2]  # ordem do técnico\ndebounce_ms = 100\n[radio2]\ncor = \"baixo\"\n"    // 11-15
    "aciona = [\n  1,\n]\ndebounce_ms = 0\nhang_ms = 100\n"                                                // 16-20
    "# o enlace\n[radio3]\ncor = \"alto\"\naciona = []\ndebounce_ms = 200\nhang_ms = 100\n\n"              // 21-27
    "[radio4]\ncor = \"alto\"\naciona = [1]\ndebounce_ms = 100\nhang_ms = 100 # fim\n# fim do arquivo\n";  // 28-33

// `base` with `count` lines from `line` on replaced by `text` (several lines, or an empty one).
QByteArray edited(int line, const QByteArray& text, int count = 1, const QByteArray& base = kBase) {
  QList<QByteArray> lines = base.split('\n');
  lines.remove(line - 1, count);
  lines.insert(line - 1, text);
  return lines.join('\n');
}

// What kBase holds.
SiteProfile baseProfile() {
  SiteProfile profile;
  profile.port = portChoiceIn(u"rfc2217://10.8.0.5:2217", PortReading::Exact);
  profile.siteName = QStringLiteral("Pico do Jaraguá");
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
  // Good rows (line -1) hold what kBase holds. Bad rows: the line and column
  // (0 for none) and a phrase of the reason.
  void readsFiles_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("expected");

    // Good files, also as a Windows editor saves them.
    QTest::newRow("base") << kBase << -1 << 0 << QString();
    QTest::newRow("BOM and CRLF") << "\xEF\xBB\xBF" + QByteArray(kBase).replace("\n", "\r\n") << -1 << 0 << QString();

    // Syntax, unknown names, and the first problem when there are several.
    QTest::newRow("syntax") << edited(9, "debounce_ms = = 100") << 9 << 15 << "sintaxe TOML";
    QTest::newRow("unknown key") << edited(10, "hang_ms = 100\nvolume = 3") << 11 << 1
                                 << "[radio1] chave desconhecida \"volume\"";
    QTest::newRow("unknown section") << edited(25, "hang_ms = 100\n[radio5]") << 26 << 2
                                     << "seção desconhecida [radio5]";
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
    // A file named by a profile: one line, never empty.
    QTest::newRow("empty key file") << edited(5, "chave = \"\"") << 5 << 9 << "chave: esperado o caminho";
    QTest::newRow("certificate over two lines")
        << edited(5, "certificado = \"a.crt\\nb.crt\"") << 5 << 15 << "certificado: esperado o caminho";
    QTest::newRow("certificate as a number") << edited(5, "certificado_servidor = 3") << 5 << 24 << "texto";

    // Files this program cannot read.
    QTest::newRow("newer version") << edited(2, "versao = 2\nnovidade = true") << 2 << 10 << "versão mais nova";
    QTest::newRow("overlong UTF-8") << edited(4, "nome = \"ã\xC0\xAF\"") << 4 << 10 << "não está em UTF-8";
    QTest::newRow("cut UTF-8") << edited(4, "nome = \"\uFFFD😀\xE2\x82\"") << 4 << 11 << "não está em UTF-8";
  }

  void readsFiles() {
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(QString, expected);

    const ProfileReadResult result = parseSiteProfile(text, QStringLiteral("site.zelqon"));
    const QString message = describeProfileProblem(result.problem);
    if (line < 0) {
      QVERIFY2(result.profile && *result.profile == baseProfile(), qPrintable(message));
      return;
    }
    // One line, as compilers write it: "site.zelqon:LINE:COLUMN: reason".
    const QString place = line ? QStringLiteral("site.zelqon:%1:%2: ").arg(line).arg(column) : "site.zelqon: ";
    QVERIFY2(!result.profile && message.startsWith(place) && message.contains(expected) && !message.contains('\n'),
             qPrintable(message));
  }

  // Each change written into kHand: the text must be exactly kHand with the
  // changed value lines (or the added ones), and read back as saved.
  void savesOnlyChangedValues() {
    const QByteArray crlf = QByteArray(kHand).replace("\n", "\r\n");
    const QByteArray noSite = edited(4, {}, 5, kHand);
    const QByteArray withNotes = edited(7, "nome = 'Pico'\nnotas = \"\"\"\nÁgua\nÉ\"\"\"", 1, kHand);
    const struct {
      const char* name;
      QByteArray original;
      void (*change)(SiteProfile&);
      QByteArray expected;
    } cases[] = {
        {"nothing changed", kHand, [](SiteProfile&) {}, kHand},
        {"time keeps its comment", kHand, [](SiteProfile& p) { p.radios[0].hang = *DelayTime::fromMilliseconds(700); },
         edited(10, "hang_ms = 700   # por causa do enlace", 1, kHand)},
        {"basic quoting", kHand, [](SiteProfile& p) { p.port = *parseNetworkAddress(u"tcp://site:4001"); },
         edited(6, "porta = \"tcp://site:4001\"  # cabo azul", 1, kHand)},
        {"literal quoting", kHand, [](SiteProfile& p) { p.siteName = QStringLiteral("Serra \"Alta\""); },
         edited(7, "nome = 'Serra \"Alta\"'", 1, kHand)},
        {"literal cannot hold '", kHand, [](SiteProfile& p) { p.siteName = QStringLiteral("Morro d'Água"); },
         edited(7, "nome = \"Morro d'Água\"", 1, kHand)},
        {"array over three lines", kHand, [](SiteProfile& p) { p.radios[1].keyedRadios.set(3, true); },
         edited(16, "aciona = [1, 3]", 3, kHand)},
        {"last values and levels", kHand,
         [](SiteProfile& p) {
           p.radios[3].hang = DelayTime::choices().last();
           p.radios[0].corLevel = CorLevel::ActiveLow;
         },
         edited(11, "cor = 'baixo'", 1, edited(32, "hang_ms = 10000 # fim", 1, kHand))},
        {"certificates after the port", kHand,
         [](SiteProfile& p) {
           p.serverCertificate = QStringLiteral("certs/servidor.crt");
           p.clientKey = QStringLiteral("C:\\chaves\\tecnico.key");
         },
         edited(7,
                "nome = 'Pico'\ncertificado_servidor = \"certs/servidor.crt\"\n"
                "chave = \"C:\\\\chaves\\\\tecnico.key\"",
                1, kHand)},
        {"missing key after its own", kHand, [](SiteProfile& p) { p.notes = QStringLiteral("a\nb"); },
         edited(7, "nome = 'Pico'\nnotas = \"\"\"\na\nb\"\"\"", 1, kHand)},
        {"missing section after versao", noSite,
         [](SiteProfile& p) {
           p.port.reset();
           p.siteName = QStringLiteral("Novo");
         },
         edited(2, "versao = 1   # não mude\n\n[site]\nnome = \"Novo\"", 1, noSite)},
        {"line breaks as the file's", crlf, [](SiteProfile& p) { p.notes = QStringLiteral("x"); },
         edited(7, "nome = 'Pico'\r\nnotas = \"x\"\r", 1, crlf)},
        {"notes ending in accents", withNotes, [](SiteProfile& p) { p.notes = QStringLiteral("Nova"); },
         edited(8, "notas = \"\"\"\nNova\"\"\"", 3, withNotes)},
        {"blank file: written anew, its texts escaped",
         "\n \n",
         [](SiteProfile& p) {
           p.port = qint16(2);
           p.siteName = QStringLiteral("Morro \"do\" C:\\ares\t\x01\x7F ñ");
           p.notes = QStringLiteral("\nlinha 1\r\n\"\"\"aspas\"\"\"\n\tfim \\ \"");
         },
         {}},
    };
    for (const auto& c : cases) {
      const ProfileReadResult read = parseSiteProfile(c.original, {});
      SiteProfile wanted = read.profile.value_or(baseProfile());
      c.change(wanted);
      const QByteArray text = updateSiteProfileText(c.original, wanted);
      const QByteArray expected = c.expected.isEmpty() ? formatSiteProfile(wanted) : c.expected;
      QVERIFY2(text.split('\n') == expected.split('\n'), qPrintable(QString::fromUtf8(c.name + ('\n' + text))));
      QVERIFY2(parseSiteProfile(text, {}).profile == wanted, c.name);
    }
  }

  // A profile's files are read from its own folder, so a site's folder can
  // move whole; an absolute path stays as written.
  void namedFilesAreReadFromTheProfilesFolder() {
    QTemporaryDir dir;
    const QString profile = dir.filePath(QStringLiteral("sites/pico.zelqon"));
    QCOMPARE(profileFilePath(profile, QStringLiteral("certs/../s.crt")), dir.filePath(QStringLiteral("sites/s.crt")));
    QCOMPARE(profileFilePath(profile, dir.filePath(QStringLiteral("c.key"))), dir.filePath(QStringLiteral("c.key")));
    QCOMPARE(profileFilePath(QStringLiteral("pico.zelqon"), QStringLiteral("s.crt")),
             QDir::current().filePath(QStringLiteral("s.crt")));
  }

  void savesInPlaceAndAtomically() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.zelqon"));
    QVERIFY(writeFile(path, kHand));
    QFile file(path);
#ifdef Q_OS_UNIX  // Windows keeps no such bits: only read-only, which a save must not set
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
#endif
    SiteProfile changed = *parseSiteProfile(kHand, {}).profile;
    changed.radios[2].debounce = DelayTime();
    const ProfileSaveResult saved = saveSiteProfile(path, changed);
    const QByteArray oldBytes = edited(25, "debounce_ms = 100", 1, kHand);
    QVERIFY(!saved.problem && saved.bytes == oldBytes);
#ifdef Q_OS_UNIX
    QCOMPARE(file.permissions() & QFile::Permissions(0x7077), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

    // A write that fails part-way, as on a full disk: the file size limit
    // stops even root, and the old file is smaller than the limit.
    changed.notes = QString(4096, QLatin1Char('n'));
    rlimit limits{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &limits), 0);
    const rlimit small{.rlim_cur = rlim_t(oldBytes.size() + 100), .rlim_max = limits.rlim_max};
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const ProfileSaveResult failure = saveSiteProfile(path, changed);
    setrlimit(RLIMIT_FSIZE, &limits);
    std::signal(SIGXFSZ, oldSignal);
    const QString reason = failure.problem ? describeProfileProblem(*failure.problem) : QString();
    QVERIFY_CONTAINS(reason, path);
    QVERIFY_CONTAINS(reason, QString::fromLocal8Bit(std::strerror(EFBIG)));
    QCOMPARE(readSiteProfile(path).bytes, oldBytes);
#endif
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("site.zelqon")});

    // A file one byte past the limit is refused, though its first MiB reads.
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Append) &&
            file.write(QByteArray(kLargestSiteProfileBytes + 1 - oldBytes.size(), '\n')));
    file.close();
    QVERIFY(describeProfileProblem(readSiteProfile(path).problem)
                .endsWith(QStringLiteral("grande demais para um perfil (mais de 1048576 bytes).")));
  }

  // A new file teaches its keys: each note by its key, an absent [site] value
  // as a commented-out example. The other radios repeat [radio1]'s notes.
  void newFileTeachesItsKeys() {
    SiteProfile profile;
    profile.siteName = QStringLiteral("Pico");
    profile.radios[0].keyedRadios.set(2, true);
    const QByteArray text = formatSiteProfile(profile);
    QCOMPARE(text.left(text.indexOf("\n[radio2]")),
             "# Perfil de site do programador ZELQON: texto UTF-8 no formato TOML, que se\n"
             "# pode editar à mão. Linhas iniciadas por # são comentários.\n"
             "versao = 1            # versão do formato deste arquivo\n"
             "\n[site]\n"
             "# Nome e notas: texto livre, opcional; as notas podem ter várias linhas entre \"\"\".\n"
             "nome = \"Pico\"\n"
             "# notas = \"Observações\"\n"
             "# A porta, opcional: o número da lista (\"1\" ou \"COM1\"), o dispositivo (\"/dev/ttyUSB0\")\n"
             "# ou um servidor serial de rede: \"rfc2217://HOST:PORTA\" ou \"tcp://HOST:PORTA\",\n"
             "# cifrado com TLS: \"rfc2217+tls://HOST:PORTA\" ou \"tcp+tls://HOST:PORTA\".\n"
             "# porta = \"1\"\n"
             "# Com +tls, opcionais, relativos à pasta deste arquivo: o certificado do servidor (ou o da\n"
             "# autoridade que o assinou), e o certificado e a chave deste computador, se o servidor os exige.\n"
             "# certificado_servidor = \"servidor.crt\"\n"
             "# certificado = \"tecnico.crt\"\n"
             "# chave = \"tecnico.key\"\n"
             "\n# Os quatro rádios, [radio1] a [radio4], são todos obrigatórios.\n"
             "\n[radio1]\n"
             "cor = \"alto\"          # nível ativo da entrada COR: \"alto\" ou \"baixo\"\n"
             "aciona = [2]          # rádios acionados (PTT) enquanto o COR deste rádio está ativo; [] nenhum\n"
             "debounce_ms = 100     # 0 a 10000, de 100 em 100\n"
             "hang_ms = 100         # 0 a 10000, de 100 em 100\n");
  }

  void helpNamesEveryKey() {
    QCOMPARE(
        describeProfileKeys(),
        QStringLiteral("Chaves de um perfil de site (.zelqon):\n"
                       "    versao               obrigatória: a versão do formato, 1\n"
                       "  [site], opcional\n"
                       "    nome                 opcional: texto entre aspas\n"
                       "    notas                opcional: texto entre aspas\n"
                       "    porta                opcional: \"1\", \"COM1\", \"/dev/ttyUSB0\", rfc2217://, "
                       "rfc2217+tls://, tcp:// ou tcp+tls://SERVIDOR:PORTA\n"
                       "    certificado_servidor opcional: com +tls, um arquivo PEM, entre aspas, relativo à pasta "
                       "do perfil\n"
                       "    certificado          opcional: com +tls, um arquivo PEM, entre aspas, relativo à pasta "
                       "do perfil\n"
                       "    chave                opcional: com +tls, um arquivo PEM, entre aspas, relativo à pasta "
                       "do perfil\n"
                       "  [radio1] a [radio4], todas obrigatórias\n"
                       "    cor                  obrigatória: nível ativo da entrada COR: \"alto\" ou \"baixo\"\n"
                       "    aciona               obrigatória: rádios acionados (PTT), como [2, 4]; [] nenhum\n"
                       "    debounce_ms          obrigatória: 0 a 10000 ms, de 100 em 100\n"
                       "    hang_ms              obrigatória: 0 a 10000 ms, de 100 em 100\n"));
  }
};

QTEST_GUILESS_MAIN(TestProfile)
#include "tst_profile.moc"
