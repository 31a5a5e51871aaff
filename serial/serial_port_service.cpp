#include "serial/serial_port_service.h"

#include <QFileInfo>
#include <QMetaObject>

namespace zelqon {

namespace {

// Reads taken in by one poll: a line that never pauses cannot hold it longer.
constexpr int kReadRounds = 64;

LinkFault faultOf(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::DeviceNotFoundError:
      return LinkFault::NoSuchPort;
    case QSerialPort::PermissionError:
      return LinkFault::AccessDenied;
    case QSerialPort::ResourceError:
      return LinkFault::DeviceGone;
    case QSerialPort::NotOpenError:
      return LinkFault::NotOpen;
    case QSerialPort::TimeoutError:
      return LinkFault::Timeout;
    default:
      return LinkFault::Other;
  }
}

// A read error on a port that was readable means the other end is gone: the
// kernel reports a hung-up tty as readable with nothing (or EIO) to read.
bool meansHangUp(QSerialPort::SerialPortError error) {
  return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}

}  // namespace

SerialPortService::SerialPortService(std::shared_ptr<const PortCatalog> ports, QObject* parent)
    : PortService(parent), m_ports(std::move(ports)) {
  // A child, so that the port's settings can be read where they are made.
  m_port.setParent(this);
  m_port.setObjectName(QStringLiteral("port"));
  connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPortService::onPortError);
}

SerialPortService::SerialPortService(PortCatalog ports, QObject* parent)
    : SerialPortService(std::make_shared<const PortCatalog>(std::move(ports)), parent) {}

SerialPortService::~SerialPortService() {
  // No signals from here on: whoever listened may be going away too.
  const QSignalBlocker quiet(this);
  close();
}

void SerialPortService::setState(PortState state) {
  if (m_state == state)
    return;
  m_state = state;
  emit stateChanged(state);
}

LinkError SerialPortService::linkError(LinkStep step, LinkFault fault, const QString& reason) const {
  QString device = m_port.isOpen() ? m_openLocation : m_devicePath;
  if (device.isEmpty()) {
    if (const auto found = m_ports->device(m_number))
      device = found->systemLocation;
  }
  return LinkError(step, fault, displayName(), reason, device);
}

LinkError SerialPortService::portError(LinkStep step) const {
  return linkError(step, faultOf(m_port.error()), m_port.errorString());
}

void SerialPortService::requireOpen(LinkStep step) const {
  if (m_state != PortState::Open && m_state != PortState::HungUp)
    throw linkError(step, LinkFault::NotOpen);
}

void SerialPortService::selectPortNumber(qint16 number) {
  if (number < 1)
    throw LinkError(LinkStep::SelectPort, LinkFault::InvalidNumber, QStringLiteral("COM%1").arg(number), {});
  m_number = number;
  m_devicePath.clear();
}

void SerialPortService::selectDevice(const QString& path) { m_devicePath = path; }

QString SerialPortService::displayName() const {
  return m_devicePath.isEmpty() ? m_ports->displayName(m_number) : m_devicePath;
}

OpenProgress SerialPortService::open() {
  if (m_state == PortState::Open)
    return OpenProgress::Open;
  raiseIfHungUp(LinkStep::Open);
  if (m_devicePath.isEmpty()) {
    const auto device = m_ports->device(m_number);
    // An absent adapter's node may by now belong to another one.
    if (!device || !device->present)
      throw linkError(LinkStep::Open, LinkFault::NoSuchPort);
    m_openLocation = device->systemLocation;
  } else {
    m_openLocation = m_devicePath;
  }
  m_port.setPortName(m_openLocation);
  m_port.setBaudRate(kBaudRate);
  m_port.setDataBits(QSerialPort::Data8);
  m_port.setParity(QSerialPort::NoParity);
  m_port.setStopBits(QSerialPort::OneStop);
  m_port.setFlowControl(QSerialPort::NoFlowControl);
  // No limit on what waits between two polls: nothing received is dropped.
  m_port.setReadBufferSize(0);
  if (!m_port.open(QIODevice::ReadWrite)) {
    const LinkError error = portError(LinkStep::Open);
    m_port.clearError();
    throw error;
  }
  setState(PortState::Open);
  return OpenProgress::Open;
}

void SerialPortService::close() {
  if (!m_port.isOpen()) {
    setState(PortState::Closed);
    return;
  }
  // Hand over whatever a write left in Qt's buffer before the descriptor goes.
  if (m_state == PortState::Open) {
    while (m_port.bytesToWrite() > 0 && m_port.waitForBytesWritten(int(kWriteTimeout.count()))) {
    }
  }
  m_port.close();
  m_port.clearError();
  setState(PortState::Closed);
}

void SerialPortService::writeText(const QString& text) {
  requireOpen(LinkStep::Write);
  raiseIfHungUp(LinkStep::Write);
  const QByteArray bytes = text.toLatin1();
  if (m_port.write(bytes) != bytes.size()) {
    raiseIfHungUp(LinkStep::Write);
    throw portError(LinkStep::Write);
  }
  // QSerialPort writes from the event loop; push the bytes out now, so that a
  // close or a long pause right after the write cannot hold them back.
  while (m_port.bytesToWrite() > 0) {
    if (!m_port.waitForBytesWritten(int(kWriteTimeout.count()))) {
      raiseIfHungUp(LinkStep::Write);
      const LinkError error = portError(LinkStep::Write);
      m_port.clearError();
      throw error;
    }
  }
  raiseIfHungUp(LinkStep::Write);
}

void SerialPortService::requestDrain() {
  // writeText returns with the bytes in the system's hands.
  if (m_state == PortState::Open)
    emit drained();
}

QString SerialPortService::readAllPending() {
  requireOpen(LinkStep::Read);
  // Take in what the system holds now: without a turn of the event loop since
  // it arrived, QSerialPort would not have seen it yet. Bounded, so a line
  // that never pauses cannot hold the poll.
  for (int round = 0; round < kReadRounds && m_state == PortState::Open && m_port.waitForReadyRead(0); ++round) {
  }
  if (m_port.error() == QSerialPort::TimeoutError)
    m_port.clearError();
  // A pulled USB adapter takes its device node with it.
  if (m_state == PortState::Open && m_openLocation.startsWith(QLatin1Char('/')) && !QFileInfo::exists(m_openLocation))
    setState(PortState::HungUp);
  const QByteArray received = m_port.readAll();
  if (received.isEmpty())
    raiseIfHungUp(LinkStep::Read);
  return QString::fromLatin1(received);
}

void SerialPortService::raiseIfHungUp(LinkStep step) {
  if (m_state != PortState::HungUp)
    return;
  const LinkError error = linkError(step, LinkFault::DeviceGone, m_port.errorString());
  m_port.close();
  m_port.clearError();
  setState(PortState::Closed);
  emit hungUp(error);
  throw error;
}

void SerialPortService::onPortError(QSerialPort::SerialPortError error) {
  // Every open emits NoError; timeouts come from our own zero-wait reads.
  if (!meansHangUp(error) || m_state != PortState::Open)
    return;
  // The loss is told once, with the close.
  setState(PortState::HungUp);
  // A hung-up tty keeps signalling readable; close from the event loop,
  // outside Qt's notifier, unless one of our own calls gets there first.
  QMetaObject::invokeMethod(this, &SerialPortService::closeAfterHangUp, Qt::QueuedConnection);
}

void SerialPortService::closeAfterHangUp() {
  try {
    raiseIfHungUp(LinkStep::Read);
  } catch (const LinkError&) {
    // Told through hungUp(); nobody called us to hear it raised.
  }
}

}  // namespace zelqon
