#include "ui/recent_profiles.h"

#include <QFileInfo>
#include <QSettings>

namespace zelqon {

namespace {

const QString kKey = QStringLiteral("perfisRecentes");

const QString kOrganization = QStringLiteral("zelqon");
const QString kApplication = QStringLiteral("zelqon");

}  // namespace

QStringList RecentProfiles::paths() const {
  const QSettings settings(QSettings::UserScope, kOrganization, kApplication);
  const QStringList paths = settings.value(kKey).toStringList();
  // The file is the user's to edit: never more than the list holds.
  return paths.mid(0, kLongest);
}

void RecentProfiles::add(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList list = paths();
  list.removeAll(absolute);
  list.prepend(absolute);
  store(list.mid(0, kLongest));
}

void RecentProfiles::remove(const QString& path) {
  QStringList list = paths();
  list.removeAll(QFileInfo(path).absoluteFilePath());
  store(list);
}

void RecentProfiles::store(const QStringList& paths) {
  QSettings(QSettings::UserScope, kOrganization, kApplication).setValue(kKey, paths);
}

}  // namespace zelqon
