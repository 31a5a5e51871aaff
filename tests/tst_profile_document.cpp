// The window's site profile without the window: what it asks before it
// drops or overwrites anything, what each answer does to the pages and the
// file, the port the profile names, the recent list, and failures that change
// nothing.

#include "test_support.h"
#include "ui/profile_document.h"
#include "ui/radio_pages.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace zelqon;

namespace {

// Answers as told, keeping every question asked.
struct ScriptedAnswers final : ProfileQuestions {
  UnsavedChanges unsaved = UnsavedChanges::Cancel;
  ChangedFile changed = ChangedFile::Cancel;
  QStringList asked;

  UnsavedChanges askAboutUnsavedChanges(const QString& fileName) override {
    asked.append(QStringLiteral("unsaved ") + fileName);
    return unsaved;
  }
  ChangedFile askAboutChangedFile(const QString& fileName) override {
    asked.append(QStringLiteral("changed ") + fileName);
    return changed;
  }
};

struct Document {
  Document() : document(radios, answers) {}
  void setCor(int radio, CorLevel level) {
    RadioProgram program = radios.program(radio);
    program.corLevel = level;
    radios.setProgram(radio, program);
  }
  [[nodiscard]] CorLevel cor(int radio) const { return radios.program(radio).corLevel; }

  QTemporaryDir dir;
  RadioPages radios;
  ScriptedAnswers answers;
  ProfileDocument document;
  QSignalSpy failures{&document, &ProfileDocument::failed};
};

enum class Leaving { OpenAnother, Reload, Leave };

}  // namespace

class ProfileDocumentTest : public QObject {
  Q_OBJECT

 private slots:
  // Unsaved pages are asked about once, naming the file: Save writes them
  // first, Discard drops them, Cancel keeps the pages and the file.
  void unsavedPagesAreLeftOnlyWhenTheOperatorSaysSo_data() {
    QTest::addColumn<Leaving>("way");
    QTest::addColumn<ProfileQuestions::UnsavedChanges>("answer");
    using Answer = ProfileQuestions::UnsavedChanges;
    for (const auto& [way, wayName] : {std::pair{Leaving::OpenAnother, "open"}, std::pair{Leaving::Reload, "reload"},
                                       std::pair{Leaving::Leave, "leave"}})
      for (const auto& [answer, said] : {std::pair{Answer::Save, "save"}, std::pair{Answer::Discard, "discard"},
                                         std::pair{Answer::Cancel, "cancel"}})
        QTest::addRow("%s %s", wayName, said) << way << answer;
  }
  void unsavedPagesAreLeftOnlyWhenTheOperatorSaysSo() {
    QFETCH(Leaving, way);
    QFETCH(ProfileQuestions::UnsavedChanges, answer);
    Document d;
    const QString other = d.dir.filePath(QStringLiteral("outro.zelqon"));
    const QString path = d.dir.filePath(QStringLiteral("site.zelqon"));
    QVERIFY(d.document.saveAs(other));
    QVERIFY(d.document.saveAs(path));
    QVERIFY(!d.document.isModified());
    const QByteArray before = readFile(path);
    d.setCor(1, CorLevel::ActiveLow);
    QVERIFY(d.document.isModified());
    d.answers.unsaved = answer;

    bool left = false;
    switch (way) {
      case Leaving::OpenAnother:
        left = d.document.open(other) && d.document.fileName() == QStringLiteral("outro.zelqon");
        break;
      case Leaving::Reload:
        left = d.document.reload();
        break;
      case Leaving::Leave:
        left = d.document.mayLeave();
        break;
    }
    QCOMPARE(d.answers.asked, QStringList{QStringLiteral("unsaved site.zelqon")});
    QCOMPARE(left, answer != ProfileQuestions::UnsavedChanges::Cancel);
    QCOMPARE(readFile(path) == before, answer != ProfileQuestions::UnsavedChanges::Save);
    if (answer == ProfileQuestions::UnsavedChanges::Cancel)
      QVERIFY(d.document.isModified() && d.cor(1) == CorLevel::ActiveLow);
    else if (way != Leaving::Leave)  // what is shown is the file as it now reads
      QCOMPARE(d.cor(1), way == Leaving::Reload && answer == ProfileQuestions::UnsavedChanges::Save
                             ? CorLevel::ActiveLow
                             : CorLevel::ActiveHigh);
    // Nothing unsaved: nothing asked.
    d.answers.asked.clear();
    if (!d.document.isModified())
      QVERIFY(d.document.mayLeave() && d.answers.asked.isEmpty());
  }

  // Save to a file edited outside since it was read or written here asks
  // first; a file that has since gone is written again without asking; a
  // save answered Save that cannot be written does not leave the pages.
  void aFileChangedOutsideIsNotOverwrittenUnasked() {
    Document d;
    const QString path = d.dir.filePath(QStringLiteral("site.zelqon"));
    QVERIFY(!d.document.save());  // none open: it needs a path
    QVERIFY(d.document.saveAs(path));
    const QByteArray outside = readFile(path).replace("[radio1]\ncor = \"alto\"", "[radio1]\ncor = \"baixo\"");
    QVERIFY(outside != readFile(path) && writeFile(path, outside));
    d.setCor(2, CorLevel::ActiveLow);
    for (const auto answer : {ProfileQuestions::ChangedFile::Cancel, ProfileQuestions::ChangedFile::Overwrite}) {
      d.answers.changed = answer;
      d.answers.asked.clear();
      QCOMPARE(d.document.save(), answer == ProfileQuestions::ChangedFile::Overwrite);
      QCOMPARE(d.answers.asked, QStringList{QStringLiteral("changed site.zelqon")});
      QCOMPARE(readFile(path) == outside, answer == ProfileQuestions::ChangedFile::Cancel);
      QCOMPARE(d.document.isModified(), answer == ProfileQuestions::ChangedFile::Cancel);
    }
    // Read again, the outside edit is what the pages show, and the next save
    // asks nothing.
    QVERIFY(writeFile(path, outside));
    QVERIFY(d.document.reload());
    QCOMPARE(d.cor(1), CorLevel::ActiveLow);
    d.answers.asked.clear();
    d.setCor(3, CorLevel::ActiveLow);
    QVERIFY(d.document.save());
    QVERIFY(QFile::remove(path));
    d.setCor(4, CorLevel::ActiveLow);
    QVERIFY(d.document.save());
    QCOMPARE(d.answers.asked, QStringList());
    QVERIFY(readFile(path).contains("[radio4]\ncor = \"baixo\""));

    // Save answered, but the folder has gone: the pages stay.
    d.setCor(4, CorLevel::ActiveHigh);
    QVERIFY(d.dir.remove());
    d.answers.unsaved = ProfileQuestions::UnsavedChanges::Save;
    QVERIFY(!d.document.mayLeave());
    QVERIFY(d.document.isModified());
    QCOMPARE(d.failures.count(), 1);
    QVERIFY(d.failures.at(0).at(0).toString().startsWith(QStringLiteral("O perfil não foi salvo.\n")));
  }

  // The port a profile names is shown as typed; while the box shows it the
  // file keeps its own form, another text marks the pages modified, and
  // typing it back unmarks them. A file that cannot be read changes nothing.
  void theProfilesPortAndFailuresThatChangeNothing() {
    Document d;
    QSignalSpy named(&d.document, &ProfileDocument::portNamed);
    QSignalSpy changes(&d.document, &ProfileDocument::changed);
    const QString path = d.dir.filePath(QStringLiteral("site.zelqon"));
    d.document.setPortText(QStringLiteral("2"));
    QVERIFY(d.document.saveAs(path));
    QVERIFY(writeFile(path, readFile(path).replace("porta = \"2\"", "porta = \"/dev/ttyUSB7\"")));
    QVERIFY(d.document.open(path));
    QCOMPARE(named.count(), 1);
    QCOMPARE(named.at(0).at(0).value<PortChoice>().text(), QStringLiteral("/dev/ttyUSB7"));
    d.document.setPortText(QStringLiteral(" /dev/ttyUSB7 "));
    QVERIFY(!d.document.isModified());
    QCOMPARE(d.document.current().port->text(), QStringLiteral("/dev/ttyUSB7"));
    const qsizetype told = changes.count();
    d.document.setPortText(QStringLiteral("tcp://site:4001"));
    QVERIFY(d.document.isModified());
    d.document.setPortText(QStringLiteral("/dev/ttyUSB7"));
    QVERIFY(!d.document.isModified());
    QCOMPARE(changes.count(), told + 2);

    const QString broken = d.dir.filePath(QStringLiteral("quebrado.zelqon"));
    QVERIFY(writeFile(broken, "versao = 1\n[radio1]\ncor = \"meio\"\n"));
    d.setCor(1, CorLevel::ActiveLow);
    QVERIFY(d.document.saveAs(path));
    QVERIFY(!d.document.open(broken));
    QCOMPARE(d.document.fileName(), QStringLiteral("site.zelqon"));
    QCOMPARE(d.cor(1), CorLevel::ActiveLow);
    QVERIFY(!d.document.isModified());
    QCOMPARE(d.failures.count(), 1);
    QVERIFY(d.failures.at(0).at(0).toString().startsWith(QStringLiteral("O perfil não foi aberto.\n")));
  }

  // Saved into another folder, a profile's relative files still name the
  // same files; absolute ones stay as written.
  void filesTheProfileNamesFollowASaveElsewhere() {
    Document d;
    const QString path = d.dir.filePath(QStringLiteral("a/site.zelqon"));
    QVERIFY(QDir(d.dir.path()).mkpath(QStringLiteral("a")) && QDir(d.dir.path()).mkpath(QStringLiteral("b/c")));
    QVERIFY(
        writeFile(path, formatSiteProfile(SiteProfile{})
                            .replace("# certificado_servidor = \"servidor.crt\"", "certificado_servidor = \"s.crt\"")
                            .replace("# chave = \"tecnico.key\"", "chave = \"/etc/zelqon/c.key\"")));
    QVERIFY(d.document.open(path));
    QVERIFY(d.document.saveAs(d.dir.filePath(QStringLiteral("b/c/site.zelqon"))));
    const SiteProfile moved = *readSiteProfile(d.dir.filePath(QStringLiteral("b/c/site.zelqon"))).profile;
    QCOMPARE(moved.serverCertificate, QStringLiteral("../../a/s.crt"));
    QCOMPARE(moved.clientKey, QStringLiteral("/etc/zelqon/c.key"));
    QVERIFY(!d.document.isModified());
  }

  // Opened or saved files lead the recent list; one whose file has gone
  // leaves it, telling why.
  void theRecentList() {
    Document d;
    const QString first = d.dir.filePath(QStringLiteral("a.zelqon"));
    const QString second = d.dir.filePath(QStringLiteral("b.zelqon"));
    QVERIFY(d.document.saveAs(first) && d.document.saveAs(second) && d.document.open(first));
    QCOMPARE(d.document.recentPaths().mid(0, 2), (QStringList{first, second}));
    QVERIFY(QFile::remove(second));
    QVERIFY(!d.document.openRecent(second));
    QVERIFY(!d.document.recentPaths().contains(second));
    QCOMPARE(d.failures.at(0).at(0).toString(),
             QStringLiteral("O perfil %1 não existe mais e saiu da lista de recentes.").arg(second));
    QVERIFY(d.document.openRecent(first));
  }
};

QTEST_GUILESS_MAIN(ProfileDocumentTest)
#include "tst_profile_document.moc"
