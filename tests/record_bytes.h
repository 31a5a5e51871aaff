#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The bytes back from a record line's bytes field; nothing for a field no
// record holds (a lone backslash, an unknown escape, a bad hex digit, a raw
// control byte).
inline std::optional<QByteArray> decodeRecordBytes(QByteArrayView field) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  QByteArray bytes;
  for (qsizetype i = 0; i < field.size(); ++i) {
    const auto c = uchar(field[i]);
    if (c < 0x20 || c >= 0x7F)
      return std::nullopt;
    if (c != '\\') {
      bytes += char(c);
      continue;
    }
    if (++i >= field.size())
      return std::nullopt;
    switch (field[i]) {
      case '\\':
        bytes += '\\';
        break;
      case 'r':
        bytes += '\r';
        break;
      case 'n':
        bytes += '\n';
        break;
      case 't':
        bytes += '\t';
        break;
      case 'x': {
        const int high = i + 2 < field.size() ? QByteArrayView(kHexDigits).indexOf(field[i + 1]) : -1;
        const int low = high >= 0 ? QByteArrayView(kHexDigits).indexOf(field[i + 2]) : -1;
        if (low < 0)
          return std::nullopt;
        bytes += char(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return bytes;
}
