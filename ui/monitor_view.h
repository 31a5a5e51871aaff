#pragma once

#include <QPlainTextEdit>

#include <functional>
#include <optional>

namespace zelqon {

// The monitor text box. Its document is the monitor's exact text: each line
// of the box carries, as its block state, the line ending that followed it
// (CR LF, CR or LF as received, a CR LF where the operator pressed Enter, or
// none where the box broke an over-long line for display only); control
// characters show as their visible symbols (U+2400..U+2421) and read back as
// the bytes they stand for. Nothing is ever read as markup, and no second copy
// of the text is kept.
//
// Appends go to the end of the document without rebuilding it, and a line
// that runs on without a break is shown in pieces of `kLongestShownLine`
// characters, so an append costs the same however much the box holds. The
// view follows new text while the operator is at the bottom and stays put
// when the operator has scrolled up. Text the operator types or deletes
// changes the monitor text at that spot; everything else stays byte for byte.
// A copy or drag of a selection carries its exact text as plain text.
//
// The box holds at most a bound of text (kTextBound by default), so that a
// line left open for days cannot exhaust the machine's memory. Past it, the
// oldest lines leave in one cut of an eighth of the bound (an append stays
// cheap on average), and one line at the top says that older text was
// removed and where the whole session is: the record's file, or that the
// record is not being written. The note reads back as a line ending in CR LF.
class MonitorView final : public QPlainTextEdit {
  Q_OBJECT

 public:
  static constexpr int kLongestShownLine = 1024;
  // Characters of text the box holds at most (a line break counts as one):
  // hours of a saturated 19200 bit/s line, days of ordinary answers.
  static constexpr qsizetype kTextBound = qsizetype(16) * 1000 * 1000;
  // The file the session record is writing now: empty when the record has
  // stopped on a failure, none when there is no record.
  using RecordFile = std::function<std::optional<QString>()>;

  explicit MonitorView(QWidget* parent = nullptr);

  // Without a record file source, the note at the top says the record is off.
  void setRecordFile(RecordFile recordFile) { m_recordFile = std::move(recordFile); }
  void setTextBound(qsizetype characters) { m_textBound = characters; }

  // Rebuilt from the document: costs a pass over the whole text.
  [[nodiscard]] QString text() const;
  void append(const QString& tail);
  void clear();

 protected:
  [[nodiscard]] QMimeData* createMimeDataFromSelection() const override;

 private:
  // The exact text of the document positions [from, to), `to` at most the
  // position of the document's closing separator. A line break is one
  // position and stands for the whole ending it records.
  [[nodiscard]] QString exactText(int from, int to) const;
  void takeOperatorEdit(int position, int added);
  // Removes the oldest lines once the box holds more than the bound.
  void trimToBound();
  [[nodiscard]] QString removedTextNote() const;

  RecordFile m_recordFile;
  qsizetype m_textBound = kTextBound;
  bool m_pendingCarriageReturn = false;
  bool m_appending = false;
};

}  // namespace zelqon
