#include "ui/open_profile.h"

#include <QFile>
#include <QFileInfo>

namespace zelqon {

namespace {

// The file's bytes, up to one more than a profile may hold; nothing when it
// cannot be read.
std::optional<QByteArray> diskBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  return file.read(kLargestSiteProfileBytes + 1);
}

}  // namespace

QString OpenProfile::fileName() const { return QFileInfo(m_path).fileName(); }

ProfileReadResult OpenProfile::read(const QString& path) {
  // Taken before parsing: an edit landing between the two makes the next save
  // ask, never overwrite it unseen.
  m_readBytes = diskBytes(path);
  return readSiteProfile(path);
}

void OpenProfile::adopt(const QString& path, const SiteProfile& profile) {
  m_path = path;
  m_saved = profile;
  m_diskBytes = m_readBytes;
}

std::optional<QString> OpenProfile::save(const QString& path, const SiteProfile& profile) {
  if (auto failure = saveSiteProfile(path, profile))
    return failure;
  m_path = path;
  m_saved = profile;
  m_diskBytes = diskBytes(path);
  return std::nullopt;
}

bool OpenProfile::changedOnDisk() const {
  if (!isOpen())
    return false;
  const std::optional<QByteArray> now = diskBytes(m_path);
  return now && now != m_diskBytes;
}

}  // namespace zelqon
