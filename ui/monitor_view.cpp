#include "ui/monitor_view.h"

#include <QScrollBar>
#include <QTextCursor>

#include <algorithm>

namespace zelqon {

MonitorView::MonitorView(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // An undo history would keep a second copy of everything received.
  setUndoRedoEnabled(false);
  // Tab moves on to the next control, as in any form; it types no tab.
  setTabChangesFocus(true);
  connect(document(), &QTextDocument::contentsChange, this, [this](int position, int removed, int added) {
    if (!m_appending && (removed > 0 || added > 0))
      takeOperatorEdit(position, removed, added);
  });
}

QString MonitorView::displayForm(const QString& text, bool& pendingCarriageReturn) {
  QString shown;
  shown.reserve(text.size());
  for (const QChar c : text) {
    const char16_t code = c.unicode();
    if (code == u'\n' && pendingCarriageReturn) {
      pendingCarriageReturn = false;  // the LF of a CR LF already shown
      continue;
    }
    pendingCarriageReturn = code == u'\r';
    if (code == u'\r' || code == u'\n')
      shown += QChar::LineFeed;
    else if (code < 0x20 && code != u'\t')
      shown += QChar(char16_t(0x2400 + code));  // U+2400 control pictures
    else if (code == 0x7f)
      shown += QChar(char16_t(0x2421));
    else
      shown += c;
  }
  return shown;
}

void MonitorView::append(const QString& tail) {
  if (tail.isEmpty())
    return;
  m_text += tail;
  QScrollBar* const bar = verticalScrollBar();
  const bool followNewText = bar->value() >= bar->maximum();
  m_appending = true;
  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  end.insertText(displayForm(tail, m_pendingCarriageReturn));
  m_appending = false;
  if (followNewText)
    bar->setValue(bar->maximum());
}

void MonitorView::clear() {
  m_appending = true;
  QPlainTextEdit::clear();
  m_appending = false;
  m_text.clear();
  m_pendingCarriageReturn = false;
}

qsizetype MonitorView::modelIndex(qsizetype displayPosition) const {
  qsizetype index = 0;
  for (qsizetype shown = 0; shown < displayPosition && index < m_text.size(); ++shown) {
    const bool pair =
        m_text[index] == QLatin1Char('\r') && index + 1 < m_text.size() && m_text[index + 1] == QLatin1Char('\n');
    index += pair ? 2 : 1;
  }
  return index;
}

void MonitorView::takeOperatorEdit(int position, int removed, int added) {
  // Map the edited stretch of the box back onto the exact text, so the bytes
  // around it stay as they came; a typed line break is a text box's CR LF.
  const qsizetype from = modelIndex(position);
  const qsizetype to = modelIndex(position + removed);
  QTextCursor cursor(document());
  cursor.setPosition(position);
  cursor.setPosition(std::min(position + added, document()->characterCount() - 1), QTextCursor::KeepAnchor);
  QString typed = cursor.selectedText();
  typed.replace(QChar::ParagraphSeparator, QChar::LineFeed);

  bool pending = false;
  if (displayForm(m_text.mid(from, to - from), pending) == typed)
    return;  // a change of layout or format only
  typed.replace(QChar::LineFeed, QStringLiteral("\r\n"));
  m_text.replace(from, to - from, typed);
  m_pendingCarriageReturn = false;
}

}  // namespace zelqon
