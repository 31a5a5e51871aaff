#include "engine/qt_portuguese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace zelqon {

std::unique_ptr<QTranslator> installQtPortuguese() {
  const QLocale portuguese(QLocale::Portuguese, QLocale::Brazil);
  auto translator = std::make_unique<QTranslator>();
  for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                QCoreApplication::applicationDirPath() + QStringLiteral("/translations")}) {
    if (translator->load(portuguese, QStringLiteral("qtbase"), QStringLiteral("_"), folder) &&
        QCoreApplication::installTranslator(translator.get()))
      return translator;
  }
  return nullptr;
}

}  // namespace zelqon
