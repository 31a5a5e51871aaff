#pragma once

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <functional>
#include <optional>
#include <vector>

namespace zelqon {

// The monitor's text, held once: the exact text as received (and as the
// operator edited it) in one UTF-8 buffer, beside it the byte where each shown
// line starts. CR, LF and CR LF each end a line; a line that runs on without
// one is shown in pieces of kLongestShownLine characters, breaks that are no
// part of the text. A position is a byte of the buffer where a character
// starts; the break at the end of a line is one step, never split.
//
// Past a bound of characters the oldest lines leave in one cut of an eighth of
// the bound, so an append costs the same on average however much is held, and
// one line at the top says that older text was removed and where the whole
// session is. The bound counts characters as the text reads with each line
// break as one, which is also the offset a screen reader is given.
class MonitorTextStore {
 public:
  static constexpr int kLongestShownLine = 1024;
  // Hours of a saturated 19200 bit/s line, days of ordinary answers.
  static constexpr qsizetype kTextBound = qsizetype(16) * 1000 * 1000;
  static constexpr qsizetype kLargestTextBound = qsizetype(1) << 28;
  // The file the session record is writing now: empty when the record has
  // stopped on a failure, none when there is no record.
  using RecordFile = std::function<std::optional<QString>()>;

  // What a cut did, for whoever keeps positions or lines of the text.
  struct Cut {
    qsizetype end;        // the old positions before it are gone
    qsizetype keptAt;     // where the first kept character is now
    int linesRemovedNet;  // shown lines gone, less those of the new note
    qsizetype charactersRemoved;
    qsizetype noteCharacters;
    [[nodiscard]] qsizetype moved(qsizetype position) const {
      return position < end ? keptAt : position - end + keptAt;
    }
  };

  // Without a record file source, the note at the top says the record is off.
  void setRecordFile(RecordFile recordFile) { m_recordFile = std::move(recordFile); }
  // Line starts are 32-bit: the largest bound keeps the buffer well below 4 GiB.
  void setTextBound(qsizetype characters) { m_textBound = std::min(characters, kLargestTextBound); }

  // Received text goes on at the end; past the bound the oldest lines leave.
  std::optional<Cut> append(QStringView tail);
  // The operator's edit: [from, to) becomes `text`, kept exact. Gives the
  // position after the new text.
  qsizetype replace(qsizetype from, qsizetype to, QStringView text);
  void clear();

  [[nodiscard]] qsizetype size() const { return m_bytes.size(); }
  // Characters held, each line break one, the note at the top included.
  [[nodiscard]] qsizetype characterCount() const { return m_characters; }
  [[nodiscard]] QString text() const { return QString::fromUtf8(m_bytes); }
  [[nodiscard]] QString exactText(qsizetype from, qsizetype to) const;

  [[nodiscard]] int lineCount() const { return int(m_lineStarts.size()); }
  [[nodiscard]] qsizetype lineStart(int line) const { return m_lineStarts[std::size_t(line)]; }
  // Where the line's characters end, before its line break if it has one.
  [[nodiscard]] qsizetype lineEnd(int line) const;
  // The line a position is shown on: the start of a piece belongs to it.
  [[nodiscard]] int lineAt(qsizetype position) const;
  // The line's characters as shown: control characters as their symbols.
  [[nodiscard]] QString shownLine(int line) const;
  // Columns count UTF-16 units of the shown line.
  [[nodiscard]] int columnOf(qsizetype position) const;
  [[nodiscard]] qsizetype positionAt(int line, int column) const;
  [[nodiscard]] qsizetype nextPosition(qsizetype position) const;
  // A byte between the CR and the LF of a break settles after the break.
  [[nodiscard]] qsizetype settledPosition(qsizetype position) const;
  [[nodiscard]] qsizetype previousPosition(qsizetype position) const;

  // The text as a screen reader gets it: shown symbols, each break one "\n".
  [[nodiscard]] QString readerText(qsizetype from, qsizetype to) const;
  [[nodiscard]] qsizetype readerOffset(qsizetype position) const { return countCharacters(0, position); }
  [[nodiscard]] qsizetype positionAtReaderOffset(qsizetype offset) const;

  [[nodiscard]] static QChar shownChar(char16_t code);

 private:
  [[nodiscard]] qsizetype countCharacters(qsizetype from, qsizetype to) const;
  // The line starts from line `first` on rebuilt; from the first line break
  // ending at or past `settled`, the old starts moved by `moved` hold again.
  void rebuildLines(int first, qsizetype settled, qsizetype moved);
  [[nodiscard]] std::optional<Cut> cutToBound();
  [[nodiscard]] QString removedTextNote() const;

  QByteArray m_bytes;
  std::vector<quint32> m_lineStarts{0};
  qsizetype m_characters = 0;
  qsizetype m_noteBytes = 0;  // the note line at the top, its break included
  qsizetype m_textBound = kTextBound;
  RecordFile m_recordFile;
};

}  // namespace zelqon
