#pragma once

// A profile's names and values as its file writes them, for the profile
// sources alone (defined in site_profile_writing.cpp).

#include "protocol/site_profile.h"

#include <QByteArray>
#include <QString>

namespace zelqon {

[[nodiscard]] QString radioSection(int radio);  // "radio1" .. "radio4"
// "site", or radioSection(radio) for a radio key.
[[nodiscard]] QString sectionName(ProfileSection section, int radio);

// The four ways TOML quotes a text; saving keeps the one the file uses.
enum class StringForm { Basic, MultiLineBasic, Literal, MultiLineLiteral };

// The form of the string that starts at `offset` in `bytes`.
[[nodiscard]] StringForm formAt(const QByteArray& bytes, qsizetype offset);

// One value as TOML text, a text in `form` if it can hold it; `radio` is 0
// for a key outside the radios.
[[nodiscard]] QByteArray valueText(const ProfileKey& key, const SiteProfile& profile, int radio, StringForm form);

// "key = value", a text in the form that suits it.
[[nodiscard]] QByteArray assignment(const ProfileKey& key, const SiteProfile& profile, int radio);

// A key the file lacks is written when it must be there or has a value.
[[nodiscard]] bool belongsInFile(const ProfileKey& key, const SiteProfile& profile);

}  // namespace zelqon
