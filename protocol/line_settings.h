#pragma once

#include <QtGlobal>

namespace zelqon {

// The controller's serial line: 19200 bit/s, 8 data bits, no parity, 1 stop
// bit, no flow control; every byte takes 10 bits on it (start, 8 data, stop).
inline constexpr qint32 kLineBitRate = 19200;
inline constexpr int kLineBitsPerByte = 10;

}  // namespace zelqon
