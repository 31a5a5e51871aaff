#pragma once

#include "protocol/link_error.h"
#include "protocol/monitor_text.h"
#include "protocol/radio_program.h"

#include <chrono>
#include <functional>

namespace zelqon {

// What the commands need of the serial link. Both may raise LinkError.
class ControllerLink {
 public:
  virtual ~ControllerLink() = default;
  virtual void ensurePortOpen() = 0;
  virtual void writeText(const QString& text) = 0;
};

// The four programming operations. Each one traps its own failure: the steps
// after the failing one are skipped, what was done stays done, and the failure
// goes to the observer instead of the caller.
class ProgrammingCommands {
 public:
  // Reads radio n's values as the window shows them at that moment.
  using RadioReader = std::function<RadioProgram(int radio)>;
  // Waits between two commands of a sequence.
  using Pause = std::function<void(std::chrono::milliseconds)>;
  using FailureObserver = std::function<void(const OperationFailure&)>;

  static constexpr std::chrono::milliseconds kCommandGap{3000};

  ProgrammingCommands(ControllerLink& link, MonitorText& monitor, RadioReader readRadio, Pause pause);

  void setFailureObserver(FailureObserver observer) { m_observer = std::move(observer); }

  void sendRadioProgram(int radio);
  void sendAllRadioPrograms();
  void sendFactoryProgramming();
  void sendAtualizarCommand();

 private:
  void sendRadioProgramSteps(int radio);
  void sendFactoryProgrammingSteps();
  template <typename Steps>
  void trapped(Operation operation, int radio, Steps&& steps);

  ControllerLink& m_link;
  MonitorText& m_monitor;
  RadioReader m_readRadio;
  Pause m_pause;
  FailureObserver m_observer;
};

}  // namespace zelqon
