#include "serial/port_catalog.h"

#include <QFile>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace zelqon {

namespace {

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

PortCatalog PortCatalog::fromDevices(QList<PortDevice> devices, bool comNames) {
  QMap<int, PortDevice> numbered;
  if (comNames) {
    for (const PortDevice& device : devices) {
      if (const auto number = comNumber(device.portName))
        numbered.insert(*number, device);
    }
    return PortCatalog(std::move(numbered));
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

PortCatalog PortCatalog::fromSystem() {
  QList<PortDevice> devices;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    if (isPlaceholderUart(info.portName()))
      continue;
    QString description = info.description();
    if (!info.manufacturer().isEmpty() && !description.contains(info.manufacturer()))
      description =
          description.isEmpty() ? info.manufacturer() : description + QLatin1String(", ") + info.manufacturer();
    devices.append({info.portName(), info.systemLocation(), description});
  }
#ifdef Q_OS_WIN
  return fromDevices(std::move(devices), true);
#else
  return fromDevices(std::move(devices), false);
#endif
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
  if (!found || found->systemLocation.compare(name, Qt::CaseInsensitive) == 0)
    return name;
  return QStringLiteral("%1 (%2)").arg(name, found->systemLocation);
}

}  // namespace zelqon
