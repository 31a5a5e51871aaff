#pragma once

#include "ui/layout_tables.h"

#include <QString>

namespace zelqon::layout {

// The name of an element on radio n's page: R<n>_Cor, Text7, EnviaR3, ...
[[nodiscard]] QString pageControlName(int radio, PageRole role);

// Its caption or initial text: "COR 2", "PTT1", "Desativado", ...
[[nodiscard]] QString pageCaption(int radio, PageRole role);

// The route key (2..4) of a route box or button, 0 for other elements.
[[nodiscard]] int routeKeyOf(PageRole role);

}  // namespace zelqon::layout
