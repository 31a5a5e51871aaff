#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace zelqon {

// One serial device of the machine.
struct PortDevice {
  QString portName;        // "COM3", "ttyUSB0"
  QString systemLocation;  // what the port is opened by: "COM3", "/dev/ttyUSB0"
  QString description;     // e.g. the USB adapter's product name; may be empty
  friend bool operator==(const PortDevice&, const PortDevice&) = default;
};

// The numbering of the machine's serial devices, taken once at start-up.
// On Windows port n is the device COMn. Elsewhere the devices are numbered
// from 1: USB adapters (ttyUSB*, ttyACM*) first, then the others, each group
// in natural order of name, so "ttyUSB2" comes before "ttyUSB10".
class PortCatalog {
 public:
  PortCatalog() = default;
  // Devices keyed by their port number.
  explicit PortCatalog(QMap<int, PortDevice> devices) : m_devices(std::move(devices)) {}

  // The catalog of this machine as QSerialPortInfo reports it.
  [[nodiscard]] static PortCatalog fromSystem();
  // Numbers devices by their COMn name (Windows) or by the POSIX order above.
  [[nodiscard]] static PortCatalog fromDevices(QList<PortDevice> devices, bool comNames);

  [[nodiscard]] std::optional<PortDevice> device(int number) const;
  // "COM3 (/dev/ttyUSB0)", or "COM3" where the name says it all.
  [[nodiscard]] QString displayName(int number) const;
  [[nodiscard]] const QMap<int, PortDevice>& devices() const { return m_devices; }

 private:
  QMap<int, PortDevice> m_devices;
};

// Natural order of device names: digit runs compare as numbers.
[[nodiscard]] bool naturalLess(const QString& a, const QString& b);

// A legacy ttyS port with no UART behind it; sysfs reports its type as 0.
[[nodiscard]] bool isPlaceholderUart(const QString& portName,
                                     const QString& sysfsTtyRoot = QStringLiteral("/sys/class/tty"));

}  // namespace zelqon
