#pragma once

#include "protocol/port_address.h"
#include "protocol/radio_program.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace zelqon {

// One site's settings as a hand-editable TOML file (extension .zelqon):
//
//   versao = 1
//   [site]                 optional: nome, notas, porta
//   [radio1] .. [radio4]   all required: cor, aciona, debounce_ms, hang_ms
//
// formatSiteProfile() writes the whole format with comments, so a saved file
// teaches its own keys.
struct SiteProfile {
  std::array<RadioProgram, kRadioCount> radios;  // radios[0] is radio 1
  std::optional<PortChoice> port;                // none when the file names none
  QString siteName;
  QString notes;

  friend bool operator==(const SiteProfile&, const SiteProfile&) = default;
};

inline constexpr int kSiteProfileVersion = 1;
inline constexpr qint64 kLargestSiteProfileBytes = 1024 * 1024;
inline const QString kSiteProfileSuffix = QStringLiteral("zelqon");

// Why a profile was refused, and where. line and column count from 1; 0 when
// the reason has no place in the file (a missing section, an unreadable file).
struct ProfileProblem {
  QString fileName;
  int line = 0;
  int column = 0;
  QString reason;

  // One line, as compilers write it: "site.zelqon:7:10: reason".
  [[nodiscard]] QString text() const;
};

struct ProfileReadResult {
  std::optional<SiteProfile> profile;  // empty when refused
  ProfileProblem problem;              // set when refused
};

// Reads a profile from the bytes of a file; `fileName` only names it in the
// problem. Refuses anything but a complete, valid profile of a version this
// program knows.
[[nodiscard]] ProfileReadResult parseSiteProfile(const QByteArray& bytes, const QString& fileName);

// Reads the file at `path` (at most kLargestSiteProfileBytes).
[[nodiscard]] ProfileReadResult readSiteProfile(const QString& path);

// The profile as the text of a .zelqon file, UTF-8, with comments.
[[nodiscard]] QByteArray formatSiteProfile(const SiteProfile& profile);

// Writes the profile to `path` through a temporary file in the same folder,
// renamed over the old file only once fully written: on failure the old file
// is left as it was. Returns the reason (Portuguese, naming the file) when
// the file could not be written, nothing on success.
[[nodiscard]] std::optional<QString> saveSiteProfile(const QString& path, const SiteProfile& profile);

}  // namespace zelqon
