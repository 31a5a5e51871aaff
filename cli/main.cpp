// zelqon-cli: the controller's programming from a shell, on the same engine
// as the window, with no display needed.

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/controller_run.h"
#include "cli/exit_status.h"
#include "engine/qt_portuguese.h"

#include <QCoreApplication>

using namespace zelqon::cli;

int main(int argc, char* argv[]) {
  prepareConsole();
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zelqon-cli"));
  QCoreApplication::setApplicationVersion(QStringLiteral(ZELQON_VERSION));
  const auto qtTexts = zelqon::installQtPortuguese();

  const ParseResult parsed = parseCommandLine(QCoreApplication::arguments());
  if (const auto* shown = std::get_if<ShownText>(&parsed)) {
    writeOut(shown->text.toUtf8());
    return int(ExitStatus::Ok);
  }
  if (const auto* refusal = std::get_if<Refusal>(&parsed)) {
    printError(refusal->text);
    return int(refusal->status);
  }
  return int(runRequest(std::get<Request>(parsed)));
}
