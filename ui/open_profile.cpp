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
  ProfileReadResult read = readSiteProfile(path);
  m_readBytes = read.bytes;  // exactly what was parsed: a later edit makes the next save ask
  return read;
}

void OpenProfile::adopt(const QString& path, const SiteProfile& profile) {
  m_path = path;
  m_saved = profile;
  m_diskBytes = m_readBytes;
}

std::optional<ProfileProblem> OpenProfile::save(const QString& path, const SiteProfile& profile) {
  ProfileSaveResult saved = saveSiteProfile(path, profile);
  if (saved.problem)
    return saved.problem;
  m_path = path;
  m_saved = profile;
  m_diskBytes = std::move(saved.bytes);
  return std::nullopt;
}

bool OpenProfile::changedOnDisk() const {
  if (!isOpen())
    return false;
  const std::optional<QByteArray> now = diskBytes(m_path);
  return now && now != m_diskBytes;
}

}  // namespace zelqon
