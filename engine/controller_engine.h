#pragma once

#include "protocol/link_error.h"
#include "protocol/radio_program.h"
#include "serial/port_catalog.h"
#include "serial/port_service.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace zelqon {

class SerialLink;

// Where a command sequence stands, told after each of its commands.
struct SequenceProgress {
  Operation operation = Operation::SendRadio;
  int step = 0;                         // the command just handled, from 1
  int count = 0;                        // commands in the sequence
  int radio = 0;                        // the radio of that command
  bool written = true;                  // false when that command failed and the sequence goes on
  std::chrono::milliseconds nextIn{0};  // until the next command; 0 after the last
};

// Everything between a front end and the controller: the port numbering, the
// serial link, the receive poll, the command sequences and what the operator
// is told when something fails. No widgets: the window and the command line
// drive it alike and listen to its signals.
//
// Sequences run as timed steps on the event loop, so the program stays
// responsive between commands. While one runs, the receive poll is skipped
// (what arrives waits for the first poll after it) and every other operation
// is refused.
class ControllerEngine final : public QObject {
  Q_OBJECT

 public:
  // Reads radio n's values as they stand at the moment its message is built.
  using RadioReader = std::function<RadioProgram(int radio)>;

  static constexpr std::chrono::milliseconds kCommandGap{3000};
  static constexpr std::chrono::milliseconds kPollInterval{1000};

  // The machine's ports as numbered by `ports`, over QSerialPort.
  explicit ControllerEngine(PortCatalog ports, QObject* parent = nullptr);
  // The same over another port service, which must read `ports`.
  ControllerEngine(std::shared_ptr<PortCatalog> ports, std::unique_ptr<PortService> service, QObject* parent = nullptr);
  ~ControllerEngine() override;

  // Defaults to the start-up values of every radio.
  void setRadioReader(RadioReader reader) { m_readRadio = std::move(reader); }

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

  // Operations an operator starts. Each returns false, and does nothing, while
  // a sequence runs; otherwise it reports its own failures through failed().
  bool sendRadioProgram(int radio);
  bool sendAllRadioPrograms();
  bool sendFactoryProgramming();
  bool sendAtualizarCommand();
  // Closes the port and takes `number` for the next open; no number (a typed
  // text that is not one) leaves the previous number in place.
  bool changePort(std::optional<qint16> number, const QString& asTyped = {});
  // Opens the port now, for a front end that only listens.
  bool openPort();

  // Opens on demand and passes on what arrived; silent on failure, since it
  // runs every second and simply tries again.
  void pollReceive();
  // Closes the port if open, for the program's end; never fails.
  void closePort();

  [[nodiscard]] bool isBusy() const { return m_sequence.has_value(); }
  [[nodiscard]] bool isOpen() const;
  [[nodiscard]] qint16 portNumber() const;
  [[nodiscard]] const PortCatalog& ports() const { return *m_ports; }

 signals:
  // What a poll read, unless it was spaces alone: the monitor shows it as is.
  void received(const QString& text);
  // Every non-empty read, byte for byte.
  void rawReceived(const QByteArray& bytes);
  // What a radio's send adds to the monitor before its message is written.
  void echoed(const QString& text);
  void progress(const zelqon::SequenceProgress& progress);
  void failed(const zelqon::OperationFailure& failure);
  // The open port went away by itself; `text` is the operator's notice.
  void connectionLost(const zelqon::LinkError& error, const QString& text);
  // An operation began or ended.
  void busyChanged(bool busy);
  // A device appeared, went away or came back.
  void portsChanged();

 private:
  struct Step {
    int radio = 0;
    std::function<void()> run;  // raises LinkError
  };
  struct Sequence {
    Operation operation;
    QList<Step> steps;
    bool stopAtFailure;
    qsizetype next = 0;
    int written = 0;
  };

  bool start(Operation operation, QList<Step> steps, bool stopAtFailure);
  void runNextStep();
  void onGapTimer();
  void writeRadioProgram(int radio);
  void report(Operation operation, int radio, const LinkError& error, int written, int total);

  std::shared_ptr<PortCatalog> m_ports;
  SerialLink* m_link = nullptr;
  RadioReader m_readRadio;
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
