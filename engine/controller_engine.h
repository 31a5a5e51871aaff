#pragma once

#include "engine/engine_facts.h"
#include "protocol/link_error.h"
#include "protocol/port_choice.h"
#include "protocol/radio_program.h"
#include "record/session_record.h"
#include "serial/port_catalog.h"
#include "serial/port_service.h"
#include "serial/network_module.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace zelqon {

class SerialPortService;

// Everything between a front end and the controller: the port numbering, the
// port in use, the receive poll, the command sequences and what the operator
// is told when something fails. No widgets: the window and the command line
// drive it alike and listen to its signals.
//
// Sequences run as timed steps on the event loop, so the program stays
// responsive between commands and while a port connects. While one runs,
// the receive poll is skipped (what arrives waits for the first poll after
// it) and every other operation is refused.
class ControllerEngine final : public QObject {
  Q_OBJECT

 public:
  using AfterLoss = zelqon::AfterLoss;

  static constexpr std::chrono::milliseconds kCommandGap{3000};
  static constexpr std::chrono::milliseconds kPollInterval{1000};

  // The machine's ports as numbered by `ports`, over QSerialPort.
  explicit ControllerEngine(PortCatalog ports, QObject* parent = nullptr);
  ~ControllerEngine() override;

  void setAfterLoss(AfterLoss afterLoss) { m_afterLoss = afterLoss; }
  [[nodiscard]] AfterLoss afterLoss() const { return m_afterLoss; }
  // The pause between the commands of a sequence; kCommandGap unless a test
  // shortens it.
  void setCommandGap(std::chrono::milliseconds gap) { m_commandGap = gap; }
  // What a TLS server met from the next changePort on is weighed against,
  // and this computer's certificate for it.
  void setTlsCredentials(SharedTlsCredentials credentials) { m_tlsCredentials = std::move(credentials); }

  // Keeps `record` (taking it as a child) and writes to it every message
  // written and every byte received, with the port as the operator names it;
  // starts it. Its failure is told once through recordFailed().
  void recordSession(SessionRecord* record);

  // The receive poll, every kPollInterval from now on.
  void startPolling();

  // How the machine's ports are looked for again; by default QSerialPortInfo.
  void setPortScan(std::function<QList<PortDevice>()> scan) { m_scanPorts = std::move(scan); }
  // Looks for the machine's ports now: numbers already given never change, a
  // new device takes the lowest free number. Tells portsChanged() on a change.
  void refreshPorts();
  // Looks again whenever the system adds or removes a device node, which
  // costs nothing while nothing is plugged or pulled.
  void watchPorts();

  // Operations an operator starts. Each is refused, doing nothing, while
  // another runs or when its argument is out of range; once started it
  // reports its own failures through failed() and ends with busyChanged(false).
  // The radios' values are given with the operation and kept by it: what is
  // sent is what the operator had when the operation started.
  [[nodiscard]] OperationStart sendRadioProgram(int radio, const RadioProgram& program);
  [[nodiscard]] OperationStart sendAllRadioPrograms(const std::array<RadioProgram, kRadioCount>& programs);
  [[nodiscard]] OperationStart sendFactoryProgramming();
  [[nodiscard]] OperationStart sendAtualizarCommand();
  // Closes the port and takes `choice` for the next open: a list number, a
  // device by its path (opened as it is, no scan) or a network serial server
  // (connected from the event loop). No choice (a typed text that names no
  // port) leaves the previous port in place and is told as `asTyped`.
  [[nodiscard]] OperationStart changePort(const std::optional<PortChoice>& choice, const QString& asTyped = {});
  // Opens the port now, for a front end that only listens.
  [[nodiscard]] OperationStart openPort();
  // Ends the running sequence once the command in progress is written: the
  // rest is not sent, and failed() says how many went out. False when none runs.
  bool interrupt();

  // Opens on demand and passes on what arrived; silent on failure, since it
  // runs every second and simply tries again.
  void pollReceive();
  // Closes the port if open and stops the poll, for the program's end.
  void closePort();

  [[nodiscard]] bool isBusy() const { return m_sequence.has_value(); }
  [[nodiscard]] bool isOpen() const;
  [[nodiscard]] PortState portState() const;
  [[nodiscard]] qint16 portNumber() const;
  // The port in use as the operator knows it: "COM1 (/dev/ttyUSB0)",
  // "rfc2217://site:2217".
  [[nodiscard]] QString portName() const;
  [[nodiscard]] const PortCatalog& ports() const { return *m_ports; }

 signals:
  // What a poll read, unless it was spaces alone: the monitor shows it as is.
  void received(const QString& text);
  // Every non-empty read, byte for byte.
  void rawReceived(const QByteArray& bytes);
  // What a radio's send adds to the monitor before its message is written.
  void echoed(const QString& text);
  // Bytes that went out on the line, once the system has them.
  void written(const QByteArray& bytes);
  void progress(const zelqon::SequenceProgress& progress);
  void failed(const zelqon::OperationFailure& failure);
  // The open port went away by itself; what follows is afterLoss().
  void connectionLost(const zelqon::LinkError& error);
  // An operation began (true) or ended (false); always in pairs.
  void busyChanged(bool busy);
  // The port in use is connecting, open or closed.
  void portStateChanged(zelqon::PortState state);
  // A device appeared, went away or came back.
  void portsChanged();
  // The session record could not be written and has stopped; the program
  // goes on without it.
  void recordFailed(const zelqon::RecordFailure& failure);

 private:
  // Whether a step opens the port first, or writes on the open one only.
  enum class PortUse { OpenFirst, AlreadyOpen };
  // What a failing step does to the rest of its sequence.
  enum class OnFailure { Stop, GoOn };
  // Where the running sequence is. A written command counts once the port
  // says it is out (over a network: confirmed by the server and on the
  // line); the pause to the next one starts there.
  enum class Phase { Running, AwaitingOpen, AwaitingConfirmation, StoppingAfterConfirmation, Pausing };

  struct Step {
    int radio = 0;
    PortUse portUse = PortUse::OpenFirst;
    std::function<void()> run;  // the port is open; raises LinkError
  };
  struct Sequence {
    Operation operation = Operation::SendRadio;
    QList<Step> steps;
    OnFailure onFailure = OnFailure::Stop;
    Phase phase = Phase::Running;
    qsizetype current = 0;
    int written = 0;
  };

  OperationStart start(Operation operation, QList<Step> steps, OnFailure onFailure);
  void beginStep();
  void runStep();
  void endStep(const std::optional<LinkError>& failure);
  // Ends the sequence before its next command, told as `error`.
  void stopBeforeNext(const LinkError& error);
  void onDrained();
  void onDrainFailed(const LinkError& error);
  void onGapTimer();
  void onPortStateChanged(PortState state);
  void onOpenFailed(const LinkError& error);
  void onHungUp(const LinkError& error);
  // Starts opening unless open or on the way; Pending while it connects.
  [[nodiscard]] OpenProgress beginOpen();
  void writeText(const QString& text);
  void writeRadioProgram(int radio, const RadioProgram& program);
  void report(Operation operation, int radio, const LinkError& error, int written, int total);
  void attachPort(PortService* port);

  std::shared_ptr<PortCatalog> m_ports;
  SerialPortService* m_serialPort = nullptr;
  PortService* m_port = nullptr;  // the one in use: m_serialPort or a network port
  AfterLoss m_afterLoss = AfterLoss::ReopenOnNextUse;
  std::chrono::milliseconds m_commandGap = kCommandGap;
  SharedTlsCredentials m_tlsCredentials;
  QTimer* m_pollTimer = nullptr;
  QTimer* m_gapTimer = nullptr;
  QTimer* m_rescanTimer = nullptr;
  std::function<QList<PortDevice>()> m_scanPorts = systemPortDevices;
  QElapsedTimer m_sinceLastStep;
  std::optional<Sequence> m_sequence;
  // The device that went away while a sequence ran: why its next command
  // found the port closed.
  std::optional<LinkError> m_lostDuringSequence;
};

}  // namespace zelqon
