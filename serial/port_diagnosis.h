#pragma once

// Why a serial port could not be opened: the facts the system shows.
//
// When an open is refused ("access denied"), the cause is one of two: the
// account may not use the device, or another program holds it. The gatherers
// collect what the system shows this process; engine/port_diagnosis_text turns
// those facts into words for the operator.
//
// On Linux the facts come from the device node, the account database, /proc
// and the lock directories. Elsewhere the gatherers return empty facts.

#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace zelqon {

// Programs that open newly plugged adapters on their own.
inline constexpr QLatin1StringView kModemManagerProgram{"ModemManager"};
inline constexpr QLatin1StringView kBrlttyProgram{"brltty"};

// What the system shows this process about a device's permissions.
struct PermissionFacts {
  QString device;               // "/dev/ttyUSB0"
  QString deviceGroup;          // group owning the node: "dialout" (Debian), "uucp" (Arch); empty if unknown
  QString userName;             // the account running the program
  bool accountInGroup = false;  // the account database lists the user in that group
  bool sessionInGroup = false;  // this process holds the group now
};

// A process with the device open, or named by a live lock file.
struct PortHolder {
  qint64 pid = 0;
  QString program;  // process name as the system shows it, e.g. "minicom"
  friend bool operator==(const PortHolder&, const PortHolder&) = default;
};

// A lock file whose process has ended.
struct StaleLock {
  QString path;       // "/run/lock/LCK..ttyUSB0"
  qint64 pid = 0;     // the process it names; 0 when the file names none
  QString fileOwner;  // account owning the file, e.g. another technician's
};

struct BusyFacts {
  QString device;
  QList<PortHolder> holders;  // by open descriptor or by live lock file, each process once
  std::optional<StaleLock> staleLock;
  QStringList grabbersRunning;  // "ModemManager", "brltty": running, whether or not seen holding the port
  bool othersHidden = false;    // some processes' descriptors could not be read (another user's)
};

// The directories where serial-port lock files are kept, in the order
// QSerialPort looks for them.
[[nodiscard]] QStringList serialLockDirectories();
// The lock file's name for a device, as QSerialPort forms it:
// "/dev/ttyUSB0" -> "LCK..ttyUSB0", "/dev/pts/3" -> "LCK..pts_3".
[[nodiscard]] QString lockFileName(const QString& device);

// The account running this process may not read and write the device.
[[nodiscard]] bool lacksPermission(const QString& device);

[[nodiscard]] PermissionFacts gatherPermissionFacts(const QString& device);
[[nodiscard]] BusyFacts gatherBusyFacts(const QString& device, const QString& procRoot = QStringLiteral("/proc"),
                                        const QStringList& lockDirs = serialLockDirectories());

// Windows tells a port held by another program and a refused access alike,
// and shows nothing of who holds it.
struct WindowsRefusalFacts {
  QString device;  // "COM3"
};

// Why an open was refused ("access denied"), as far as the system shows.
using AccessDeniedFacts = std::variant<PermissionFacts, BusyFacts, WindowsRefusalFacts>;

// Tells a refused permission from a port held by another program, and
// gathers the facts of the one found.
[[nodiscard]] AccessDeniedFacts diagnoseAccessDenied(const QString& device);

}  // namespace zelqon
