#pragma once

#include "cli/command_line.h"
#include "cli/exit_status.h"

namespace zelqon::cli {

// `ports`: the window's list, one port a line: number, device, description.
[[nodiscard]] ExitStatus listPorts();

// --dry-run: the messages `send` or `factory` would write, one a line.
[[nodiscard]] ExitStatus printMessages(const Request& request);

// `send`, `factory` or `monitor` on the controller's port, reported on
// standard error as they go. Runs the application's event loop.
[[nodiscard]] ExitStatus runOnController(const Request& request);

}  // namespace zelqon::cli
