// Build-time tool: writes the program's icon into a hicolor icon theme tree,
// drawn by the same code as the window icon.
//   zelqon_render_icon OUTPUT_DIR SIZE...
// writes OUTPUT_DIR/SIZExSIZE/apps/zelqon.png for each size.

#include "ui/app_icon.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QStringList>
#include <QTextStream>

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  QTextStream err(stderr);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() < 3) {
    err << "usage: " << args.value(0) << " OUTPUT_DIR SIZE...\n";
    return 2;
  }

  const QDir root(args.at(1));
  for (qsizetype i = 2; i < args.size(); ++i) {
    bool ok = false;
    const int size = args.at(i).toInt(&ok);
    if (!ok || size < 1 || size > 1024) {
      err << "not an icon size: " << args.at(i) << '\n';
      return 2;
    }
    const QString dir = QStringLiteral("%1x%1/apps").arg(size);
    if (!root.mkpath(dir)) {
      err << "cannot create " << root.filePath(dir) << '\n';
      return 1;
    }
    const QString file = root.filePath(dir + QStringLiteral("/zelqon.png"));
    if (!zelqon::drawAppIcon(size).save(file, "PNG")) {
      err << "cannot write " << file << '\n';
      return 1;
    }
  }
  return 0;
}
