#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace zelqon {

// One serial device of the machine.
struct PortDevice {
  QString portName;        // "COM3", "ttyUSB0"
  QString systemLocation;  // what the port is opened by: "COM3", "/dev/ttyUSB0"
  QString description;     // e.g. the USB adapter's product name; may be empty
  // What recognises the same adapter when it comes back, perhaps under
  // another node: vendor, product and serial number, or the USB socket it is
  // plugged into. Empty: the node's path is all there is.
  QString identity = {};
  bool present = true;  // false once the device has gone away
  friend bool operator==(const PortDevice&, const PortDevice&) = default;
};

// The machine's serial devices now, as QSerialPortInfo reports them, less
// legacy ttyS ports with no UART behind them.
[[nodiscard]] QList<PortDevice> systemPortDevices();

// The numbering of the machine's serial devices. On Windows port n is the
// device COMn. Elsewhere the devices present at start-up are numbered from 1:
// USB adapters (ttyUSB*, ttyACM*) first, then the others, each group in
// natural order of name, so "ttyUSB2" comes before "ttyUSB10"; a device that
// appears later takes the lowest free number. A number once given stays with
// its device for the whole run, also while it is absent, so an adapter pulled
// and plugged back gets its old number again.
class PortCatalog {
 public:
  PortCatalog() = default;
  // Devices keyed by their port number.
  explicit PortCatalog(QMap<int, PortDevice> devices) : m_devices(std::move(devices)) {}

  // The catalog of this machine as QSerialPortInfo reports it.
  [[nodiscard]] static PortCatalog fromSystem();
  // How numbers are given: by the device's own COMn name (Windows), or in the
  // POSIX order above.
  enum class Numbering { ByComName, InPosixOrder };
  [[nodiscard]] static PortCatalog fromDevices(QList<PortDevice> devices, Numbering numbering);

  // Takes the devices present now: known ones keep their numbers, new ones
  // are numbered, missing ones are marked absent. True when anything changed.
  bool update(const QList<PortDevice>& present);

  [[nodiscard]] std::optional<PortDevice> device(int number) const;
  // "COM3 (/dev/ttyUSB0)", or "COM3" where the name says it all.
  [[nodiscard]] QString displayName(int number) const;
  // The port list's tooltip: "COM3: /dev/ttyUSB0 (FT232R USB UART)", with
  // "ausente" for a device that has gone away.
  [[nodiscard]] QString describe(int number) const;
  [[nodiscard]] const QMap<int, PortDevice>& devices() const { return m_devices; }
  // The port list's entries: the numbers among 1..16 that stand for a device,
  // ascending, as bare decimal text.
  [[nodiscard]] QStringList listEntries() const;

  static constexpr int kHighestListedPort = 16;

 private:
  QMap<int, PortDevice> m_devices;
  Numbering m_numbering = Numbering::InPosixOrder;
};

// Natural order of device names: digit runs compare as numbers.
[[nodiscard]] bool naturalLess(const QString& a, const QString& b);

// A legacy ttyS port with no UART behind it; sysfs reports its type as 0.
[[nodiscard]] bool isPlaceholderUart(const QString& portName,
                                     const QString& sysfsTtyRoot = QStringLiteral("/sys/class/tty"));

}  // namespace zelqon
