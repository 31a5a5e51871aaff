#pragma once

// Facts the engine tells its front ends and the words made from them
// (engine/operator_text) share, apart from the engine itself.

#include "protocol/link_error.h"

#include <chrono>

namespace zelqon {

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
