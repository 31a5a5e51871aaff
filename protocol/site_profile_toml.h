#pragma once

// toml++ for the profile sources that read TOML, with the same settings in
// each. It is used header-only: the program then needs no toml++ library at
// run time.

#include "protocol/site_profile.h"

#define TOML_HEADER_ONLY 1
#define TOML_EXCEPTIONS 0
#define TOML_ENABLE_FORMATTERS 0
#include <toml++/toml.h>

namespace zelqon {

// True when `node`, the file's value for `key`, reads as what `profile`
// holds; `radio` is 0 for a key outside the radios.
[[nodiscard]] bool holdsSame(const ProfileKey& key, int radio, const toml::node& node, const SiteProfile& profile);

}  // namespace zelqon
