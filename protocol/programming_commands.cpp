#include "protocol/programming_commands.h"

#include "protocol/programming_message.h"

namespace zelqon {

ProgrammingCommands::ProgrammingCommands(ControllerLink& link, MonitorText& monitor, RadioReader readRadio, Pause pause)
    : m_link(link), m_monitor(monitor), m_readRadio(std::move(readRadio)), m_pause(std::move(pause)) {}

template <typename Steps>
void ProgrammingCommands::trapped(Operation operation, int radio, Steps&& steps) {
  try {
    steps();
  } catch (const LinkError& error) {
    if (m_observer)
      m_observer(OperationFailure{operation, radio, error});
  }
}

void ProgrammingCommands::sendRadioProgram(int radio) {
  trapped(Operation::SendRadio, radio, [&] { sendRadioProgramSteps(radio); });
}

void ProgrammingCommands::sendRadioProgramSteps(int radio) {
  m_link.ensurePortOpen();
  const QString message = buildProgrammingMessage(radio, m_readRadio(radio));
  // The echo goes first, so a failed write leaves it standing, as the
  // operator's record of what was attempted.
  m_monitor.append(monitorEcho(radio, message));
  m_link.writeText(message);
}

void ProgrammingCommands::sendAllRadioPrograms() {
  // Each radio traps its own failure; the sequence goes on regardless.
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    if (radio > 1)
      m_pause(kCommandGap);
    sendRadioProgram(radio);
  }
}

void ProgrammingCommands::sendFactoryProgramming() {
  trapped(Operation::FactoryProgramming, 0, [&] { sendFactoryProgrammingSteps(); });
}

void ProgrammingCommands::sendFactoryProgrammingSteps() {
  m_link.ensurePortOpen();
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    if (radio > 1)
      m_pause(kCommandGap);
    m_link.writeText(factoryMessage(radio));
  }
}

void ProgrammingCommands::sendAtualizarCommand() {
  trapped(Operation::Atualizar, 0, [&] {
    m_link.ensurePortOpen();
    m_link.writeText(kAtualizarCommand);
  });
}

}  // namespace zelqon
