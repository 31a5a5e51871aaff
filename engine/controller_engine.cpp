#include "engine/controller_engine.h"

#include "engine/operator_text.h"
#include "engine/port_diagnosis_text.h"
#include "engine/record_text.h"
#include "protocol/programming_message.h"
#include "record/session_record.h"
#include "serial/network_support.h"
#include "serial/serial_port_service.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>

#include <algorithm>
#include <exception>

namespace zelqon {

namespace {

// udev makes a device node and its links in a burst; the ports are looked for
// once it has settled.
constexpr std::chrono::milliseconds kRescanDelay{300};

// Runs `action`; whatever it raises comes back as the LinkError the operator
// is told about, so no step can leave a sequence running forever or throw
// through the event loop.
template <typename Action>
std::optional<LinkError> failureOf(Action&& action, LinkStep step, const QString& port) {
  try {
    action();
  } catch (const LinkError& error) {
    return error;
  } catch (const std::exception& error) {
    return LinkError(step, LinkFault::Internal, port, QString::fromLocal8Bit(error.what()));
  } catch (...) {
    return LinkError(step, LinkFault::Internal, port, QStringLiteral("exceção desconhecida"));
  }
  return std::nullopt;
}

}  // namespace

ControllerEngine::ControllerEngine(PortCatalog ports, QObject* parent)
    : QObject(parent), m_ports(std::make_shared<PortCatalog>(std::move(ports))) {
  m_serialPort = new SerialPortService(std::shared_ptr<const PortCatalog>(m_ports), this);
  attachPort(m_serialPort);

  m_pollTimer = new QTimer(this);
  m_pollTimer->setObjectName(QStringLiteral("pollTimer"));
  m_pollTimer->setInterval(kPollInterval);
  connect(m_pollTimer, &QTimer::timeout, this, &ControllerEngine::pollReceive);

  // A coarse timer may fire up to 5 % early; the controller needs the whole gap.
  m_gapTimer = new QTimer(this);
  m_gapTimer->setTimerType(Qt::PreciseTimer);
  m_gapTimer->setSingleShot(true);
  connect(m_gapTimer, &QTimer::timeout, this, &ControllerEngine::onGapTimer);
}

ControllerEngine::~ControllerEngine() {
  const QSignalBlocker quiet(m_port);
  m_port->close();
}

void ControllerEngine::attachPort(PortService* port) {
  if (m_port == port)
    return;
  if (m_port) {
    disconnect(m_port, nullptr, this, nullptr);
    if (m_port != m_serialPort)
      m_port->deleteLater();
  }
  m_port = port;
  connect(port, &PortService::stateChanged, this, &ControllerEngine::onPortStateChanged);
  connect(port, &PortService::openFailed, this, &ControllerEngine::onOpenFailed);
  connect(port, &PortService::hungUp, this, &ControllerEngine::onHungUp);
  connect(port, &PortService::drained, this, &ControllerEngine::onDrained);
  connect(port, &PortService::drainFailed, this, &ControllerEngine::onDrainFailed);
}

void ControllerEngine::recordSession(SessionRecord* record) {
  record->setParent(this);
  connect(record, &SessionRecord::failed, this, &ControllerEngine::recordFailed);
  connect(this, &ControllerEngine::written, record,
          [this, record](const QByteArray& bytes) { record->record(RecordDirection::Sent, portName(), bytes); });
  connect(this, &ControllerEngine::rawReceived, record,
          [this, record](const QByteArray& bytes) { record->record(RecordDirection::Received, portName(), bytes); });
  record->start();
}

void ControllerEngine::startPolling() { m_pollTimer->start(); }

void ControllerEngine::refreshPorts() {
  if (m_ports->update(m_scanPorts()))
    emit portsChanged();
}

void ControllerEngine::watchPorts() {
  if (m_rescanTimer)
    return;
  // /dev also reports every write to a terminal (its times change): look
  // again only when a node came or went.
  const auto nodes = [] {
    return QDir(QStringLiteral("/dev")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
  };
  m_rescanTimer = new QTimer(this);
  m_rescanTimer->setSingleShot(true);
  m_rescanTimer->setInterval(kRescanDelay);
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

bool ControllerEngine::isOpen() const { return m_port->isOpen(); }

PortState ControllerEngine::portState() const { return m_port->state(); }

qint16 ControllerEngine::portNumber() const { return m_serialPort->portNumber(); }

QString ControllerEngine::portName() const { return m_port->displayName(); }

OperationStart ControllerEngine::sendRadioProgram(int radio, const RadioProgram& program) {
  if (!isRadioNumber(radio))
    return OperationStart::RefusedArgument;
  return start(Operation::SendRadio,
               {{radio, PortUse::OpenFirst, [this, radio, program] { writeRadioProgram(radio, program); }}},
               OnFailure::Stop);
}

OperationStart ControllerEngine::sendAllRadioPrograms(const std::array<RadioProgram, kRadioCount>& programs) {
  // Each radio is a whole send of its own: a failing one is followed by the
  // pause and the next radio as usual.
  QList<Step> steps;
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    const RadioProgram& program = programs.at(std::size_t(radio - 1));
    steps.append({radio, PortUse::OpenFirst, [this, radio, program] { writeRadioProgram(radio, program); }});
  }
  return start(Operation::SendAllRadios, std::move(steps), OnFailure::GoOn);
}

OperationStart ControllerEngine::sendFactoryProgramming() {
  // One open for the whole set; the first failure ends it.
  QList<Step> steps;
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    steps.append({radio, radio == 1 ? PortUse::OpenFirst : PortUse::AlreadyOpen,
                  [this, radio] { writeText(factoryMessage(radio)); }});
  }
  return start(Operation::FactoryProgramming, std::move(steps), OnFailure::Stop);
}

OperationStart ControllerEngine::sendAtualizarCommand() {
  return start(Operation::Atualizar, {{0, PortUse::OpenFirst, [this] { writeText(kAtualizarCommand); }}},
               OnFailure::Stop);
}

OperationStart ControllerEngine::openPort() {
  return start(Operation::OpenPort, {{0, PortUse::OpenFirst, [] {}}}, OnFailure::Stop);
}

void ControllerEngine::writeText(const QString& text) {
  m_port->writeText(text);
  emit written(text.toLatin1());
}

void ControllerEngine::writeRadioProgram(int radio, const RadioProgram& program) {
  const QString message = buildProgrammingMessage(radio, program);
  // The echo goes first, so a failed write leaves it standing as the record
  // of what was attempted.
  emit echoed(monitorEcho(radio, message));
  writeText(message);
}

OperationStart ControllerEngine::changePort(const std::optional<PortChoice>& choice, const QString& asTyped) {
  if (isBusy())
    return OperationStart::RefusedBusy;
  emit busyChanged(true);
  const auto failure = failureOf(
      [&] {
        // Closed even when the text names no port: the next poll reopens the
        // previous one.
        m_port->close();
        if (!choice)
          throw LinkError(LinkStep::SelectPort, LinkFault::InvalidNumber, asTyped.trimmed(), {});
        if (const NetworkAddress* address = choice->network()) {
          attachPort(newNetworkPort(*address, m_tlsCredentials, this));
          emit portStateChanged(m_port->state());
          return;
        }
        if (const DevicePath* device = choice->device())
          m_serialPort->selectDevice(device->path);
        else
          m_serialPort->selectPortNumber(*choice->listNumber());
        attachPort(m_serialPort);
      },
      LinkStep::SelectPort, asTyped.trimmed());
  if (failure)
    report(Operation::ChangePort, 0, *failure, 0, 1);
  emit busyChanged(false);
  return OperationStart::Started;
}

bool ControllerEngine::interrupt() {
  if (!m_sequence)
    return false;
  Sequence& sequence = *m_sequence;
  switch (sequence.phase) {
    case Phase::Running:
    case Phase::AwaitingConfirmation:
      // The command in progress is out only once confirmed; then it stops.
      sequence.phase = Phase::StoppingAfterConfirmation;
      return true;
    case Phase::StoppingAfterConfirmation:
      return true;
    case Phase::AwaitingOpen:
      m_port->close();
      break;
    case Phase::Pausing:
      break;
  }
  stopBeforeNext(LinkError(LinkStep::Write, LinkFault::Interrupted, portName(), {}));
  return true;
}

void ControllerEngine::stopBeforeNext(const LinkError& error) {
  const Sequence& sequence = *m_sequence;
  m_gapTimer->stop();
  report(sequence.operation, sequence.steps.at(sequence.current).radio, error, sequence.written,
         int(sequence.steps.size()));
  m_sequence.reset();
  emit busyChanged(false);
}

OperationStart ControllerEngine::start(Operation operation, QList<Step> steps, OnFailure onFailure) {
  if (isBusy())
    return OperationStart::RefusedBusy;
  m_lostDuringSequence.reset();
  m_sequence = Sequence{operation, std::move(steps), onFailure};
  emit busyChanged(true);
  beginStep();
  return OperationStart::Started;
}

OpenProgress ControllerEngine::beginOpen() {
  switch (m_port->state()) {
    case PortState::Open:
    case PortState::HungUp:  // the next write or read tells the loss
      return OpenProgress::Open;
    case PortState::Connecting:
    case PortState::Securing:
    case PortState::Negotiating:
      return OpenProgress::Pending;
    case PortState::Closed:
      break;
  }
  return m_port->open();
}

void ControllerEngine::beginStep() {
  Sequence& sequence = *m_sequence;
  sequence.phase = Phase::Running;
  if (sequence.steps.at(sequence.current).portUse == PortUse::OpenFirst) {
    OpenProgress progress = OpenProgress::Open;
    if (const auto failure = failureOf([&] { progress = beginOpen(); }, LinkStep::Open, portName())) {
      endStep(failure);
      return;
    }
    if (progress == OpenProgress::Pending) {
      sequence.phase = Phase::AwaitingOpen;
      return;
    }
  }
  runStep();
}

void ControllerEngine::runStep() {
  const Step& step = m_sequence->steps.at(m_sequence->current);
  if (const auto failure = failureOf(step.run, LinkStep::Write, portName())) {
    endStep(failure);
    return;
  }
  if (m_sequence->phase == Phase::Running)
    m_sequence->phase = Phase::AwaitingConfirmation;
  m_port->requestDrain();
}

void ControllerEngine::onDrained() {
  if (m_sequence &&
      (m_sequence->phase == Phase::AwaitingConfirmation || m_sequence->phase == Phase::StoppingAfterConfirmation))
    endStep(std::nullopt);
}

void ControllerEngine::onDrainFailed(const LinkError& error) {
  if (m_sequence &&
      (m_sequence->phase == Phase::AwaitingConfirmation || m_sequence->phase == Phase::StoppingAfterConfirmation))
    endStep(error);
}

void ControllerEngine::endStep(const std::optional<LinkError>& failure) {
  Sequence& sequence = *m_sequence;
  const Step& step = sequence.steps.at(sequence.current);
  const int count = int(sequence.steps.size());
  bool stop = false;
  if (failure) {
    const bool lost = failure->fault() == LinkFault::NotOpen && m_lostDuringSequence;
    report(sequence.operation, step.radio, lost ? *m_lostDuringSequence : *failure, sequence.written, count);
    stop = sequence.onFailure == OnFailure::Stop;
  } else {
    ++sequence.written;
  }
  const bool last = stop || sequence.current + 1 == sequence.steps.size();
  if (!stop) {
    emit progress({sequence.operation, int(sequence.current + 1), count, step.radio, !failure,
                   last ? std::chrono::milliseconds(0) : m_commandGap});
  }
  if (last) {
    m_sequence.reset();
    emit busyChanged(false);
    return;
  }
  ++sequence.current;
  if (sequence.phase == Phase::StoppingAfterConfirmation) {
    stopBeforeNext(LinkError(LinkStep::Write, LinkFault::Interrupted, portName(), {}));
    return;
  }
  sequence.phase = Phase::Pausing;
  // The gap counts from the moment this command is out.
  m_sinceLastStep.start();
  m_gapTimer->start(m_commandGap);
}

void ControllerEngine::onGapTimer() {
  // Never early: a timer that fired a little before its time is armed again
  // for what is left.
  const auto elapsed = std::chrono::milliseconds(m_sinceLastStep.elapsed());
  if (elapsed < m_commandGap) {
    m_gapTimer->start(m_commandGap - elapsed);
    return;
  }
  beginStep();
}

void ControllerEngine::onPortStateChanged(PortState state) {
  emit portStateChanged(state);
  if (state == PortState::Open && m_sequence && m_sequence->phase == Phase::AwaitingOpen) {
    m_sequence->phase = Phase::Running;
    runStep();
  }
}

void ControllerEngine::onOpenFailed(const LinkError& error) {
  // An open that a poll started fails silently: the next poll tries again.
  if (m_sequence && m_sequence->phase == Phase::AwaitingOpen) {
    m_sequence->phase = Phase::Running;
    endStep(error);
  }
}

void ControllerEngine::onHungUp(const LinkError& error) {
  // Lost between two commands: told at once, not when the next one is due.
  const bool between = m_sequence && m_sequence->phase != Phase::Running && m_sequence->phase != Phase::AwaitingOpen;
  if (between)
    stopBeforeNext(error);
  else if (isBusy())
    m_lostDuringSequence = error;
  if (m_afterLoss == AfterLoss::Stop)
    m_pollTimer->stop();
  emit connectionLost(error);
}

void ControllerEngine::pollReceive() {
  if (isBusy())
    return;  // the first poll after the sequence takes everything in one read
  QString got;
  const auto failure = failureOf(
      [&] {
        if (beginOpen() == OpenProgress::Open)
          got = m_port->readAllPending();
      },
      LinkStep::Read, portName());
  // A failure is tried again on the next tick; a lost device was already
  // reported once.
  if (failure || got.isEmpty())
    return;
  emit rawReceived(got.toLatin1());
  if (!std::all_of(got.cbegin(), got.cend(), [](QChar c) { return c == QLatin1Char(' '); }))
    emit received(got);
}

void ControllerEngine::closePort() {
  m_pollTimer->stop();
  m_port->close();
}

void ControllerEngine::report(Operation operation, int radio, const LinkError& error, int written, int total) {
  OperationFailure failure{operation, radio, error, written, total, std::nullopt, std::nullopt};
  // Looked into only now, once per failure the operator sees: the holder of
  // a port, the group that owns it.
  if (error.fault() == LinkFault::AccessDenied && !error.device().isEmpty())
    failure.accessDenied = diagnoseAccessDenied(error.device());
  if (error.fault() == LinkFault::NoSuchPort) {
    refreshPorts();
    QStringList present;
    for (auto it = m_ports->devices().cbegin(); it != m_ports->devices().cend(); ++it) {
      if (it->present)
        present.append(m_ports->displayName(it.key()));
    }
    failure.presentPorts = present;
  }
  emit failed(failure);
}

}  // namespace zelqon
