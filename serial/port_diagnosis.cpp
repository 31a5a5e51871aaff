#include "serial/port_diagnosis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

#ifdef Q_OS_LINUX
#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <string_view>
#include <vector>
#endif

namespace zelqon {

namespace {

const QString kModemManager = QStringLiteral("ModemManager");
const QString kBrltty = QStringLiteral("brltty");

#ifdef Q_OS_LINUX

// Buffer size for the reentrant account-database calls.
std::vector<char> accountBuffer() {
  const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  return std::vector<char>(size > 0 ? size_t(size) : 16384);
}

QString groupName(gid_t gid) {
  auto buffer = accountBuffer();
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
    return {};
  return QString::fromLocal8Bit(found->gr_name);
}

// The groups the account database gives the user, the primary one included.
std::vector<gid_t> accountGroups(const char* user, gid_t primary) {
  std::vector<gid_t> groups(32);
  int count = int(groups.size());
  while (::getgrouplist(user, primary, groups.data(), &count) == -1) {
    if (count <= int(groups.size()))  // no growth asked for: give up rather than loop
      return {primary};
    groups.resize(size_t(count));
  }
  groups.resize(size_t(count));
  return groups;
}

bool sessionHoldsGroup(gid_t gid) {
  if (::getegid() == gid)
    return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0)
    return false;
  std::vector<gid_t> groups(static_cast<size_t>(count));
  const int got = ::getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

bool isAlive(qint64 pid) { return ::kill(pid_t(pid), 0) == 0 || errno == EPERM; }

QString processName(const QString& procRoot, qint64 pid) {
  QFile comm(QStringLiteral("%1/%2/comm").arg(procRoot).arg(pid));
  if (!comm.open(QIODevice::ReadOnly))
    return {};
  return QString::fromLocal8Bit(comm.readAll().trimmed());
}

void addHolder(QList<PortHolder>& holders, PortHolder holder) {
  for (const PortHolder& known : holders) {
    if (known.pid == holder.pid)
      return;
  }
  holders.append(std::move(holder));
}

// Whether process `pid` has a descriptor open on the character device
// `rdev`. Only links into /dev are followed, so that a descriptor on a hung
// network file cannot stall the scan. Sets `hidden` when the process's
// descriptors may not be read (it belongs to another user).
bool holdsDevice(const QString& procRoot, const QString& pid, dev_t rdev, bool& hidden) {
  const QByteArray fdDir = QFile::encodeName(QStringLiteral("%1/%2/fd").arg(procRoot, pid));
  DIR* dir = ::opendir(fdDir.constData());
  if (dir == nullptr) {
    if (errno == EACCES || errno == EPERM)
      hidden = true;
    return false;
  }
  bool found = false;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.')
      continue;
    const QByteArray link = fdDir + '/' + entry->d_name;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
    if (length <= 0 || std::string_view(target, size_t(length)).substr(0, 5) != "/dev/")
      continue;
    struct stat opened {};
    if (::stat(link.constData(), &opened) == 0 && S_ISCHR(opened.st_mode) && opened.st_rdev == rdev) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

struct LockContents {
  qint64 pid = 0;
  QString program;  // second line of a Qt lock file; absent in UUCP ones
};

// Qt lock files hold the pid, the program's name and the host on separate
// lines; UUCP ones hold the pid alone, right-aligned in ten characters.
std::optional<LockContents> readLockFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  const QList<QByteArray> lines = file.read(4096).split('\n');
  LockContents contents;
  bool ok = false;
  const qint64 pid = lines.value(0).trimmed().toLongLong(&ok);
  if (ok && pid > 0 && pid <= INT_MAX)
    contents.pid = pid;
  contents.program = QString::fromUtf8(lines.value(1).trimmed());
  return contents;
}

#endif  // Q_OS_LINUX

QString modemManagerRemedy() {
  return QStringLiteral(
      "Para liberar a porta: sudo systemctl stop ModemManager\n"
      "Para que ele ignore o adaptador de vez, crie uma regra do udev com ENV{ID_MM_DEVICE_IGNORE}=\"1\" "
      "para o adaptador.");
}

QString brlttyRemedy() {
  return QStringLiteral(
      "O brltty (leitor de tela em braille) toma adaptadores CH340 e CP210x. Se não usa linha braille, "
      "remova-o com: sudo apt remove brltty\n"
      "ou desative a captura com: sudo systemctl mask brltty-udev.service");
}

}  // namespace

QStringList serialLockDirectories() {
  return {QStringLiteral("/var/lock"),         QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
          QStringLiteral("/var/spool/uucp"),   QStringLiteral("/tmp"),       QStringLiteral("/var/tmp"),
          QStringLiteral("/var/lock/lockdev"), QStringLiteral("/run/lock")};
}

QString lockFileName(const QString& device) {
  QString name = device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : device;
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  return QStringLiteral("LCK..") + name;
}

bool lacksPermission(const QString& device) {
#ifdef Q_OS_UNIX
  // The effective ids, as open() uses them.
  return ::faccessat(AT_FDCWD, QFile::encodeName(device).constData(), R_OK | W_OK, AT_EACCESS) != 0 && errno == EACCES;
#else
  Q_UNUSED(device);
  return false;
#endif
}

PermissionFacts gatherPermissionFacts(const QString& device) {
  PermissionFacts facts;
  facts.device = device;
#ifdef Q_OS_LINUX
  struct stat node {};
  const bool haveNode = ::stat(QFile::encodeName(device).constData(), &node) == 0;
  if (haveNode)
    facts.deviceGroup = groupName(node.st_gid);

  auto buffer = accountBuffer();
  passwd entry{};
  passwd* user = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &user) == 0 && user != nullptr) {
    facts.userName = QString::fromLocal8Bit(user->pw_name);
    if (haveNode) {
      const auto groups = accountGroups(user->pw_name, user->pw_gid);
      facts.accountInGroup = std::find(groups.begin(), groups.end(), node.st_gid) != groups.end();
    }
  }
  facts.sessionInGroup = haveNode && sessionHoldsGroup(node.st_gid);
#endif
  return facts;
}

BusyFacts gatherBusyFacts(const QString& device, const QString& procRoot, const QStringList& lockDirs) {
  BusyFacts facts;
  facts.device = device;
#ifdef Q_OS_LINUX
  struct stat node {};
  const bool haveNode = ::stat(QFile::encodeName(device).constData(), &node) == 0 && S_ISCHR(node.st_mode);

  const QStringList pids = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& pidName : pids) {
    bool isPid = false;
    const qint64 pid = pidName.toLongLong(&isPid);
    if (!isPid)
      continue;
    const QString program = processName(procRoot, pid);
    if ((program == kModemManager || program == kBrltty) && !facts.grabbersRunning.contains(program))
      facts.grabbersRunning.append(program);
    if (haveNode && holdsDevice(procRoot, pidName, node.st_rdev, facts.othersHidden))
      addHolder(facts.holders, {pid, program});
  }

  const QString name = lockFileName(device);
  for (const QString& dir : lockDirs) {
    const QString path = dir + QLatin1Char('/') + name;
    const auto lock = readLockFile(path);
    if (!lock)
      continue;
    if (lock->pid > 0 && isAlive(lock->pid)) {
      const QString program = processName(procRoot, lock->pid);
      addHolder(facts.holders, {lock->pid, program.isEmpty() ? lock->program : program});
    } else if (!facts.staleLock) {
      facts.staleLock = StaleLock{path, lock->pid, QFileInfo(path).owner()};
    }
  }
#else
  Q_UNUSED(procRoot);
  Q_UNUSED(lockDirs);
#endif
  return facts;
}

QString describePermission(const PermissionFacts& facts) {
  const QString user = facts.userName.isEmpty() ? QStringLiteral("$USER") : facts.userName;
  const QString& group = facts.deviceGroup;
  QStringList lines;
  if (group.isEmpty() || group == QLatin1String("root")) {
    lines << QStringLiteral("Acesso negado a %1: o usuário %2 não tem permissão para usar este dispositivo.")
                 .arg(facts.device, user)
          << (group.isEmpty() ? QStringLiteral("Não foi possível ver a que grupo o dispositivo pertence.")
                              : QStringLiteral("O dispositivo pertence ao grupo root, do administrador."))
          << QStringLiteral(
                 "Peça ao administrador que libere o acesso, por exemplo com uma regra do udev que ponha o "
                 "dispositivo no grupo dialout.");
    return lines.join(QLatin1Char('\n'));
  }

  lines << QStringLiteral("Acesso negado a %1: o dispositivo pertence ao grupo %2.").arg(facts.device, group);
  if (facts.sessionInGroup) {
    lines << QStringLiteral("O usuário %1 já está no grupo %2 nesta sessão, e mesmo assim o acesso foi negado.")
                 .arg(user, group)
          << QStringLiteral("Confira as permissões do dispositivo com: ls -l %1").arg(facts.device);
  } else if (facts.accountInGroup) {
    lines << QStringLiteral(
                 "O usuário %1 já foi incluído no grupo %2, mas esta sessão começou antes disso: "
                 "o grupo novo só vale depois de um novo login.")
                 .arg(user, group)
          << QStringLiteral("Saia e entre de novo na sessão (se não bastar, reinicie o computador).");
  } else {
    lines << QStringLiteral("O usuário %1 não faz parte do grupo %2. Para incluí-lo, execute:").arg(user, group)
          << QStringLiteral("sudo usermod -aG %1 %2").arg(group, user)
          << QStringLiteral("depois saia e entre de novo na sessão.");
  }
  return lines.join(QLatin1Char('\n'));
}

QString describeBusy(const BusyFacts& facts) {
  QStringList lines;
  bool heldByModemManager = false;
  bool heldByBrltty = false;
  int others = 0;
  for (const PortHolder& holder : facts.holders) {
    const QString program = holder.program.isEmpty() ? QStringLiteral("desconhecido") : holder.program;
    lines << QStringLiteral("A porta %1 está em uso pelo programa %2 (processo %3).")
                 .arg(facts.device, program)
                 .arg(holder.pid);
    heldByModemManager |= holder.program == kModemManager;
    heldByBrltty |= holder.program == kBrltty;
    if (holder.program != kModemManager && holder.program != kBrltty)
      ++others;
  }
  if (heldByModemManager)
    lines << QStringLiteral("O ModemManager abre adaptadores recém-conectados para ver se são modems.")
          << modemManagerRemedy();
  if (heldByBrltty)
    lines << brlttyRemedy();
  if (others == 1)
    lines << QStringLiteral("Feche esse programa e tente de novo.");
  else if (others > 1)
    lines << QStringLiteral("Feche esses programas e tente de novo.");

  if (const auto& lock = facts.staleLock) {
    QString origin = lock->pid > 0 ? QStringLiteral("pelo processo %1, que já terminou").arg(lock->pid)
                                   : QStringLiteral("por um programa que já terminou");
    if (!lock->fileOwner.isEmpty())
      origin += QStringLiteral(" (arquivo do usuário %1)").arg(lock->fileOwner);
    lines
        << QStringLiteral("O arquivo de trava %1 foi deixado %2, e impede a abertura da porta.").arg(lock->path, origin)
        << QStringLiteral("Confirme que nenhum programa está usando a porta e apague o arquivo com:")
        << QStringLiteral("sudo rm %1").arg(lock->path);
  }

  if (facts.holders.isEmpty() && !facts.staleLock) {
    if (facts.grabbersRunning.contains(kModemManager))
      lines << QStringLiteral(
                   "O ModemManager está em execução e costuma abrir adaptadores recém-conectados: aguarde alguns "
                   "segundos e tente de novo.")
            << modemManagerRemedy();
    if (facts.grabbersRunning.contains(kBrltty))
      lines << QStringLiteral("O brltty está em execução.") << brlttyRemedy();
    if (facts.grabbersRunning.isEmpty())
      lines << QStringLiteral("Outro programa pode estar usando a porta %1; não foi possível identificá-lo.")
                   .arg(facts.device)
            << QStringLiteral("Feche programas que usem portas seriais e tente de novo.");
    if (facts.othersHidden)
      lines << QStringLiteral("Para ver quem está usando a porta, execute: sudo fuser -v %1").arg(facts.device);
  }
  return lines.join(QLatin1Char('\n'));
}

QString diagnoseAccessDenied(const QString& device) {
  if (lacksPermission(device))
    return describePermission(gatherPermissionFacts(device));
  return describeBusy(gatherBusyFacts(device));
}

}  // namespace zelqon
