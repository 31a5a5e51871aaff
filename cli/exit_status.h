#pragma once

#include "protocol/link_error.h"

namespace zelqon::cli {

// What the program's exit status tells a script.
enum class ExitStatus : int {
  Ok = 0,
  Usage = 2,            // refused before any port was opened
  NoSuchPort = 3,       // no device behind that number or path; a server name that does not resolve, or
                        // nothing listening on its port
  AccessDenied = 4,     // no permission, or another program holds the port; a server that closes the
                        // connection at once (another client holds its serial port), or refuses this
                        // computer (no certificate of it, or not one it allows); a key file refused
  IoFailure = 5,        // a write or another port operation failed; a server that does not answer, does not
                        // speak RFC 2217 or refuses the line settings
  ConnectionLost = 6,   // the device went away, or the connection to the server went down, while open
  ServerNotProven = 7,  // a TLS server whose certificate did not prove it is the server meant
  Interrupted = 130,    // stopped with Ctrl+C (SIGINT) or SIGTERM, as shells count it
};

[[nodiscard]] ExitStatus exitStatusOf(LinkFault fault);

}  // namespace zelqon::cli
