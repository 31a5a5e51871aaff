#include "protocol/site_profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zelqon {

namespace {

ProfileProblem fileProblem(ProfileCause cause, const QString& path, const QFileDevice& file) {
  ProfileProblem problem;
  problem.cause = cause;
  problem.fileName = path;
  problem.value = file.errorString();
  return problem;
}

}  // namespace

ProfileReadResult readSiteProfile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return {std::nullopt, fileProblem(ProfileCause::CannotOpen, path, file), {}};
  // One byte past the limit tells a file that is too large without reading
  // all of it.
  const QByteArray bytes = file.read(kLargestSiteProfileBytes + 1);
  if (file.error() != QFileDevice::NoError)
    return {std::nullopt, fileProblem(ProfileCause::CannotRead, path, file), {}};
  return parseSiteProfile(bytes, path);
}

ProfileSaveResult saveSiteProfile(const QString& path, const SiteProfile& profile) {
  const auto failure = [&path](const QFileDevice& file) {
    return ProfileSaveResult{fileProblem(ProfileCause::CannotSave, path, file), {}};
  };
  QByteArray original;
  QFile current(path);
  if (current.exists()) {
    if (!current.open(QIODevice::ReadOnly))
      return failure(current);
    original = current.read(kLargestSiteProfileBytes + 1);
    if (current.error() != QFileDevice::NoError)
      return failure(current);
    if (original.size() > kLargestSiteProfileBytes)  // no profile this program reads: written anew
      original.clear();
    // Windows renames nothing over a file that is open.
    current.close();
  }
  const QByteArray text = updateSiteProfileText(original, profile);
  QSaveFile file(path);
  // Unbuffered: a buffered QSaveFile drops what a short write (a full disk)
  // left in its buffer and still commits the truncated file.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
    return failure(file);
  // A short write is retried so that the next one tells the system's reason.
  for (qint64 done = 0; done < text.size();) {
    const qint64 written = file.write(text.constData() + done, text.size() - done);
    if (written <= 0) {
      ProfileSaveResult result = failure(file);
      file.cancelWriting();
      return result;
    }
    done += written;
  }
  if (!file.commit())
    return failure(file);
  return {std::nullopt, text};
}

QString profileFilePath(const QString& profilePath, const QString& named) {
  return QDir::cleanPath(QFileInfo(profilePath).absoluteDir().absoluteFilePath(named));
}

void moveProfileFiles(SiteProfile& profile, const QString& oldPath, const QString& newPath) {
  const QDir newFolder = QFileInfo(newPath).absoluteDir();
  for (const ProfileKey& key : kProfileKeys) {
    if (key.value != ProfileValue::FilePath)
      continue;  // only a FilePath key has a text field
    QString& named = profile.*key.text;
    if (!named.isEmpty() && QDir::isRelativePath(named))
      named = newFolder.relativeFilePath(profileFilePath(oldPath, named));
  }
}

}  // namespace zelqon
