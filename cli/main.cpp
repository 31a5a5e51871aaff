// zelqon-cli: the controller's programming from a shell, on the same engine
// as the window, with no display needed.

#include "cli/command_line.h"
#include "cli/controller_run.h"
#include "cli/exit_status.h"
#include "engine/qt_portuguese.h"

#include <QCoreApplication>

using namespace zelqon::cli;

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zelqon-cli"));
  QCoreApplication::setApplicationVersion(QStringLiteral(ZELQON_VERSION));
  const auto qtTexts = zelqon::installQtPortuguese();

  Request request;
  try {
    CommandLine commandLine;
    request = commandLine.parse(QCoreApplication::arguments());
  } catch (const UsageError& error) {
    printError(error.text());
    return int(ExitStatus::Usage);
  }

  if (request.command == Command::Ports)
    return int(listPorts());
  if (request.command == Command::Check)
    return int(ExitStatus::Ok);  // read in full, nothing to say
  if (request.dryRun)
    return int(printMessages(request));
  return int(runOnController(request));
}
