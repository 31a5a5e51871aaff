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
    if ((program == kModemManagerProgram || program == kBrlttyProgram) && !facts.grabbersRunning.contains(program))
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

AccessDeniedFacts diagnoseAccessDenied(const QString& device) {
#ifdef Q_OS_WIN
  return WindowsRefusalFacts{device};
#else
  if (lacksPermission(device))
    return gatherPermissionFacts(device);
  return gatherBusyFacts(device);
#endif
}

}  // namespace zelqon
