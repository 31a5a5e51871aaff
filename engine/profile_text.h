#pragma once

#include "protocol/site_profile.h"

#include <QString>

namespace zelqon {

// The operator's words for a profile and for how a port and a time are
// written, made from the facts the lower layers return; the window and
// zelqon-cli both use them.

// How a network serial server is written: "rfc2217://SERVIDOR:PORTA, ...
// ou tcp+tls://SERVIDOR:PORTA"; and every way of writing a port, that one last. For
// every refusal of a port, in a profile, on the command line or in the window.
[[nodiscard]] QString describeNetworkPortForms();
[[nodiscard]] QString describePortForms();

// The debounce and hang times a message can carry: "0 a 10000 ms, de 100 em
// 100", for every refusal of a time and the help.
[[nodiscard]] QString describeDelayRange();

// One line: "site.zelqon:7:10: reason" as compilers write it, for a
// refused profile; a whole sentence naming the file for one not saved.
[[nodiscard]] QString describeProfileProblem(const ProfileProblem& problem);

// Every key of a profile, a line each, for zelqon-cli --help.
[[nodiscard]] QString describeProfileKeys();

}  // namespace zelqon
