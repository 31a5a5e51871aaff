#pragma once

#include <QStringView>
#include <QtGlobal>

#include <optional>

namespace zelqon {

// The leading decimal number of a text, as the port list reads typed text:
// blanks (space, tab, line feed) are skipped anywhere; then an optional sign,
// digits, an optional '.' with digits and an optional exponent (E or e, sign,
// digits). Reading stops at the first character that cannot continue the
// number; a text that does not start with one is 0.
[[nodiscard]] double leadingNumber(QStringView text);

// The port number of a typed text: its leading number rounded half to even.
// Empty when the result does not fit a 16-bit signed integer.
[[nodiscard]] std::optional<qint16> portNumberFromText(QStringView text);

}  // namespace zelqon
