#include "serial/port_catalog.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace zelqon {

namespace {

#ifdef Q_OS_WIN
constexpr auto kSystemNumbering = PortCatalog::Numbering::ByComName;
#else
constexpr auto kSystemNumbering = PortCatalog::Numbering::InPosixOrder;
#endif

bool isUsbAdapter(const QString& portName) {
  return portName.startsWith(QLatin1String("ttyUSB")) || portName.startsWith(QLatin1String("ttyACM"));
}

std::optional<int> comNumber(const QString& portName) {
  static const QRegularExpression pattern(QStringLiteral("^COM([1-9][0-9]*)$"),
                                          QRegularExpression::CaseInsensitiveOption);
  const auto match = pattern.match(portName);
  if (!match.hasMatch())
    return std::nullopt;
  bool ok = false;
  const int number = match.captured(1).toInt(&ok);
  return ok ? std::optional<int>(number) : std::nullopt;
}

// The USB socket an adapter is plugged into, as sysfs names it ("1-2.4"):
// the same socket gives the same identity to an adapter with no serial number.
QString usbSocket(const QString& portName) {
#ifdef Q_OS_LINUX
  const QString device = QFileInfo(QStringLiteral("/sys/class/tty/%1/device").arg(portName)).canonicalFilePath();
  static const QRegularExpression socket(QStringLiteral("/(\\d+-[\\d.]+)(:[\\d.]+)?(/|$)"));
  QString found;
  for (auto it = socket.globalMatch(device); it.hasNext();)
    found = it.next().captured(1);
  return found;
#else
  Q_UNUSED(portName);
  return {};
#endif
}

QString identityOf(const QSerialPortInfo& info) {
  if (!info.hasVendorIdentifier())
    return {};
  const QString ids = QStringLiteral("usb:%1:%2")
                          .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                          .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
  if (!info.serialNumber().isEmpty())
    return ids + QLatin1Char(':') + info.serialNumber();
  const QString socket = usbSocket(info.portName());
  return socket.isEmpty() ? QString() : ids + QLatin1Char('@') + socket;
}

bool sameDevice(const PortDevice& known, const PortDevice& seen) {
  if (!known.identity.isEmpty() || !seen.identity.isEmpty())
    return known.identity == seen.identity;
  return known.systemLocation == seen.systemLocation;
}

}  // namespace

bool naturalLess(const QString& a, const QString& b) {
  qsizetype i = 0;
  qsizetype j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      const qsizetype startA = i;
      const qsizetype startB = j;
      while (i < a.size() && a[i].isDigit())
        ++i;
      while (j < b.size() && b[j].isDigit())
        ++j;
      // Compare the runs as numbers without converting: drop leading zeros,
      // then a longer run is larger, equal lengths compare digit by digit.
      QStringView runA = QStringView(a).mid(startA, i - startA);
      QStringView runB = QStringView(b).mid(startB, j - startB);
      while (runA.size() > 1 && runA.front() == QLatin1Char('0'))
        runA = runA.mid(1);
      while (runB.size() > 1 && runB.front() == QLatin1Char('0'))
        runB = runB.mid(1);
      if (runA.size() != runB.size())
        return runA.size() < runB.size();
      if (const int order = runA.compare(runB); order != 0)
        return order < 0;
      continue;
    }
    if (a[i] != b[j])
      return a[i] < b[j];
    ++i;
    ++j;
  }
  return a.size() - i < b.size() - j;
}

bool isPlaceholderUart(const QString& portName, const QString& sysfsTtyRoot) {
  if (!portName.startsWith(QLatin1String("ttyS")))
    return false;
  QFile type(sysfsTtyRoot + QLatin1Char('/') + portName + QLatin1String("/type"));
  if (!type.open(QIODevice::ReadOnly))
    return false;
  return type.readAll().trimmed() == "0";
}

PortCatalog PortCatalog::fromDevices(QList<PortDevice> devices, Numbering numbering) {
  QMap<int, PortDevice> numbered;
  if (numbering == Numbering::ByComName) {
    for (const PortDevice& device : devices) {
      if (const auto number = comNumber(device.portName))
        numbered.insert(*number, device);
    }
    PortCatalog catalog(std::move(numbered));
    catalog.m_numbering = Numbering::ByComName;
    return catalog;
  }
  std::stable_sort(devices.begin(), devices.end(), [](const PortDevice& a, const PortDevice& b) {
    const bool usbA = isUsbAdapter(a.portName);
    const bool usbB = isUsbAdapter(b.portName);
    if (usbA != usbB)
      return usbA;
    return naturalLess(a.portName, b.portName);
  });
  int number = 0;
  for (const PortDevice& device : std::as_const(devices))
    numbered.insert(++number, device);
  return PortCatalog(std::move(numbered));
}

QList<PortDevice> systemPortDevices() {
  QList<PortDevice> devices;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    if (isPlaceholderUart(info.portName()))
      continue;
    QString description = info.description();
    if (!info.manufacturer().isEmpty() && !description.contains(info.manufacturer()))
      description =
          description.isEmpty() ? info.manufacturer() : description + QLatin1String(", ") + info.manufacturer();
    devices.append({info.portName(), info.systemLocation(), description, identityOf(info)});
  }
  return devices;
}

PortCatalog PortCatalog::fromSystem() { return fromDevices(systemPortDevices(), kSystemNumbering); }

bool PortCatalog::update(const QList<PortDevice>& present) {
  QMap<int, PortDevice> next = m_devices;
  for (PortDevice& known : next)
    known.present = false;
  QList<PortDevice> fresh;
  for (const PortDevice& seen : present) {
    const auto known = std::find_if(next.begin(), next.end(), [&](const PortDevice& d) { return sameDevice(d, seen); });
    if (known != next.end())
      *known = seen;
    else
      fresh.append(seen);
  }
  if (m_numbering == Numbering::ByComName) {
    for (const PortDevice& seen : std::as_const(fresh)) {
      if (const auto number = comNumber(seen.portName))
        next.insert(*number, seen);
    }
  } else {
    int number = 1;
    const PortCatalog ordered = fromDevices(fresh, Numbering::InPosixOrder);
    for (const PortDevice& seen : ordered.devices()) {
      while (next.contains(number))
        ++number;
      next.insert(number, seen);
    }
  }
  if (next == m_devices)
    return false;
  m_devices = std::move(next);
  return true;
}

std::optional<PortDevice> PortCatalog::device(int number) const {
  const auto it = m_devices.constFind(number);
  if (it == m_devices.cend())
    return std::nullopt;
  return *it;
}

QString PortCatalog::displayName(int number) const {
  QString name = QStringLiteral("COM%1").arg(number);
  const auto found = device(number);
  // Windows opens COM3 as \\.\COM3: the name says it all there.
  QString location = found ? found->systemLocation : QString();
  if (location.startsWith(QLatin1String("\\\\.\\")))
    location.remove(0, 4);
  if (location.isEmpty() || location.compare(name, Qt::CaseInsensitive) == 0)
    return name;
  return QStringLiteral("%1 (%2)").arg(name, found->systemLocation);
}

QStringList PortCatalog::listEntries() const {
  QStringList entries;
  for (auto it = m_devices.cbegin(); it != m_devices.cend() && it.key() <= kHighestListedPort; ++it) {
    if (it.key() >= 1)
      entries.append(QString::number(it.key()));
  }
  return entries;
}

QString PortCatalog::describe(int number) const {
  const auto found = device(number);
  if (!found)
    return {};
  QString text = displayName(number);
  if (text.contains(QLatin1Char('(')))
    text = QStringLiteral("COM%1: %2").arg(number).arg(found->systemLocation);
  if (!found->description.isEmpty())
    text += QStringLiteral(" (%1)").arg(found->description);
  if (!found->present)
    text += QStringLiteral(" — ausente");
  return text;
}

}  // namespace zelqon
