#include "ui/monitor_text_store.h"

#include <algorithm>
#include <cstring>

namespace zelqon {

namespace {

constexpr char16_t kControlPictures = 0x2400;
constexpr char16_t kDeletePicture = 0x2421;

bool isContinuation(char byte) { return (uchar(byte) & 0xc0) == 0x80; }

// Bytes of the UTF-8 sequence that `lead` opens.
int sequenceLength(char lead) {
  const uchar byte = uchar(lead);
  if (byte < 0x80)
    return 1;
  if ((byte & 0xe0) == 0xc0)
    return 2;
  return (byte & 0xf0) == 0xe0 ? 3 : 4;
}

// UTF-16 units of the character that `lead` opens.
int unitsOf(char lead) { return sequenceLength(lead) == 4 ? 2 : 1; }

bool isBreak(char byte) { return byte == '\r' || byte == '\n'; }

}  // namespace

QChar MonitorTextStore::shownChar(char16_t code) {
  if (code < 0x20 && code != u'\t')
    return QChar(char16_t(kControlPictures + code));
  if (code == 0x7f)
    return QChar(kDeletePicture);
  return QChar(code);
}

std::optional<MonitorTextStore::Cut> MonitorTextStore::append(QStringView tail) {
  if (tail.isEmpty())
    return std::nullopt;
  const qsizetype from = m_bytes.size();
  m_bytes += tail.toUtf8();
  m_characters += countCharacters(from, m_bytes.size());
  // From the line before the last: an LF may close the CR that ended it.
  rebuildLines(std::max(0, lineCount() - 2), m_bytes.size(), 0);
  return cutToBound();
}

qsizetype MonitorTextStore::replace(qsizetype from, qsizetype to, QStringView text) {
  const QByteArray bytes = text.toUtf8();
  // The byte after the edit is counted too: an LF there may join or leave a CR.
  m_characters -= countCharacters(from, std::min(to + 1, m_bytes.size()));
  m_bytes.replace(from, to - from, bytes);
  const qsizetype end = from + bytes.size();
  m_characters += countCharacters(from, std::min(end + 1, m_bytes.size()));
  if (from < m_noteBytes)  // an edit in the note: what precedes it stays the note
    m_noteBytes = to <= m_noteBytes ? m_noteBytes + end - to : from;
  rebuildLines(std::max(0, lineAt(from) - 1), end, end - to);
  return settledPosition(end);
}

void MonitorTextStore::clear() {
  m_bytes.clear();
  m_lineStarts.assign(1, 0);
  m_characters = 0;
  m_noteBytes = 0;
}

QString MonitorTextStore::exactText(qsizetype from, qsizetype to) const {
  return QString::fromUtf8(m_bytes.constData() + from, to - from);
}

qsizetype MonitorTextStore::lineEnd(int line) const {
  if (line + 1 >= lineCount())
    return m_bytes.size();
  const qsizetype next = lineStart(line + 1);
  if (m_bytes[next - 1] == '\r')
    return next - 1;
  if (m_bytes[next - 1] == '\n')
    return next - (next >= 2 && m_bytes[next - 2] == '\r' ? 2 : 1);
  return next;  // a piece: nothing between it and the next
}

int MonitorTextStore::lineAt(qsizetype position) const {
  const auto after = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), quint32(position));
  return int(after - m_lineStarts.begin()) - 1;
}

QString MonitorTextStore::shownLine(int line) const {
  QString shown = exactText(lineStart(line), lineEnd(line));
  for (QChar& character : shown)
    character = shownChar(character.unicode());
  return shown;
}

int MonitorTextStore::columnOf(qsizetype position) const {
  int column = 0;
  for (qsizetype at = lineStart(lineAt(position)); at < position; at += sequenceLength(m_bytes[at]))
    column += unitsOf(m_bytes[at]);
  return column;
}

qsizetype MonitorTextStore::positionAt(int line, int column) const {
  const qsizetype end = lineEnd(line);
  qsizetype at = lineStart(line);
  for (int passed = 0; at < end && passed < column; at += sequenceLength(m_bytes[at]))
    passed += unitsOf(m_bytes[at]);
  return at;
}

qsizetype MonitorTextStore::nextPosition(qsizetype position) const {
  if (position >= m_bytes.size())
    return m_bytes.size();
  const int line = lineAt(position);
  if (position == lineEnd(line))  // over the line break, whole
    return lineStart(line + 1);
  return position + sequenceLength(m_bytes[position]);
}

qsizetype MonitorTextStore::settledPosition(qsizetype position) const {
  const int line = lineAt(position);
  return position > lineEnd(line) ? lineStart(line + 1) : position;
}

qsizetype MonitorTextStore::previousPosition(qsizetype position) const {
  if (position <= 0)
    return 0;
  const int line = lineAt(position);
  if (position == lineStart(line) && lineEnd(line - 1) < position)
    return lineEnd(line - 1);
  do
    --position;
  while (position > 0 && isContinuation(m_bytes[position]));
  return position;
}

QString MonitorTextStore::readerText(qsizetype from, qsizetype to) const {
  const QString exact = exactText(from, to);
  QString shown;
  shown.reserve(exact.size());
  for (qsizetype i = 0; i < exact.size(); ++i) {
    const QChar character = exact[i];
    if (character == QLatin1Char('\r') && i + 1 < exact.size() && exact[i + 1] == QLatin1Char('\n'))
      continue;  // the LF that follows stands for the pair
    const bool lineBreak = character == QLatin1Char('\r') || character == QLatin1Char('\n');
    shown += lineBreak ? QChar(QChar::LineFeed) : shownChar(character.unicode());
  }
  return shown;
}

qsizetype MonitorTextStore::positionAtReaderOffset(qsizetype offset) const {
  qsizetype position = 0;
  for (qsizetype passed = 0; passed < offset && position < m_bytes.size();) {
    const qsizetype next = nextPosition(position);
    passed += countCharacters(position, next);
    position = next;
  }
  return position;
}

qsizetype MonitorTextStore::countCharacters(qsizetype from, qsizetype to) const {
  qsizetype count = 0;
  for (qsizetype at = from; at < to; ++at) {
    const char byte = m_bytes[at];
    if (isContinuation(byte) || (byte == '\n' && at > 0 && m_bytes[at - 1] == '\r'))
      continue;
    count += unitsOf(byte);
  }
  return count;
}

void MonitorTextStore::rebuildLines(int first, qsizetype settled, qsizetype moved) {
  const std::vector<quint32> old(m_lineStarts.begin() + first + 1, m_lineStarts.end());
  m_lineStarts.resize(std::size_t(first) + 1);
  int column = 0;
  for (qsizetype at = lineStart(first); at < m_bytes.size();) {
    const char byte = m_bytes[at];
    if (isBreak(byte)) {
      at += byte == '\r' && at + 1 < m_bytes.size() && m_bytes[at + 1] == '\n' ? 2 : 1;
      m_lineStarts.push_back(quint32(at));
      column = 0;
      if (at < settled)
        continue;
      // The rest of the text is as it was, and so are its lines.
      const auto same = std::lower_bound(old.begin(), old.end(), quint32(at - moved));
      if (same != old.end() && *same == quint32(at - moved)) {
        std::transform(same + 1, old.end(), std::back_inserter(m_lineStarts),
                       [moved](quint32 start) { return quint32(start + moved); });
        return;
      }
      continue;
    }
    if (column == kLongestShownLine) {
      m_lineStarts.push_back(quint32(at));
      column = 0;
    }
    column += unitsOf(byte);
    at += sequenceLength(byte);
  }
}

std::optional<MonitorTextStore::Cut> MonitorTextStore::cutToBound() {
  const qsizetype noteCharacters = countCharacters(0, m_noteBytes);
  if (m_characters - noteCharacters <= m_textBound)
    return std::nullopt;
  // Down to seven eighths of the bound, so that the next cut is an eighth of
  // the bound of appends away; cut where a line begins, if one begins after.
  qsizetype from = m_noteBytes;
  for (qsizetype leaving = m_characters - noteCharacters - (m_textBound - m_textBound / 8); leaving > 0;) {
    const qsizetype next = nextPosition(from);
    leaving -= countCharacters(from, next);
    from = next;
  }
  const int firstKept = lineAt(from) + (lineStart(lineAt(from)) < from ? 1 : 0);
  const qsizetype end = firstKept < lineCount() ? lineStart(firstKept) : from;

  QByteArray note = removedTextNote().toUtf8() + "\r\n";
  const qsizetype kept = m_bytes.size() - end;
  const qsizetype removed = countCharacters(0, end);
  m_characters -= removed;
  if (note.size() > end)
    m_bytes.resize(note.size() + kept);
  // One move of the kept text to the front: the buffer never creeps forward.
  std::memmove(m_bytes.data() + note.size(), m_bytes.constData() + end, std::size_t(kept));
  std::memcpy(m_bytes.data(), note.constData(), std::size_t(note.size()));
  m_bytes.resize(note.size() + kept);
  m_noteBytes = note.size();
  const qsizetype added = countCharacters(0, m_noteBytes);
  m_characters += added;

  rebuildLines(0, m_noteBytes, m_noteBytes - end);
  return Cut{end, m_noteBytes, firstKept - lineAt(m_noteBytes), removed, added};
}

QString MonitorTextStore::removedTextNote() const {
  QString note = QStringLiteral("… texto anterior removido do monitor; ");
  const std::optional<QString> file = m_recordFile ? m_recordFile() : std::nullopt;
  if (!file)
    return note + QStringLiteral("o registro da sessão está desligado e esse texto não foi guardado");
  if (file->isEmpty())
    return note + QStringLiteral("o registro da sessão parou por uma falha e esse texto pode não ter sido guardado");
  note += QStringLiteral("a sessão completa está no registro: ");
  for (const QChar character : *file)  // a line break in a name must not end the note
    note += shownChar(character.unicode());
  return note;
}

}  // namespace zelqon
