#include "ui/monitor_view.h"

#include "ui/monitor_accessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextLayout>

#include <array>
#include <cmath>

namespace zelqon {

namespace {

constexpr int kMargin = 4;
constexpr int kHorizontalStep = 20;

enum class CharClass { Word, Space, Other };

CharClass classOf(QChar character) {
  if (character.isLetterOrNumber() || character == QLatin1Char('_'))
    return CharClass::Word;
  return character.isSpace() ? CharClass::Space : CharClass::Other;
}

}  // namespace

MonitorView::MonitorView(QWidget* parent) : QAbstractScrollArea(parent) {
  installMonitorAccessibility();
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  viewport()->setCursor(Qt::IBeamCursor);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(kHorizontalStep);
  updateScrollBars();
}

void MonitorView::append(const QString& tail) {
  if (tail.isEmpty())
    return;
  QScrollBar* const bar = verticalScrollBar();
  const bool followNewText = bar->value() >= bar->maximum();
  const int shownLine = bar->value();
  const qsizetype oldEnd = m_store.size();
  const qsizetype oldCount = m_store.characterCount();
  const std::optional<MonitorTextStore::Cut> cut = m_store.append(tail);
  // A cursor at the end goes on with the text, as it would after typing.
  for (qsizetype* position : {&m_cursor, &m_anchor}) {
    *position = *position == oldEnd ? m_store.size() : *position;
    *position = cut ? cut->moved(*position) : *position;
  }
  updateScrollBars();
  if (followNewText)
    bar->setValue(bar->maximum());
  else if (cut)  // the operator reading further up keeps the same lines in view
    bar->setValue(std::max(0, shownLine - cut->linesRemovedNet));
  viewport()->update();
  if (QAccessible::isActive())
    announceAppend(this, oldEnd, oldCount, cut);
}

void MonitorView::clear() {
  const qsizetype oldCount = m_store.characterCount();
  m_store.clear();
  m_cursor = m_anchor = 0;
  m_widest = 0;
  updateScrollBars();
  viewport()->update();
  if (QAccessible::isActive())
    announceEdit(this, 0, QString(oldCount, QLatin1Char(' ')), QString());
}

void MonitorView::setSelection(qsizetype anchor, qsizetype cursor) {
  m_anchor = m_store.settledPosition(std::clamp<qsizetype>(anchor, 0, m_store.size()));
  moveCursor(cursor, Selecting::Extend);
}

QString MonitorView::selectedText() const {
  return m_store.exactText(std::min(m_anchor, m_cursor), std::max(m_anchor, m_cursor));
}

void MonitorView::selectAll() { setSelection(0, m_store.size()); }

void MonitorView::copy() const {
  if (m_anchor != m_cursor)
    QGuiApplication::clipboard()->setText(selectedText());
}

int MonitorView::lineHeight() const { return std::max(1, fontMetrics().height()); }

int MonitorView::linesInSight() const { return std::max(1, (viewport()->height() - 2 * kMargin) / lineHeight()); }

void MonitorView::layOut(QTextLayout& layout, int line) const {
  layout.setText(m_store.shownLine(line));
  layout.setFont(font());
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  layout.setTextOption(option);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
}

int MonitorView::xOf(qsizetype position) const {
  QTextLayout layout;
  layOut(layout, m_store.lineAt(position));
  return int(std::lround(layout.lineAt(0).cursorToX(m_store.columnOf(position))));
}

QRect MonitorView::positionRect(qsizetype position) const {
  const int line = m_store.lineAt(position) - verticalScrollBar()->value();
  return {kMargin - horizontalScrollBar()->value() + xOf(position), kMargin + line * lineHeight(), 1, lineHeight()};
}

qsizetype MonitorView::positionAt(QPoint point) const {
  const int shown = verticalScrollBar()->value() + (point.y() - kMargin) / lineHeight();
  const int line = std::clamp(point.y() < kMargin ? shown - 1 : shown, 0, m_store.lineCount() - 1);
  QTextLayout layout;
  layOut(layout, line);
  const int x = point.x() - kMargin + horizontalScrollBar()->value();
  return m_store.positionAt(line, layout.lineAt(0).xToCursor(x));
}

void MonitorView::ensureVisible(qsizetype position) {
  QScrollBar* const vertical = verticalScrollBar();
  const int line = m_store.lineAt(position);
  if (line < vertical->value())
    vertical->setValue(line);
  else if (line >= vertical->value() + linesInSight())
    vertical->setValue(line - linesInSight() + 1);
  const int x = xOf(position);
  if (x > m_widest) {
    m_widest = x;
    updateScrollBars();
  }
  QScrollBar* const horizontal = horizontalScrollBar();
  const int width = viewport()->width() - 2 * kMargin;
  if (x < horizontal->value())
    horizontal->setValue(x);
  else if (x >= horizontal->value() + width)
    horizontal->setValue(x - width + 1);
}

void MonitorView::updateScrollBars() {
  QScrollBar* const vertical = verticalScrollBar();
  vertical->setRange(0, std::max(0, m_store.lineCount() - linesInSight()));
  vertical->setPageStep(linesInSight());
  QScrollBar* const horizontal = horizontalScrollBar();
  horizontal->setRange(0, std::max(0, m_widest + 2 * kMargin - viewport()->width()));
  horizontal->setPageStep(viewport()->width());
}

void MonitorView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setPen(palette().color(QPalette::Text));
  const int top = verticalScrollBar()->value();
  const int left = kMargin - horizontalScrollBar()->value();
  const qsizetype selectionStart = std::min(m_anchor, m_cursor);
  const qsizetype selectionEnd = std::max(m_anchor, m_cursor);
  QTextCharFormat selected;
  selected.setBackground(palette().brush(QPalette::Highlight));
  selected.setForeground(palette().brush(QPalette::HighlightedText));
  const int widest = m_widest;
  for (int line = top, y = kMargin; line < m_store.lineCount() && y < viewport()->height(); ++line, y += lineHeight()) {
    QTextLayout layout;
    layOut(layout, line);
    const QPointF origin(left, y);
    const qsizetype start = m_store.lineStart(line);
    const qsizetype end = m_store.lineEnd(line);
    QList<QTextLayout::FormatRange> selection;
    if (selectionStart < selectionEnd && selectionStart <= end && selectionEnd > start) {
      const int from = selectionStart > start ? m_store.columnOf(selectionStart) : 0;
      const int to = selectionEnd < end ? m_store.columnOf(selectionEnd) : int(layout.text().size());
      selection.append({from, to - from, selected});
      const bool lineBreakSelected =
          selectionEnd > end && line + 1 < m_store.lineCount() && m_store.lineStart(line + 1) > end;
      if (lineBreakSelected)  // a space's width stands for the selected break
        painter.fillRect(QRectF(origin.x() + layout.lineAt(0).naturalTextWidth(), y,
                                fontMetrics().horizontalAdvance(QLatin1Char(' ')), lineHeight()),
                         selected.background());
    }
    layout.draw(&painter, origin, selection);
    if (m_caretShown && m_store.lineAt(m_cursor) == line)
      layout.drawCursor(&painter, origin, m_store.columnOf(m_cursor));
    m_widest = std::max(m_widest, int(std::ceil(layout.lineAt(0).naturalTextWidth())));
  }
  if (m_widest > widest)
    updateScrollBars();
}

void MonitorView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBars();
}

void MonitorView::scrollContentsBy(int, int) { viewport()->update(); }

void MonitorView::changeEvent(QEvent* event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    m_widest = 0;  // measured again as lines are shown
    updateScrollBars();
  }
}

qsizetype MonitorView::stepFrom(qsizetype position, Step step) const {
  const int line = m_store.lineAt(position);
  const auto isSpaceAt = [this](qsizetype at) {
    return classOf(m_store.exactText(at, m_store.nextPosition(at)).front()) == CharClass::Space;
  };
  const auto toLine = [&](int target) {
    const int goal = m_goalX >= 0 ? m_goalX : xOf(position);
    QTextLayout layout;
    layOut(layout, std::clamp(target, 0, m_store.lineCount() - 1));
    return m_store.positionAt(std::clamp(target, 0, m_store.lineCount() - 1), layout.lineAt(0).xToCursor(goal));
  };
  switch (step) {
    case Step::NextChar:
      return m_store.nextPosition(position);
    case Step::PreviousChar:
      return m_store.previousPosition(position);
    case Step::NextWord: {  // to the start of the next word, or over the line break
      if (position == m_store.lineEnd(line))
        return m_store.nextPosition(position);
      qsizetype next = wordAround(position).second;
      while (next < m_store.lineEnd(line) && isSpaceAt(next))
        next = m_store.nextPosition(next);
      return next;
    }
    case Step::PreviousWord: {
      if (position == m_store.lineStart(line))
        return m_store.previousPosition(position);
      qsizetype previous = m_store.previousPosition(position);
      while (previous > m_store.lineStart(line) && isSpaceAt(previous))
        previous = m_store.previousPosition(previous);
      return wordAround(previous).first;
    }
    case Step::NextLine:
      return line + 1 < m_store.lineCount() ? toLine(line + 1) : m_store.size();
    case Step::PreviousLine:
      return line > 0 ? toLine(line - 1) : 0;
    case Step::NextPage:
      return toLine(line + linesInSight());
    case Step::PreviousPage:
      return toLine(line - linesInSight());
    case Step::StartOfLine:
      return m_store.lineStart(line);
    case Step::EndOfLine:
      return m_store.lineEnd(line);
    case Step::StartOfText:
      return 0;
    case Step::EndOfText:
      return m_store.size();
  }
  return position;
}

std::pair<qsizetype, qsizetype> MonitorView::wordAround(qsizetype position) const {
  const int line = m_store.lineAt(position);
  const QString shown = m_store.shownLine(line);
  const int column = m_store.columnOf(position);
  if (column >= shown.size())
    return {position, position};
  const CharClass kind = classOf(shown[column]);
  int from = column;
  int to = column + 1;
  if (kind != CharClass::Other) {
    while (from > 0 && classOf(shown[from - 1]) == kind)
      --from;
    while (to < shown.size() && classOf(shown[to]) == kind)
      ++to;
  }
  return {m_store.positionAt(line, from), m_store.positionAt(line, to)};
}

void MonitorView::moveCursor(qsizetype position, Selecting selecting) {
  const qsizetype oldCursor = m_cursor;
  const qsizetype oldAnchor = m_anchor;
  m_cursor = m_store.settledPosition(std::clamp<qsizetype>(position, 0, m_store.size()));
  if (selecting == Selecting::Move)
    m_anchor = m_cursor;
  ensureVisible(m_cursor);
  restartCaret();
  viewport()->update();
  if (QAccessible::isActive() && (m_cursor != oldCursor || m_anchor != oldAnchor))
    announceCursor(this);
}

void MonitorView::keyPressEvent(QKeyEvent* event) {
  struct KeyStep {
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
    Step step;
  };
  static constexpr std::array kKeySteps{
      KeyStep{QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Step::NextChar},
      KeyStep{QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Step::PreviousChar},
      KeyStep{QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Step::NextWord},
      KeyStep{QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Step::PreviousWord},
      KeyStep{QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Step::NextLine},
      KeyStep{QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Step::PreviousLine},
      KeyStep{QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Step::NextPage},
      KeyStep{QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Step::PreviousPage},
      KeyStep{QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Step::StartOfLine},
      KeyStep{QKeySequence::MoveToStartOfBlock, QKeySequence::SelectStartOfBlock, Step::StartOfLine},
      KeyStep{QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Step::EndOfLine},
      KeyStep{QKeySequence::MoveToEndOfBlock, QKeySequence::SelectEndOfBlock, Step::EndOfLine},
      KeyStep{QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Step::StartOfText},
      KeyStep{QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Step::EndOfText},
  };
  for (const KeyStep& keyStep : kKeySteps) {
    const bool move = event->matches(keyStep.move);
    if (move || event->matches(keyStep.select)) {
      const Step step = keyStep.step;
      const bool vertical =
          step == Step::NextLine || step == Step::PreviousLine || step == Step::NextPage || step == Step::PreviousPage;
      if (vertical && m_goalX < 0)
        m_goalX = xOf(m_cursor);
      const int goalX = vertical ? m_goalX : -1;
      moveCursor(stepFrom(m_cursor, step), move ? Selecting::Move : Selecting::Extend);
      m_goalX = goalX;
      return;
    }
  }
  m_goalX = -1;
  if (event->matches(QKeySequence::SelectAll)) {
    selectAll();
  } else if (event->matches(QKeySequence::Copy)) {
    copy();
  } else if (event->matches(QKeySequence::Cut)) {
    copy();
    removeSelection();
  } else if (event->matches(QKeySequence::Paste)) {
    paste(QClipboard::Clipboard);
  } else if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) {
    if (m_anchor == m_cursor)
      m_anchor = stepFrom(m_cursor, event->key() == Qt::Key_Backspace ? Step::PreviousChar : Step::NextChar);
    removeSelection();
  } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    typeIn(QStringLiteral("\r\n"));
  } else if (const QString typed = event->text();
             !typed.isEmpty() && std::all_of(typed.cbegin(), typed.cend(), [](QChar c) { return c.isPrint(); })) {
    typeIn(typed);
  } else {
    event->ignore();
  }
}

void MonitorView::typeIn(const QString& text) {
  const qsizetype from = std::min(m_anchor, m_cursor);
  const qsizetype to = std::max(m_anchor, m_cursor);
  const QString removed = QAccessible::isActive() ? m_store.readerText(from, to) : QString();
  const qsizetype readerFrom = QAccessible::isActive() ? m_store.readerOffset(from) : 0;
  const qsizetype end = m_store.replace(from, to, text);
  if (QAccessible::isActive())
    announceEdit(this, readerFrom, removed, m_store.readerText(from, end));
  m_anchor = m_cursor = end;
  updateScrollBars();
  moveCursor(end, Selecting::Move);
}

void MonitorView::removeSelection() {
  if (m_anchor != m_cursor)
    typeIn(QString());
}

void MonitorView::paste(QClipboard::Mode mode) {
  const QString text = QGuiApplication::clipboard()->text(mode);
  if (!text.isEmpty())
    typeIn(text);
}

void MonitorView::mousePressEvent(QMouseEvent* event) {
  const qsizetype position = positionAt(event->position().toPoint());
  if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
    moveCursor(position, Selecting::Move);
    paste(QClipboard::Selection);
    return;
  }
  if (event->button() != Qt::LeftButton)
    return;
  m_goalX = -1;
  if (m_tripleClickTimer.isActive()) {  // a third click takes the whole line
    const int line = m_store.lineAt(position);
    m_anchor = m_store.lineStart(line);
    moveCursor(line + 1 < m_store.lineCount() ? m_store.lineStart(line + 1) : m_store.size(), Selecting::Extend);
    return;
  }
  m_mouseSelecting = true;
  moveCursor(position, event->modifiers() & Qt::ShiftModifier ? Selecting::Extend : Selecting::Move);
}

void MonitorView::mouseMoveEvent(QMouseEvent* event) {
  if (m_mouseSelecting && (event->buttons() & Qt::LeftButton))
    moveCursor(positionAt(event->position().toPoint()), Selecting::Extend);
}

void MonitorView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton)
    return;
  m_mouseSelecting = false;
  if (m_anchor != m_cursor && QGuiApplication::clipboard()->supportsSelection())
    QGuiApplication::clipboard()->setText(selectedText(), QClipboard::Selection);
}

void MonitorView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton)
    return;
  const auto [from, to] = wordAround(positionAt(event->position().toPoint()));
  m_anchor = from;
  moveCursor(to, Selecting::Extend);
  m_tripleClickTimer.start(QGuiApplication::styleHints()->mouseDoubleClickInterval(), this);
}

void MonitorView::contextMenuEvent(QContextMenuEvent* event) {
  // Worded as Qt's own text boxes word them, in the operator's language.
  const auto word = [](const char* text) { return QCoreApplication::translate("QWidgetTextControl", text); };
  QMenu menu(this);
  const bool selection = m_anchor != m_cursor;
  const bool clipboardText = !QGuiApplication::clipboard()->text().isEmpty();
  menu.addAction(word("Cu&t"), QKeySequence::Cut, this,
                 [this] {
                   copy();
                   removeSelection();
                 })
      ->setEnabled(selection);
  menu.addAction(word("&Copy"), QKeySequence::Copy, this, &MonitorView::copy)->setEnabled(selection);
  menu.addAction(word("&Paste"), QKeySequence::Paste, this, [this] { paste(QClipboard::Clipboard); })
      ->setEnabled(clipboardText);
  menu.addAction(word("Delete"), this, &MonitorView::removeSelection)->setEnabled(selection);
  menu.addSeparator();
  menu.addAction(word("Select All"), QKeySequence::SelectAll, this, &MonitorView::selectAll)
      ->setEnabled(m_store.size() > 0);
  menu.exec(event->globalPos());
}

void MonitorView::focusInEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusInEvent(event);
  restartCaret();
}

void MonitorView::focusOutEvent(QFocusEvent* event) {
  QAbstractScrollArea::focusOutEvent(event);
  m_caretTimer.stop();
  m_caretShown = false;
  viewport()->update();
}

void MonitorView::restartCaret() {
  if (!hasFocus())
    return;
  m_caretShown = true;
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (flash > 0)
    m_caretTimer.start(flash / 2, this);
  viewport()->update(positionRect(m_cursor).adjusted(-1, 0, 1, 0));
}

void MonitorView::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_caretTimer.timerId()) {
    m_caretShown = !m_caretShown;
    viewport()->update(positionRect(m_cursor).adjusted(-1, 0, 1, 0));
  } else if (event->timerId() == m_tripleClickTimer.timerId()) {
    m_tripleClickTimer.stop();
  }
}

void MonitorView::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty())
    typeIn(event->commitString());
  event->accept();
}

QVariant MonitorView::inputMethodQuery(Qt::InputMethodQuery query) const {
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
      return positionRect(m_cursor).translated(viewport()->pos());
    case Qt::ImFont:
      return font();
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

}  // namespace zelqon
