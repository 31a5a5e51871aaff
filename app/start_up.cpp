#include "app/start_up.h"

#include "engine/qt_portuguese.h"
#include "record/session_record.h"
#include "ui/deferred_icon_style.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QScreen>

namespace zelqon {

std::unique_ptr<Programador> startProgrammingWindow(const std::function<PortCatalog()>& discoverPorts,
                                                    const QString& profilePath) {
  QApplication::setApplicationName(QStringLiteral("zelqon"));
  // The desktop shows it after every window title that does not end with it.
  QApplication::setApplicationDisplayName(QStringLiteral("ZELQON"));
  QGuiApplication::setDesktopFileName(QStringLiteral("zelqon"));
  if (auto qtTexts = installQtPortuguese())
    qtTexts.release()->setParent(qApp);
#ifndef Q_OS_WIN
  // The Windows folder carries no image format plugins to spare.
  QApplication::setStyle(new DeferredIconStyle);
#endif

  auto window = std::make_unique<Programador>(discoverPorts);
  // Every message sent and every byte received, in a file a day.
  window->engine().recordSession(new SessionRecord(RecordTarget::DailyFiles, sessionRecordFolder()));
  QObject::connect(window.get(), &Programador::endRequested, qApp, [] { QCoreApplication::exit(0); });
  if (const QScreen* screen = window->screen())
    window->move(screen->availableGeometry().center() - window->rect().center());
  window->show();
  if (!profilePath.isEmpty())
    window->openProfile(QFileInfo(profilePath).absoluteFilePath());
  return window;
}

QString profileFromCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Programador da controladora ZELQON."));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("perfil"), QStringLiteral("Perfil de site (.zelqon) a abrir."),
                               QStringLiteral("[PERFIL]"));
  parser.process(arguments);
  const QStringList given = parser.positionalArguments();
  if (given.size() > 1)
    parser.showHelp(2);
  return given.value(0);
}

}  // namespace zelqon
