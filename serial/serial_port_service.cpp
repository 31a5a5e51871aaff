#include "serial/serial_port_service.h"

#include <QFileInfo>
#include <QMetaObject>

namespace zelqon {

namespace {

// Counts the service's own synchronous calls, so that a hang-up noticed inside
// one is acted on by that call rather than by the event loop.
class CallScope {
 public:
  explicit CallScope(int& depth) : m_depth(depth) { ++m_depth; }
  ~CallScope() { --m_depth; }
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

 private:
  int& m_depth;
};

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
    : QObject(parent), m_ports(std::move(ports)) {
  // A child, so that the port's settings can be read where they are made.
  m_port.setParent(this);
  m_port.setObjectName(QStringLiteral("port"));
  connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPortService::onPortError);
}

SerialPortService::SerialPortService(PortCatalog ports, QObject* parent)
    : SerialPortService(std::make_shared<const PortCatalog>(std::move(ports)), parent) {}

SerialPortService::~SerialPortService() {
  if (m_port.isOpen())
    close();
}

LinkError SerialPortService::linkError(LinkStep step, LinkFault fault, const QString& reason) const {
  QString device = m_port.isOpen() ? m_openLocation : QString();
  if (device.isEmpty()) {
    if (const auto found = m_ports->device(m_number))
      device = found->systemLocation;
  }
  return LinkError(step, fault, m_ports->displayName(m_number), reason, device);
}

LinkError SerialPortService::portError(LinkStep step) const {
  return linkError(step, faultOf(m_port.error()), m_port.errorString());
}

void SerialPortService::requireOpen(LinkStep step) const {
  if (!m_port.isOpen())
    throw linkError(step, LinkFault::NotOpen);
}

void SerialPortService::selectPortNumber(qint16 number) {
  if (m_port.isOpen())
    throw linkError(LinkStep::SelectPort, LinkFault::Other, QStringLiteral("port is open"));
  if (number < 1)
    throw LinkError(LinkStep::SelectPort, LinkFault::InvalidNumber, QStringLiteral("COM%1").arg(number), {});
  m_number = number;
}

void SerialPortService::open() {
  if (m_port.isOpen())
    return;
  const auto device = m_ports->device(m_number);
  // An absent adapter's node may by now belong to another one.
  if (!device || !device->present)
    throw linkError(LinkStep::Open, LinkFault::NoSuchPort);

  m_openLocation = device->systemLocation;
  m_port.setPortName(m_openLocation);
  m_port.setBaudRate(kBaudRate);
  m_port.setDataBits(QSerialPort::Data8);
  m_port.setParity(QSerialPort::NoParity);
  m_port.setStopBits(QSerialPort::OneStop);
  m_port.setFlowControl(QSerialPort::NoFlowControl);
  // No limit on what waits between two polls: nothing received is dropped.
  m_port.setReadBufferSize(0);
  m_hungUp = false;
  if (!m_port.open(QIODevice::ReadWrite)) {
    const LinkError error = portError(LinkStep::Open);
    m_port.clearError();
    throw error;
  }
}

void SerialPortService::close() {
  if (!m_port.isOpen())
    return;
  CallScope scope(m_callDepth);
  // Hand over whatever a write left in Qt's buffer before the descriptor goes.
  if (!m_hungUp) {
    while (m_port.bytesToWrite() > 0 && m_port.waitForBytesWritten(int(kWriteTimeout.count()))) {
    }
  }
  m_port.close();
  m_port.clearError();
}

void SerialPortService::writeText(const QString& text) {
  requireOpen(LinkStep::Write);
  CallScope scope(m_callDepth);
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

QString SerialPortService::readAllPending() {
  requireOpen(LinkStep::Read);
  CallScope scope(m_callDepth);
  // Take in what the system holds now: without a turn of the event loop since
  // it arrived, QSerialPort would not have seen it yet. Bounded, so a line
  // that never pauses cannot hold the poll.
  for (int round = 0; round < 64 && m_port.waitForReadyRead(0); ++round) {
  }
  if (m_port.error() == QSerialPort::TimeoutError)
    m_port.clearError();
  // A pulled USB adapter takes its device node with it.
  if (!m_hungUp && m_openLocation.startsWith(QLatin1Char('/')) && !QFileInfo::exists(m_openLocation))
    m_hungUp = true;
  const QByteArray received = m_port.readAll();
  if (m_hungUp && received.isEmpty())
    raiseIfHungUp(LinkStep::Read);
  return QString::fromLatin1(received);
}

void SerialPortService::raiseIfHungUp(LinkStep step) {
  if (!m_hungUp || !m_port.isOpen())
    return;
  const LinkError error = linkError(step, LinkFault::DeviceGone, m_port.errorString());
  m_port.close();
  m_port.clearError();
  reportHangUp(error);
  throw error;
}

void SerialPortService::onPortError(QSerialPort::SerialPortError error) {
  // Every open emits NoError; timeouts come from our own zero-wait reads.
  if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !meansHangUp(error))
    return;
  if (!m_port.isOpen() || m_hungUp)
    return;
  m_hungUp = true;
  // A hung-up tty keeps signalling readable; close once, from the event loop
  // and outside Qt's notifier, unless one of our own calls will do it.
  if (m_callDepth == 0)
    QMetaObject::invokeMethod(this, &SerialPortService::closeAfterHangUp, Qt::QueuedConnection);
}

void SerialPortService::closeAfterHangUp() {
  if (!m_hungUp || !m_port.isOpen())
    return;
  const LinkError error = linkError(LinkStep::Read, LinkFault::DeviceGone, m_port.errorString());
  m_port.close();
  m_port.clearError();
  reportHangUp(error);
}

}  // namespace zelqon
