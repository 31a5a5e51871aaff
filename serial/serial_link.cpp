#include "serial/serial_link.h"

namespace zelqon {

SerialLink::SerialLink(std::unique_ptr<PortService> service, QObject* parent)
    : QObject(parent), m_service(std::move(service)) {
  m_service->setHangUpHandler([this](const LinkError& error) { emit connectionLost(error); });
}

SerialLink::~SerialLink() { closePort(); }

void SerialLink::ensurePortOpen() {
  if (!m_service->isOpen())
    m_service->open();
}

void SerialLink::writeText(const QString& text) { m_service->writeText(text); }

QString SerialLink::readPending() {
  ensurePortOpen();
  return m_service->readAllPending();
}

void SerialLink::closeIfOpen() {
  if (m_service->isOpen())
    m_service->close();
}

void SerialLink::selectPortNumber(qint16 number) { m_service->selectPortNumber(number); }

void SerialLink::closePort() {
  try {
    closeIfOpen();
  } catch (const LinkError&) {
    // Ending the program goes ahead whatever closing says.
  }
}

}  // namespace zelqon
