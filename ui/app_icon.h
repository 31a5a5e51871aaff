#pragma once

#include <QImage>

namespace zelqon {

// The program's icon, drawn at any size from the same vector drawing: four
// radios around a controller that links them.
[[nodiscard]] QImage drawAppIcon(int size = 64);

}  // namespace zelqon
