#pragma once

#include "protocol/site_profile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace zelqon {

// The site profile open in the window: its file, the values it held when last
// read or written, and that file's bytes at the same moment, so that an edit
// made outside the program is noticed before a save overwrites it.
class OpenProfile {
 public:
  [[nodiscard]] bool isOpen() const { return m_saved.has_value(); }
  [[nodiscard]] const QString& path() const { return m_path; }
  // The file's name without its folder, as the title and questions show it.
  [[nodiscard]] QString fileName() const;
  [[nodiscard]] const std::optional<SiteProfile>& saved() const { return m_saved; }

  // Reads the file at `path`; on success it becomes the open profile once
  // adopt() is called, so that a caller can still decline it.
  [[nodiscard]] ProfileReadResult read(const QString& path);
  void adopt(const QString& path, const SiteProfile& profile);
  // Writes `profile` to `path` (keeping what the person wrote in the file)
  // and makes it the open profile; why it could not be written, and then
  // nothing changes.
  [[nodiscard]] std::optional<ProfileProblem> save(const QString& path, const SiteProfile& profile);

  // Whether the values differ from the open profile; never with none open.
  [[nodiscard]] bool differsFrom(const SiteProfile& current) const { return m_saved && current != *m_saved; }
  // Whether the file now holds other bytes than when it was last read or
  // written here. A file that has gone holds nothing a save could overwrite.
  [[nodiscard]] bool changedOnDisk() const;

 private:
  QString m_path;
  std::optional<SiteProfile> m_saved;
  std::optional<QByteArray> m_diskBytes;  // as read before parsing, or after writing
  std::optional<QByteArray> m_readBytes;  // taken by read(), kept by adopt()
};

}  // namespace zelqon
