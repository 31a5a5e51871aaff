// Why a port could not be opened: the facts found on this machine, and the
// text the operator reads.

#include "engine/port_diagnosis_text.h"
#include "pty_peer.h"
#include "test_support.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <sys/stat.h>

using namespace zelqon;

namespace {

// `sleep`, holding `input` open as its standard input when given one; ended
// with the test.
struct Sleeper : QProcess {
  explicit Sleeper(const QString& input = {}) {
    if (!input.isEmpty())
      setStandardInputFile(input);
    start(QStringLiteral("sleep"), {QStringLiteral("30")});
    waitForStarted();
  }
  ~Sleeper() override {
    kill();
    waitForFinished();
  }
};

void checkPhrases(const QString& text, const QStringList& said, const QString& notSaid) {
  for (const QString& phrase : said)
    QVERIFY2(text.contains(phrase), qPrintable(phrase + QStringLiteral(" missing from:\n") + text));
  QVERIFY2(!text.contains(notSaid), qPrintable(notSaid + QStringLiteral(" found in:\n") + text));
}

}  // namespace

class DiagnosisTest : public QObject {
  Q_OBJECT

 private slots:
  void holdersAreNamedFromProcessesAndLocks() {
    PtyPeer pty;
    const Sleeper holder(pty.slavePath());
    QTemporaryDir noLocks;
    // This process holds the pty's master, another device: not a holder.
    QCOMPARE(gatherBusyFacts(pty.slavePath(), "/proc", {noLocks.path()}).holders,
             (QList<PortHolder>{{holder.processId(), "sleep"}}));
    checkPhrases(describeAccessDenied(diagnoseAccessDenied(pty.slavePath())),
                 {QStringLiteral("sleep (processo %1)").arg(holder.processId())}, "usermod");

    // With no process list, the holder can only come from the live lock
    // file, looked for under the name and in the directories QSerialPort uses.
    QSerialPort port(pty.slavePath());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QTemporaryDir noProcesses;
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QCOMPARE(gatherBusyFacts(pty.slavePath(), noProcesses.path()).holders,
             (QList<PortHolder>{{QCoreApplication::applicationPid(), program}}));
  }

  // A lock file left by an ended process, as Qt and as UUCP tools write it.
  void staleLockFiles() {
    for (const QByteArray& format :
         {QByteArray("%1\ncutecom\nbancada\n"), QByteArray("%1\n").rightJustified(11, ' ')}) {
      const qint64 pid = Sleeper().processId();  // ended by now
      QTemporaryDir unused, locks;
      const QString path = locks.filePath("LCK..ttyUSB7");
      QVERIFY(writeFile(path, QString::fromLatin1(format).arg(pid).toLatin1()));
      const BusyFacts facts = gatherBusyFacts("/dev/ttyUSB7", "/proc", {unused.path(), locks.path()});
      QVERIFY2(facts.staleLock, format.constData());
      // Named with its process and the way to remove it, and left in place.
      checkPhrases(describeBusy(facts), {QStringLiteral("processo %1").arg(pid), "sudo rm " + path},
                   "em uso pelo programa");
      QVERIFY(QFile::exists(path));
    }
  }

  // Programs known to grab a newly plugged adapter, found in the process list.
  void daemonsThatGrabAdapters() {
    const QString stop = QStringLiteral("sudo systemctl stop ModemManager");
    const struct {
      QStringList programs;  // of processes 10, 11, ...
      int holder;            // the one with the port open, or 0
      QStringList said;
      QString notSaid;
    } cases[] = {
        {{"bash", "ModemManager"}, 11, {"ModemManager (processo 11)", stop, "ID_MM_DEVICE_IGNORE"}, "em execução"},
        {{"bash", "ModemManager"},
         0,
         {"ModemManager está em execução e costuma abrir adaptadores recém-conectados", stop},
         "não foi possível identificá-lo"},
        {{"brltty"},
         0,
         {"brltty está em execução", "sudo apt remove brltty", "sudo systemctl mask brltty-udev.service"},
         "ModemManager"},
        {{"bash"}, 0, {"não foi possível identificá-lo"}, "em uso pelo programa"}};
    for (const auto& c : cases) {
      PtyPeer pty;
      QTemporaryDir proc, noLocks;
      for (int pid = 10; pid < 10 + c.programs.size(); ++pid) {
        const QString dir = proc.filePath(QString::number(pid));
        QVERIFY(QDir().mkpath(dir + "/fd"));
        QVERIFY(writeFile(dir + "/comm", c.programs[pid - 10].toUtf8() + '\n'));
        if (pid == c.holder)
          QVERIFY(QFile::link(pty.slavePath(), dir + "/fd/3"));
      }
      checkPhrases(describeBusy(gatherBusyFacts(pty.slavePath(), proc.path(), {noLocks.path()})), c.said, c.notSaid);
    }
  }

  void permissionTexts() {
    const QString dev = QStringLiteral("/dev/ttyUSB0");
    const struct {
      PermissionFacts facts;
      QStringList said;
      QString notSaid;
    } cases[] = {
        {{dev, "dialout", "tecnico", false, false},  // not in the group
         {"grupo dialout", "tecnico não faz parte", "sudo usermod -aG dialout tecnico", "saia e entre de novo"},
         "já"},
        {{dev, "dialout", "tecnico", true, false},  // added, the session older
         {"tecnico já foi incluído no grupo dialout", "novo login", "Saia e entre de novo"},
         "usermod"},
        {{dev, "uucp", "tecnico", false, false}, {"grupo uucp", "sudo usermod -aG uucp tecnico"}, "dialout"}};  // Arch
    for (const auto& c : cases)
      checkPhrases(describePermission(c.facts), c.said, c.notSaid);
    // Windows shows neither groups nor holders: the port by its COM name,
    // both causes, and no advice for Linux.
    const QString windows = describeRefusedOnWindows(QStringLiteral("\\\\.\\COM12"));
    checkPhrases(windows, {"porta COM12:", "outro programa", "não é permitido", "Gerenciador de Dispositivos"}, "\\");
    QVERIFY2(!windows.contains(QRegularExpression(QStringLiteral("sudo|dialout|/dev/|ModemManager|brltty"))),
             qPrintable(windows));
  }

  void permissionFactsComeFromTheDevice() {
    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || dialout == nullptr)
      QSKIP("needs root and the group dialout to give a device node to that group");
    QTemporaryDir dir;
    const QString device = dir.filePath("ttyUSB0");
    QVERIFY(writeFile(device, {}));
    QVERIFY(::chown(QFile::encodeName(device).constData(), 0, dialout->gr_gid) == 0);
    const PermissionFacts facts = gatherPermissionFacts(device);
    QCOMPARE(facts.deviceGroup, QStringLiteral("dialout"));
    QCOMPARE(facts.userName, QStringLiteral("root"));
    QVERIFY(!facts.accountInGroup && !facts.sessionInGroup);
  }
};

QTEST_GUILESS_MAIN(DiagnosisTest)
#include "tst_diagnosis.moc"
