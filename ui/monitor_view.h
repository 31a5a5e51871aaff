#pragma once

#include "ui/monitor_text_store.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QClipboard>

class QTextLayout;

namespace zelqon {

// The monitor text box: shows the text of a MonitorTextStore, laying out and
// painting only the lines in sight. Control characters show as their visible
// symbols (U+2400..U+2421) and read back as the bytes they stand for; nothing
// is ever read as markup. A copy of a selection carries its exact text.
//
// The view follows new text while the operator is at the bottom and stays on
// the same lines when the operator has scrolled up, across cuts too. Text the
// operator types, pastes or deletes changes the monitor text at that spot
// (Enter types CR LF); received text still goes on at the end. Tab moves on to
// the next control. The vertical scroll bar counts lines, the horizontal one
// pixels up to the widest line shown so far.
class MonitorView final : public QAbstractScrollArea {
  Q_OBJECT

 public:
  static constexpr int kLongestShownLine = MonitorTextStore::kLongestShownLine;
  static constexpr qsizetype kTextBound = MonitorTextStore::kTextBound;
  using RecordFile = MonitorTextStore::RecordFile;

  explicit MonitorView(QWidget* parent = nullptr);

  void setRecordFile(RecordFile recordFile) { m_store.setRecordFile(std::move(recordFile)); }
  void setTextBound(qsizetype characters) { m_store.setTextBound(characters); }

  [[nodiscard]] QString text() const { return m_store.text(); }
  [[nodiscard]] const MonitorTextStore& content() const { return m_store; }
  void append(const QString& tail);
  void clear();

  // The operator's cursor and selection, as positions of content().
  [[nodiscard]] qsizetype cursorPosition() const { return m_cursor; }
  [[nodiscard]] qsizetype anchorPosition() const { return m_anchor; }
  void setSelection(qsizetype anchor, qsizetype cursor);
  [[nodiscard]] QString selectedText() const;
  void selectAll();
  void copy() const;

  // Where a position is drawn, and the position a point of the viewport hits.
  [[nodiscard]] QRect positionRect(qsizetype position) const;
  [[nodiscard]] qsizetype positionAt(QPoint point) const;
  // Scrolls, if need be, so that the position is in sight.
  void ensureVisible(qsizetype position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  [[nodiscard]] QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 private:
  enum class Step {
    NextChar,
    PreviousChar,
    NextWord,
    PreviousWord,
    NextLine,
    PreviousLine,
    NextPage,
    PreviousPage,
    StartOfLine,
    EndOfLine,
    StartOfText,
    EndOfText
  };
  enum class Selecting { Move, Extend };

  [[nodiscard]] int lineHeight() const;
  [[nodiscard]] int linesInSight() const;
  void layOut(QTextLayout& layout, int line) const;
  [[nodiscard]] int xOf(qsizetype position) const;
  [[nodiscard]] qsizetype stepFrom(qsizetype position, Step step) const;
  [[nodiscard]] std::pair<qsizetype, qsizetype> wordAround(qsizetype position) const;
  void moveCursor(qsizetype position, Selecting selecting);
  // The operator's edit in place of the selection.
  void typeIn(const QString& text);
  void removeSelection();
  void paste(QClipboard::Mode mode);
  void updateScrollBars();
  void restartCaret();

  MonitorTextStore m_store;
  qsizetype m_cursor = 0;
  qsizetype m_anchor = 0;
  int m_goalX = -1;  // kept across moves up and down
  int m_widest = 0;  // of the lines shown so far, in pixels
  bool m_caretShown = false;
  bool m_mouseSelecting = false;
  QBasicTimer m_caretTimer;
  QBasicTimer m_tripleClickTimer;
};

}  // namespace zelqon
