#pragma once

#include <QByteArray>
#include <QString>

namespace zelqon::cli {

// Standard output carries the controller's bytes as they came (monitor) and
// messages a script reads back: on Windows it is switched from text mode,
// which would turn every LF into CR LF, to bytes, and the console shows the
// program's UTF-8 as such. Elsewhere there is nothing to do.
void prepareConsole();

// Writes `bytes` to standard output as they are, at once.
void writeOut(const QByteArray& bytes);

// A multi-line operator text as one line of standard error.
[[nodiscard]] QString oneLine(const QString& text);

// Writes "zelqon-cli: <text>" and a line break to standard error.
void printError(const QString& text);
// Writes `text` and a line break to standard error.
void printNotice(const QString& text);

// Whether standard input is a terminal, where an operator can answer.
[[nodiscard]] bool standardInputIsTerminal();
// Writes `prompt` to standard error and reads one line typed back, trimmed;
// a long line is cut.
[[nodiscard]] QString askLine(const QString& prompt);

}  // namespace zelqon::cli
