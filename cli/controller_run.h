#pragma once

#include "cli/command_line.h"
#include "cli/exit_status.h"

namespace zelqon::cli {

// Runs a request read in full: `ports` lists, `check` has nothing more to say,
// --dry-run prints the messages, the rest talk to the controller, each step
// reported on standard error as it goes (on the application's event loop).
[[nodiscard]] ExitStatus runRequest(const Request& request);

}  // namespace zelqon::cli
