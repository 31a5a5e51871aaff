// Numbering of the machine's serial devices, while the program runs too, and
// the port list built from it; a device taken by its path needs none.

#include "serial/port_catalog.h"
#include "serial/serial_port_service.h"
#include "test_support.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace zelqon;

namespace {

QList<PortDevice> devicesNamed(const QStringList& names, const QString& folder = QStringLiteral("/dev/")) {
  QList<PortDevice> devices;
  for (const QString& name : names)
    devices.append({name, folder + name, {}});
  return devices;
}

}  // namespace

class DiscoveryTest : public QObject {
  Q_OBJECT

 private slots:
  // On Linux USB adapters come first, in natural order; on Windows the list
  // holds the COM names up to COM16, named as the operator knows them.
  void numbersAndNamesOfDevices() {
    const auto posix = PortCatalog::fromDevices(
        devicesNamed({"ttyS1", "ttyUSB10", "ttyACM0", "ttyS0", "ttyUSB2", "rfcomm0", "ttyUSB0"}),
        PortCatalog::Numbering::InPosixOrder);
    QStringList names;
    for (int number = 0; number <= 8; ++number)
      names.append(posix.device(number) ? posix.device(number)->portName : QStringLiteral("-"));
    QCOMPARE(names, (QStringList{"-", "ttyACM0", "ttyUSB0", "ttyUSB2", "ttyUSB10", "rfcomm0", "ttyS0", "ttyS1", "-"}));
    QCOMPARE(posix.displayName(3), QStringLiteral("COM3 (/dev/ttyUSB2)"));

    const auto windows = PortCatalog::fromDevices(devicesNamed({"COM16", "COM12", "COM3", "COM17"}, {})
                                                      << PortDevice{"COM5", "\\\\.\\COM5", "USB Serial Port"},
                                                  PortCatalog::Numbering::ByComName);
    QCOMPARE(windows.listEntries(), (QStringList{"3", "5", "12", "16"}));
    QCOMPARE(windows.displayName(5), QStringLiteral("COM5"));
    QCOMPARE(windows.describe(5), QStringLiteral("COM5 (USB Serial Port)"));
  }

  void placeholderUartsAreLeftOut() {
    QTemporaryDir sysfs;
    for (const auto& [port, type] : {std::pair{"ttyS0", "4\n"}, std::pair{"ttyS1", "0\n"}}) {
      QVERIFY(QDir(sysfs.path()).mkpath(port) && writeFile(sysfs.filePath(QStringLiteral("%1/type").arg(port)), type));
    }
    QVERIFY(!isPlaceholderUart("ttyS0", sysfs.path()));
    QVERIFY(isPlaceholderUart("ttyS1", sysfs.path()));
    QVERIFY(!isPlaceholderUart("ttyS7", sysfs.path()));  // no type to read: keep it
  }

  void numbersFollowTheAdapterWhileTheProgramRuns() {
    const PortDevice ftdi{"ttyUSB0", "/dev/ttyUSB0", "FT232R", "usb:0403:6001:A1"};
    const PortDevice uart{"ttyS0", "/dev/ttyS0", {}};
    PortCatalog catalog = PortCatalog::fromDevices({uart, ftdi}, PortCatalog::Numbering::InPosixOrder);

    // Plugged in later: the lowest free number; the others keep theirs.
    const PortDevice ch340{"ttyUSB1", "/dev/ttyUSB1", "CH340", "usb:1a86:7523@1-2"};
    QVERIFY(catalog.update({uart, ftdi, ch340}));
    QCOMPARE(catalog.device(3)->identity, ch340.identity);
    QCOMPARE(catalog.device(2)->portName, QStringLiteral("ttyS0"));
    QVERIFY(!catalog.update({uart, ftdi, ch340}));  // nothing new

    // Pulled: the entry stays, marked absent.
    QVERIFY(catalog.update({uart, ch340}));
    QVERIFY(catalog.describe(1).endsWith(QStringLiteral("ausente")));
    QCOMPARE(catalog.listEntries(), (QStringList{"1", "2", "3"}));

    // Back under another node: recognised, same number, new node.
    QVERIFY(catalog.update({uart, ch340, {"ttyUSB2", "/dev/ttyUSB2", "FT232R", ftdi.identity}}));
    QCOMPARE(catalog.devices().size(), 3);
    QCOMPARE(catalog.describe(1), QStringLiteral("COM1: /dev/ttyUSB2 (FT232R)"));
  }

  // A device taken by its path needs no number; a number chosen afterwards
  // leaves the path behind.
  void aDeviceByItsPathNeedsNoNumber() {
    SerialPortService port(
        PortCatalog::fromDevices(devicesNamed({"ttyUSB0", "ttyUSB1"}), PortCatalog::Numbering::InPosixOrder));
    port.selectDevice(QStringLiteral("/dev/pts/7"));
    QCOMPARE(port.displayName(), QStringLiteral("/dev/pts/7"));
    port.selectPortNumber(2);
    QCOMPARE(port.displayName(), QStringLiteral("COM2 (/dev/ttyUSB1)"));
  }
};

QTEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
