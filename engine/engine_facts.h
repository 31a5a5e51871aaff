#pragma once

// What the engine tells its front ends about the operations they start,
// apart from the engine itself, so that the words made from these facts
// (engine/operator_text) need not know the engine.

#include "protocol/link_error.h"
#include "serial/port_diagnosis.h"

#include <chrono>

namespace zelqon {

// The operations an operator starts; each reports its own failure.
enum class Operation { SendRadio, SendAllRadios, FactoryProgramming, Atualizar, ChangePort, OpenPort };

// Whether an operation asked of the engine was taken up.
enum class OperationStart {
  Started,         // under way; its end is told by signals
  RefusedBusy,     // another operation is running
  RefusedArgument  // a radio outside 1..4, or the like: nothing was done
};

struct OperationFailure {
  Operation operation = Operation::SendRadio;
  int radio = 0;  // the radio whose command failed; 0 for commands of no radio
  LinkError error;
  int written = 0;  // commands of the operation that went out before it stopped
  int total = 1;    // commands the operation writes when nothing fails
  // An open refused with "access denied": who holds the port, or the group
  // that owns it. Looked into once per failure the operator sees.
  std::optional<AccessDeniedFacts> accessDenied;
  // No such port: the ports there now, by the names the operator picks from.
  std::optional<QStringList> presentPorts;
};

// Where a command sequence stands, told after each of its commands.
struct SequenceProgress {
  Operation operation = Operation::SendRadio;
  int step = 0;                         // the command just handled, from 1
  int count = 0;                        // commands in the sequence
  int radio = 0;                        // the radio of that command
  bool written = true;                  // false when that command failed and the sequence goes on
  std::chrono::milliseconds nextIn{0};  // until the next command; 0 after the last
};

// What follows the loss of an open port: the window opens it again when it
// is next needed; a command-line run ends.
enum class AfterLoss { ReopenOnNextUse, Stop };

}  // namespace zelqon
