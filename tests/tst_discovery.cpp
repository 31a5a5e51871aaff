// Numbering of the machine's serial devices and the port list built from it.

#include "serial/detecta_com.h"
#include "serial/port_catalog.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace zelqon;

namespace {

QList<PortDevice> devicesNamed(const QStringList& names) {
  QList<PortDevice> devices;
  for (const QString& name : names)
    devices.append({name, QStringLiteral("/dev/") + name, {}});
  return devices;
}

QStringList namesInNumberOrder(const PortCatalog& catalog) {
  QStringList names;
  int expectedNumber = 1;
  for (auto it = catalog.devices().cbegin(); it != catalog.devices().cend(); ++it) {
    if (it.key() != expectedNumber++)
      return {QStringLiteral("gap before %1").arg(it.key())};
    names.append(it->portName);
  }
  return names;
}

PortCatalog windowsCatalog(const QList<int>& present) {
  QList<PortDevice> devices;
  for (int n : present)
    devices.append({QStringLiteral("COM%1").arg(n), QStringLiteral("COM%1").arg(n), {}});
  return PortCatalog::fromDevices(devices, true);
}

}  // namespace

class DiscoveryTest : public QObject {
  Q_OBJECT

 private slots:
  void posixNumbersUsbAdaptersFirstInNaturalOrder();
  void naturalOrderComparesDigitRunsAsNumbers();
  void windowsNumbersFollowComNames();
  void portListHoldsExistingPortsUpTo16_data();
  void portListHoldsExistingPortsUpTo16();
  void placeholderUartsAreLeftOut();
  void displayNameShowsTheDevice();
  void numbersFollowTheAdapterWhileTheProgramRuns();
};

void DiscoveryTest::posixNumbersUsbAdaptersFirstInNaturalOrder() {
  const auto catalog = PortCatalog::fromDevices(
      devicesNamed({"ttyS1", "ttyUSB10", "ttyACM0", "ttyS0", "ttyUSB2", "rfcomm0", "ttyUSB0"}), false);
  QCOMPARE(namesInNumberOrder(catalog),
           (QStringList{"ttyACM0", "ttyUSB0", "ttyUSB2", "ttyUSB10", "rfcomm0", "ttyS0", "ttyS1"}));
  QCOMPARE(catalog.device(3)->systemLocation, QStringLiteral("/dev/ttyUSB2"));
  QVERIFY(!catalog.device(0));
  QVERIFY(!catalog.device(8));
}

void DiscoveryTest::naturalOrderComparesDigitRunsAsNumbers() {
  QVERIFY(naturalLess("ttyUSB2", "ttyUSB10"));
  QVERIFY(!naturalLess("ttyUSB10", "ttyUSB2"));
  QVERIFY(naturalLess("ttyUSB02", "ttyUSB3"));
  QVERIFY(naturalLess("tty1", "tty1a"));
  QVERIFY(!naturalLess("ttyUSB1", "ttyUSB1"));
  QVERIFY(naturalLess("ttyUSB99999999999999999998", "ttyUSB99999999999999999999"));
}

void DiscoveryTest::windowsNumbersFollowComNames() {
  const auto catalog = windowsCatalog({3, 12});
  QVERIFY(!catalog.device(1));
  QCOMPARE(catalog.device(12)->portName, QStringLiteral("COM12"));
  QCOMPARE(DetectaCOM::probeCommPort(catalog, 3), 1);
  QCOMPARE(DetectaCOM::probeCommPort(catalog, 4), 0);
}

void DiscoveryTest::portListHoldsExistingPortsUpTo16_data() {
  QTest::addColumn<QList<int>>("present");
  QTest::addColumn<QStringList>("listed");
  QTest::newRow("COM1 and COM3") << QList<int>{3, 1} << QStringList{"1", "3"};
  QTest::newRow("only COM12") << QList<int>{12} << QStringList{"12"};
  QList<int> twenty;
  QStringList sixteen;
  for (int n = 1; n <= 20; ++n)
    twenty.append(n);
  for (int n = 1; n <= 16; ++n)
    sixteen.append(QString::number(n));
  QTest::newRow("COM1 to COM20") << twenty << sixteen;
  QTest::newRow("only COM17") << QList<int>{17} << QStringList{};
  QTest::newRow("none") << QList<int>{} << QStringList{};
}

void DiscoveryTest::portListHoldsExistingPortsUpTo16() {
  QFETCH(QList<int>, present);
  QFETCH(QStringList, listed);
  QCOMPARE(DetectaCOM::listedPorts(windowsCatalog(present)), listed);
}

void DiscoveryTest::placeholderUartsAreLeftOut() {
  QTemporaryDir sysfs;
  const auto writeType = [&](const QString& port, const QByteArray& type) {
    QDir(sysfs.path()).mkpath(port);
    QFile file(sysfs.filePath(port + "/type"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(type);
  };
  writeType("ttyS0", "4\n");
  writeType("ttyS1", "0\n");
  QVERIFY(!isPlaceholderUart("ttyS0", sysfs.path()));
  QVERIFY(isPlaceholderUart("ttyS1", sysfs.path()));
  QVERIFY(!isPlaceholderUart("ttyS7", sysfs.path()));  // no type to read: keep it
  QVERIFY(!isPlaceholderUart("ttyUSB0", sysfs.path()));
}

void DiscoveryTest::displayNameShowsTheDevice() {
  const auto posix = PortCatalog::fromDevices(devicesNamed({"ttyUSB0"}), false);
  QCOMPARE(posix.displayName(1), QStringLiteral("COM1 (/dev/ttyUSB0)"));
  QCOMPARE(posix.displayName(2), QStringLiteral("COM2"));
  QCOMPARE(windowsCatalog({5}).displayName(5), QStringLiteral("COM5"));
  // Windows opens COM5 as \\.\COM5; the operator knows it as COM5.
  const auto windows = PortCatalog::fromDevices({{"COM5", "\\\\.\\COM5", "USB Serial Port"}}, true);
  QCOMPARE(windows.displayName(5), QStringLiteral("COM5"));
  QCOMPARE(windows.describe(5), QStringLiteral("COM5 (USB Serial Port)"));
}

void DiscoveryTest::numbersFollowTheAdapterWhileTheProgramRuns() {
  const PortDevice ftdi{"ttyUSB0", "/dev/ttyUSB0", "FT232R", "usb:0403:6001:A1"};
  const PortDevice uart{"ttyS0", "/dev/ttyS0", {}};
  PortCatalog catalog = PortCatalog::fromDevices({uart, ftdi}, false);
  QCOMPARE(catalog.device(1)->portName, QStringLiteral("ttyUSB0"));

  // Plugged in later: the lowest free number; the others keep theirs.
  const PortDevice ch340{"ttyUSB1", "/dev/ttyUSB1", "CH340", "usb:1a86:7523@1-2"};
  QVERIFY(catalog.update({uart, ftdi, ch340}));
  QCOMPARE(catalog.device(3)->identity, ch340.identity);
  QCOMPARE(catalog.device(2)->portName, QStringLiteral("ttyS0"));
  QVERIFY(!catalog.update({uart, ftdi, ch340}));  // nothing new

  // Pulled: the entry stays, marked absent.
  QVERIFY(catalog.update({uart, ch340}));
  QVERIFY(!catalog.device(1)->present);
  QVERIFY(catalog.describe(1).endsWith(QStringLiteral("ausente")));
  QCOMPARE(DetectaCOM::listedPorts(catalog), (QStringList{"1", "2", "3"}));

  // Back under another node: recognised, same number, new node.
  const PortDevice ftdiAgain{"ttyUSB2", "/dev/ttyUSB2", "FT232R", ftdi.identity};
  QVERIFY(catalog.update({uart, ch340, ftdiAgain}));
  QCOMPARE(catalog.device(1)->systemLocation, QStringLiteral("/dev/ttyUSB2"));
  QVERIFY(catalog.device(1)->present);
  QCOMPARE(catalog.devices().size(), 3);
  QCOMPARE(catalog.describe(1), QStringLiteral("COM1: /dev/ttyUSB2 (FT232R)"));
}

QTEST_GUILESS_MAIN(DiscoveryTest)
#include "tst_discovery.moc"
