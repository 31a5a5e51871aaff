#pragma once

namespace zelqon::cli {

// Standard output carries the controller's bytes as they came (monitor) and
// messages a script reads back: on Windows it is switched from text mode,
// which would turn every LF into CR LF, to bytes, and the console shows the
// program's UTF-8 as such. Elsewhere there is nothing to do.
void prepareConsole();

}  // namespace zelqon::cli
