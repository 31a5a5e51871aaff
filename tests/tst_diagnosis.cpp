// Why a port could not be opened: the facts found on this machine, and the
// text the operator reads.

#include "pty_peer.h"
#include "serial/port_diagnosis.h"

#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <functional>

using namespace zelqon;

Q_DECLARE_METATYPE(zelqon::PermissionFacts)

namespace {

// A child process that runs `setUp` and writes the line it returns; it then
// waits to be killed, or ends at once when `stay` is false.
class Child {
 public:
  explicit Child(const std::function<QByteArray()>& setUp, bool stay = true) {
    int ends[2];
    if (::pipe(ends) != 0 || (m_pid = ::fork()) < 0)
      throw std::runtime_error("cannot start a child process");
    if (m_pid == 0) {
      const QByteArray line = setUp() + '\n';
      [[maybe_unused]] const auto written = ::write(ends[1], line.constData(), size_t(line.size()));
      while (stay)
        ::pause();
      ::_exit(0);
    }
    ::close(ends[1]);
    QFile reader;
    reader.open(ends[0], QIODevice::ReadOnly, QFile::AutoCloseHandle);
    m_said = reader.readLine().chopped(1);
    if (!stay)
      ::waitpid(m_pid, nullptr, 0);
    m_running = stay;
  }
  ~Child() {
    if (m_running && ::kill(m_pid, SIGKILL) == 0)
      ::waitpid(m_pid, nullptr, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  [[nodiscard]] qint64 pid() const { return m_pid; }
  [[nodiscard]] const QByteArray& said() const { return m_said; }

 private:
  pid_t m_pid = -1;
  bool m_running = false;
  QByteArray m_said;
};

void writeFile(const QString& path, const QByteArray& contents) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(contents);
}

// What `report` returns when run under `account`'s ids, or "!" if they
// cannot be taken.
QByteArray reportAs(const passwd& account, const std::function<QByteArray()>& report) {
  const auto dropIdsThenReport = [&] {
    const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(account.pw_gid) == 0 && ::setuid(account.pw_uid) == 0;
    return dropped ? report().replace('\n', ' ') : QByteArray("!");
  };
  return Child(dropIdsThenReport, false).said();
}

void checkPhrases(const QString& text, const QStringList& said, const QString& notSaid) {
  for (const QString& phrase : said)
    QVERIFY2(text.contains(phrase), qPrintable(phrase + QStringLiteral(" missing from:\n") + text));
  QVERIFY2(!text.contains(notSaid), qPrintable(notSaid + QStringLiteral(" found in:\n") + text));
}

}  // namespace

class DiagnosisTest : public QObject {
  Q_OBJECT

 private slots:
  void processHoldingThePortIsNamed() {
    PtyPeer pty;
    const QByteArray slave = QFile::encodeName(pty.slavePath());
    const Child holder([&] {
      ::prctl(PR_SET_NAME, "minicom");
      return QByteArray::number(::open(slave.constData(), O_RDWR | O_NOCTTY));
    });
    QTemporaryDir noLocks;
    // This process holds the pty's master, another device: not a holder.
    const BusyFacts facts = gatherBusyFacts(pty.slavePath(), "/proc", {noLocks.path()});
    QCOMPARE(facts.holders, (QList<PortHolder>{{holder.pid(), "minicom"}}));
    checkPhrases(diagnoseAccessDenied(pty.slavePath()), {QStringLiteral("minicom (processo %1)").arg(holder.pid())},
                 "usermod");
  }

  void staleLockFiles_data() {
    QTest::addColumn<QByteArray>("format");  // %1 stands for the pid
    QTest::newRow("Qt") << QByteArray("%1\ncutecom\nbancada\n");
    QTest::newRow("UUCP") << QByteArray("%1\n").rightJustified(11, ' ');
  }

  void staleLockFiles() {
    QFETCH(QByteArray, format);
    const qint64 pid = Child([] { return QByteArray(); }, false).pid();
    QTemporaryDir unused, locks;
    const QString path = locks.filePath("LCK..ttyUSB7");
    writeFile(path, QString::fromLatin1(format).arg(pid).toLatin1());

    const BusyFacts facts = gatherBusyFacts("/dev/ttyUSB7", "/proc", {unused.path(), locks.path()});
    QVERIFY(facts.staleLock);
    QCOMPARE(facts.staleLock->path, path);
    QCOMPARE(facts.staleLock->pid, pid);
    checkPhrases(describeBusy(facts), {QStringLiteral("processo %1").arg(pid), "sudo rm " + path},
                 "em uso pelo programa");
    QVERIFY(QFile::exists(path));
  }

  void lockTakenByQSerialPortIsFound() {
    PtyPeer pty;
    QSerialPort port(pty.slavePath());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    // With no process list, the holder can only come from the live lock
    // file, looked for under the name and in the directories QSerialPort uses.
    QTemporaryDir noProcesses;
    const BusyFacts facts = gatherBusyFacts(pty.slavePath(), noProcesses.path());
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QCOMPARE(facts.holders, (QList<PortHolder>{{QCoreApplication::applicationPid(), program}}));
  }

  void daemonsThatGrabAdapters_data() {
    QTest::addColumn<QStringList>("programs");  // of processes 10, 11, ...
    QTest::addColumn<int>("holder");            // the one with the port open, or 0
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QString>("notSaid");
    const QString stop = QStringLiteral("sudo systemctl stop ModemManager");
    QTest::newRow("ModemManager holds the port")
        << QStringList{"bash", "ModemManager"} << 11
        << QStringList{"ModemManager (processo 11)", stop, "ID_MM_DEVICE_IGNORE"} << "em execução";
    QTest::newRow("ModemManager running, holding unseen")
        << QStringList{"bash", "ModemManager"} << 0
        << QStringList{"ModemManager está em execução e costuma abrir adaptadores recém-conectados", stop}
        << "não foi possível identificá-lo";
    QTest::newRow("brltty running") << QStringList{"brltty"} << 0
                                    << QStringList{"brltty está em execução", "sudo apt remove brltty",
                                                   "sudo systemctl mask brltty-udev.service"}
                                    << "ModemManager";
    QTest::newRow("nothing found") << QStringList{"bash"} << 0 << QStringList{"não foi possível identificá-lo"}
                                   << "em uso pelo programa";
  }

  void daemonsThatGrabAdapters() {
    QFETCH(QStringList, programs);
    QFETCH(int, holder);
    QFETCH(QStringList, said);
    QFETCH(QString, notSaid);
    PtyPeer pty;
    QTemporaryDir proc;
    for (int pid = 10; pid < 10 + programs.size(); ++pid) {
      const QString dir = proc.filePath(QString::number(pid));
      QVERIFY(QDir().mkpath(dir + "/fd"));
      writeFile(dir + "/comm", programs[pid - 10].toUtf8() + '\n');
      if (pid == holder)
        QVERIFY(QFile::link(pty.slavePath(), dir + "/fd/3"));
    }
    QTemporaryDir noLocks;
    checkPhrases(describeBusy(gatherBusyFacts(pty.slavePath(), proc.path(), {noLocks.path()})), said, notSaid);
  }

  void permissionTexts_data() {
    QTest::addColumn<PermissionFacts>("facts");
    QTest::addColumn<QStringList>("said");
    QTest::addColumn<QString>("notSaid");
    const QString dev = QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("not in the group") << PermissionFacts{dev, "dialout", "tecnico", false, false}
                                      << QStringList{"grupo dialout", "tecnico não faz parte",
                                                     "sudo usermod -aG dialout tecnico", "saia e entre de novo"}
                                      << "já";
    QTest::newRow("added, session older")
        << PermissionFacts{dev, "dialout", "tecnico", true, false}
        << QStringList{"tecnico já foi incluído no grupo dialout", "novo login", "Saia e entre de novo"} << "usermod";
    QTest::newRow("group of Arch") << PermissionFacts{dev, "uucp", "tecnico", false, false}
                                   << QStringList{"grupo uucp", "sudo usermod -aG uucp tecnico"} << "dialout";
    QTest::newRow("group held, still refused")
        << PermissionFacts{dev, "dialout", "tecnico", true, true} << QStringList{"ls -l /dev/ttyUSB0"} << "usermod";
  }

  void permissionTexts() {
    QFETCH(PermissionFacts, facts);
    QFETCH(QStringList, said);
    QFETCH(QString, notSaid);
    checkPhrases(describePermission(facts), said, notSaid);
  }

  void permissionSeenAsAnotherAccount() {
    const passwd* nobody = ::getpwnam("nobody");
    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || nobody == nullptr || dialout == nullptr)
      QSKIP("needs root, the account nobody and the group dialout to look at a device as another account");
    QTemporaryDir dir;
    const QString device = dir.filePath("ttyUSB0");
    writeFile(device, {});
    const QByteArray path = QFile::encodeName(device);
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    QVERIFY(::chown(path.constData(), 0, dialout->gr_gid) == 0);
    QVERIFY(::chmod(path.constData(), 0660) == 0);
    // Nobody is not in dialout.
    const QByteArray refused = reportAs(*nobody, [&] {
      return QByteArray::number(lacksPermission(device)) + ' ' + diagnoseAccessDenied(device).toUtf8();
    });
    if (refused == "!")
      QSKIP("this machine does not let root take another account's ids");
    QVERIFY2(refused.startsWith("1 "), refused.constData());
    checkPhrases(QString::fromUtf8(refused), {"grupo dialout", "sudo usermod -aG dialout nobody"}, "já");
  }
};

QTEST_GUILESS_MAIN(DiagnosisTest)
#include "tst_diagnosis.moc"
