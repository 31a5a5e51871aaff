#pragma once

#include <QStringList>

namespace zelqon {

// The profiles last opened or saved, newest first, kept in the user's own
// configuration (~/.config/zelqon/zelqon.conf) across runs.
class RecentProfiles {
 public:
  static constexpr int kLongest = 8;

  [[nodiscard]] QStringList paths() const;
  // Puts `path` first, once, dropping the oldest beyond kLongest.
  void add(const QString& path);
  void remove(const QString& path);

 private:
  void store(const QStringList& paths);
};

}  // namespace zelqon
