#include "engine/controller_engine.h"

#include "engine/operator_text.h"
#include "protocol/programming_message.h"
#include "serial/port_diagnosis.h"
#include "serial/serial_link.h"
#include "serial/serial_port_service.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>

#include <algorithm>

namespace zelqon {

ControllerEngine::ControllerEngine(PortCatalog ports, QObject* parent)
    : ControllerEngine(std::make_shared<PortCatalog>(std::move(ports)), nullptr, parent) {}

ControllerEngine::ControllerEngine(std::shared_ptr<PortCatalog> ports, std::unique_ptr<PortService> service,
                                   QObject* parent)
    : QObject(parent), m_ports(std::move(ports)), m_readRadio([](int) { return RadioProgram{}; }) {
  if (!service)
    service = std::make_unique<SerialPortService>(std::shared_ptr<const PortCatalog>(m_ports));
  m_link = new SerialLink(std::move(service), this);
  m_link->setObjectName(QStringLiteral("MSComm"));
  connect(m_link, &SerialLink::connectionLost, this, [this](const LinkError& error) {
    if (isBusy())
      m_lostDuringSequence = error;
    emit connectionLost(error, describeConnectionLost(error));
  });

  m_pollTimer = new QTimer(this);
  m_pollTimer->setObjectName(QStringLiteral("Timer1"));
  m_pollTimer->setInterval(kPollInterval);
  connect(m_pollTimer, &QTimer::timeout, this, &ControllerEngine::pollReceive);

  // A coarse timer may fire up to 5 % early; the controller needs the whole gap.
  m_gapTimer = new QTimer(this);
  m_gapTimer->setTimerType(Qt::PreciseTimer);
  m_gapTimer->setSingleShot(true);
  connect(m_gapTimer, &QTimer::timeout, this, &ControllerEngine::onGapTimer);
}

ControllerEngine::~ControllerEngine() = default;

void ControllerEngine::startPolling() { m_pollTimer->start(); }

void ControllerEngine::refreshPorts() {
  if (m_ports->update(m_scanPorts()))
    emit portsChanged();
}

void ControllerEngine::watchPorts() {
  if (m_rescanTimer)
    return;
  // udev makes a node and its links in a burst; look once it has settled.
  // /dev also reports every write to a terminal (its times change): look
  // again only when a node came or went.
  const auto nodes = [] {
    return QDir(QStringLiteral("/dev")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
  };
  m_rescanTimer = new QTimer(this);
  m_rescanTimer->setSingleShot(true);
  m_rescanTimer->setInterval(300);
  connect(m_rescanTimer, &QTimer::timeout, this, [this, nodes, seen = nodes()]() mutable {
    if (QStringList now = nodes(); now != seen) {
      seen = std::move(now);
      refreshPorts();
    }
  });
  auto* watcher = new QFileSystemWatcher(this);
  if (QFileInfo(QStringLiteral("/dev")).isDir())
    watcher->addPath(QStringLiteral("/dev"));
  connect(watcher, &QFileSystemWatcher::directoryChanged, m_rescanTimer, qOverload<>(&QTimer::start));
}

bool ControllerEngine::isOpen() const { return m_link->isOpen(); }

qint16 ControllerEngine::portNumber() const { return m_link->portNumber(); }

bool ControllerEngine::sendRadioProgram(int radio) {
  return start(Operation::SendRadio, {{radio, [this, radio] { writeRadioProgram(radio); }}}, true);
}

bool ControllerEngine::sendAllRadioPrograms() {
  // Each radio is a whole send of its own: a failing one is followed by the
  // pause and the next radio as usual.
  QList<Step> steps;
  for (int radio = 1; radio <= kRadioCount; ++radio)
    steps.append({radio, [this, radio] { writeRadioProgram(radio); }});
  return start(Operation::SendAllRadios, std::move(steps), false);
}

bool ControllerEngine::sendFactoryProgramming() {
  // One open for the whole set; the first failure ends it.
  QList<Step> steps;
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    steps.append({radio, [this, radio] {
                    if (radio == 1)
                      m_link->ensurePortOpen();
                    m_link->writeText(factoryMessage(radio));
                  }});
  }
  return start(Operation::FactoryProgramming, std::move(steps), true);
}

bool ControllerEngine::sendAtualizarCommand() {
  return start(Operation::Atualizar,
               {{0,
                 [this] {
                   m_link->ensurePortOpen();
                   m_link->writeText(kAtualizarCommand);
                 }}},
               true);
}

void ControllerEngine::writeRadioProgram(int radio) {
  m_link->ensurePortOpen();
  const QString message = buildProgrammingMessage(radio, m_readRadio(radio));
  // The echo goes first, so a failed write leaves it standing as the record
  // of what was attempted.
  emit echoed(monitorEcho(radio, message));
  m_link->writeText(message);
}

bool ControllerEngine::changePort(std::optional<qint16> number, const QString& asTyped) {
  if (isBusy())
    return false;
  emit busyChanged(true);
  try {
    // Closed even when the number is not taken: the next poll reopens the
    // previous port.
    m_link->closeIfOpen();
    if (!number)
      throw LinkError(LinkStep::SelectPort, LinkFault::InvalidNumber, asTyped.trimmed(), {});
    m_link->selectPortNumber(*number);
  } catch (const LinkError& error) {
    report(Operation::ChangePort, 0, error, 0, 1);
  }
  emit busyChanged(false);
  return true;
}

bool ControllerEngine::openPort() {
  return start(Operation::OpenPort, {{0, [this] { m_link->ensurePortOpen(); }}}, true);
}

bool ControllerEngine::start(Operation operation, QList<Step> steps, bool stopAtFailure) {
  if (isBusy())
    return false;
  m_lostDuringSequence.reset();
  m_sequence = Sequence{operation, std::move(steps), stopAtFailure};
  emit busyChanged(true);
  runNextStep();
  return true;
}

void ControllerEngine::runNextStep() {
  Sequence& sequence = *m_sequence;
  const qsizetype index = sequence.next++;
  const Step& step = sequence.steps.at(index);
  const int count = int(sequence.steps.size());
  bool stop = false;
  bool written = true;
  try {
    step.run();
    ++sequence.written;
  } catch (const LinkError& error) {
    const bool lost = error.fault() == LinkFault::NotOpen && m_lostDuringSequence;
    report(sequence.operation, step.radio, lost ? *m_lostDuringSequence : error, sequence.written, count);
    stop = sequence.stopAtFailure;
    written = false;
  }
  const bool last = stop || sequence.next == sequence.steps.size();
  if (!stop) {
    emit progress({sequence.operation, int(index + 1), count, step.radio, written,
                   last ? std::chrono::milliseconds(0) : kCommandGap});
  }
  if (last) {
    m_sequence.reset();
    emit busyChanged(false);
    return;
  }
  // The gap counts from the end of this command's write.
  m_sinceLastStep.start();
  m_gapTimer->start(kCommandGap);
}

void ControllerEngine::onGapTimer() {
  // Never early: a timer that fired a little before its time is armed again
  // for what is left.
  const auto elapsed = std::chrono::milliseconds(m_sinceLastStep.elapsed());
  if (elapsed < kCommandGap) {
    m_gapTimer->start(kCommandGap - elapsed);
    return;
  }
  runNextStep();
}

void ControllerEngine::pollReceive() {
  if (isBusy())
    return;  // the first poll after the sequence takes everything in one read
  try {
    const QString got = m_link->readPending();
    if (got.isEmpty())
      return;
    emit rawReceived(got.toLatin1());
    if (!std::all_of(got.cbegin(), got.cend(), [](QChar c) { return c == QLatin1Char(' '); }))
      emit received(got);
  } catch (const LinkError&) {
    // Tried again on the next tick; a lost device was already reported once.
  }
}

void ControllerEngine::closePort() {
  m_pollTimer->stop();
  m_link->closePort();
}

void ControllerEngine::report(Operation operation, int radio, const LinkError& error, int written, int total) {
  OperationFailure failure{operation, radio, error, written, total, {}};
  // Looked into only now, once per failure the operator sees: the holder of
  // a port, the group that owns it.
  const bool refused = error.fault() == LinkFault::AccessDenied && !error.device().isEmpty();
  failure.text = describeFailure(failure, refused ? diagnoseAccessDenied(error.device()) : QString());
  if (error.fault() == LinkFault::NoSuchPort) {
    // The operator's next move is to pick a port that is there now.
    refreshPorts();
    QStringList present;
    for (auto it = m_ports->devices().cbegin(); it != m_ports->devices().cend(); ++it) {
      if (it->present)
        present.append(m_ports->displayName(it.key()));
    }
    failure.text +=
        QLatin1Char('\n') +
        (present.isEmpty() ? QStringLiteral("Nenhuma porta serial presente agora.")
                           : QStringLiteral("Portas presentes agora: %1.").arg(present.join(QStringLiteral(", "))));
  }
  emit failed(failure);
}

}  // namespace zelqon
