#include "serial/serial_link.h"

#include "protocol/port_text.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace zelqon {

SerialLink::SerialLink(std::unique_ptr<PortService> service, MonitorText& monitor, QObject* parent)
    : QObject(parent), m_service(std::move(service)), m_monitor(monitor) {
  setObjectName(QStringLiteral("MSComm"));
  m_service->setHangUpHandler([this](const LinkError& error) { emit connectionLost(error.port(), error.reason()); });
}

SerialLink::~SerialLink() { closePort(); }

void SerialLink::ensurePortOpen() {
  if (!m_service->isOpen())
    m_service->open();
}

void SerialLink::writeText(const QString& text) { m_service->writeText(text); }

void SerialLink::changePort(const QString& listText) {
  try {
    if (m_service->isOpen())
      m_service->close();
    const auto number = portNumberFromText(listText);
    if (!number)
      throw LinkError(LinkStep::SelectPort, LinkFault::InvalidNumber, listText.trimmed(), {});
    m_service->selectPortNumber(*number);
  } catch (const LinkError& error) {
    if (m_observer)
      m_observer(OperationFailure{Operation::ChangePort, 0, error});
  }
}

void SerialLink::pollReceive() {
  if (m_pausing)
    return;  // the first tick after the pause takes everything in one read
  try {
    ensurePortOpen();
    const QString received = m_service->readAllPending();
    // A poll made of spaces alone shows nothing; any other text goes in as read.
    const bool onlySpaces =
        std::all_of(received.cbegin(), received.cend(), [](QChar c) { return c == QLatin1Char(' '); });
    if (!onlySpaces)
      m_monitor.append(received);
  } catch (const LinkError&) {
    // Retried on the next tick; a lost device was already reported once.
  }
}

void SerialLink::clearMonitor() { m_monitor.clear(); }

void SerialLink::closePort() {
  try {
    if (m_service->isOpen())
      m_service->close();
  } catch (const LinkError&) {
    // Ending the program goes ahead whatever closing says.
  }
}

void SerialLink::pauseKeepingDisplay(std::chrono::milliseconds duration) {
  m_pausing = true;
  QEventLoop loop;
  QTimer::singleShot(duration, &loop, &QEventLoop::quit);
  // Held input events are delivered when the loop that follows runs normally.
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  m_pausing = false;
}

}  // namespace zelqon
