#include "ui/monitor_view.h"

#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>
#include <vector>

namespace zelqon {

namespace {

// What followed a line of the box in the exact text; kept as its block state.
// A block the document creates itself (the operator pressed Enter or pasted a
// line break) starts with the state -1.
enum Ending : int {
  kNewBlock = -1,
  kOpen = 0,  // the last line: nothing has followed it yet
  kLf = 1,
  kCr = 2,
  kCrLf = 3,
  kShownOnly = 4,  // broken for display; nothing in the exact text
  kNote = 5,       // the note about removed text, read back as ending in CR LF
};

constexpr char16_t kControlPictures = 0x2400;
constexpr char16_t kDeletePicture = 0x2421;

QChar shownChar(char16_t code) {
  if (code < 0x20 && code != u'\t')
    return QChar(char16_t(kControlPictures + code));
  if (code == 0x7f)
    return QChar(kDeletePicture);
  return QChar(code);
}

QChar exactChar(QChar shown) {
  const char16_t code = shown.unicode();
  if (code >= kControlPictures && code < kControlPictures + 0x20)
    return QChar(char16_t(code - kControlPictures));
  if (code == kDeletePicture)
    return QChar(char16_t(0x7f));
  return shown;
}

QLatin1StringView endingText(int ending) {
  switch (ending) {
    case kLf:
      return QLatin1StringView("\n");
    case kCr:
      return QLatin1StringView("\r");
    case kShownOnly:
    case kOpen:
      return QLatin1StringView("");
    default:  // kCrLf, and a break the operator typed
      return QLatin1StringView("\r\n");
  }
}

}  // namespace

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
      takeOperatorEdit(position, added);
  });
}

QString MonitorView::text() const {
  // The last position is the document's closing paragraph separator.
  return exactText(0, document()->characterCount() - 1);
}

QString MonitorView::exactText(int from, int to) const {
  QString exact;
  exact.reserve(to - from);
  for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() < to; block = block.next()) {
    const int start = block.position();
    const int breakAt = start + block.length() - 1;  // the position of the break after the line
    const QString line = block.text();
    for (int i = std::max(from, start); i < std::min(to, breakAt); ++i)
      exact += exactChar(line[i - start]);
    if (breakAt < to)
      exact += endingText(block.userState());
  }
  return exact;
}

QMimeData* MonitorView::createMimeDataFromSelection() const {
  // Not the document fragment's plain text: that turns a no-break space into
  // a space and would give the shown symbols instead of the control bytes.
  const QTextCursor selection = textCursor();
  auto* mime = new QMimeData;
  mime->setText(exactText(selection.selectionStart(), selection.selectionEnd()));
  return mime;
}

void MonitorView::append(const QString& tail) {
  if (tail.isEmpty())
    return;
  QScrollBar* const bar = verticalScrollBar();
  const bool followNewText = bar->value() >= bar->maximum();
  m_appending = true;

  const QTextBlock last = document()->lastBlock();
  const int lastStart = last.position();
  qsizetype column = last.length() - 1;
  qsizetype from = 0;
  if (m_pendingCarriageReturn && tail.front() == QLatin1Char('\n')) {
    last.previous().setUserState(kCrLf);  // the LF of a CR LF already shown
    from = 1;
  }
  m_pendingCarriageReturn = false;

  QString shown;
  shown.reserve(tail.size() + tail.size() / kLongestShownLine + 1);
  std::vector<Ending> endings;  // one for each break in `shown`
  for (qsizetype i = from; i < tail.size(); ++i) {
    const char16_t code = tail[i].unicode();
    if (code == u'\r' || code == u'\n') {
      Ending ending = kLf;
      if (code == u'\r') {
        const bool pair = i + 1 < tail.size() && tail[i + 1] == QLatin1Char('\n');
        ending = pair ? kCrLf : kCr;
        i += pair ? 1 : 0;
        m_pendingCarriageReturn = !pair && i + 1 == tail.size();
      }
      shown += QChar::LineFeed;
      endings.push_back(ending);
      column = 0;
      continue;
    }
    if (column == kLongestShownLine) {
      shown += QChar::LineFeed;
      endings.push_back(kShownOnly);
      column = 0;
    }
    shown += shownChar(code);
    ++column;
  }

  QTextCursor end(document());
  end.movePosition(QTextCursor::End);
  end.insertText(shown);
  QTextBlock block = document()->findBlock(lastStart);
  for (const Ending ending : endings) {
    block.setUserState(ending);
    block = block.next();
  }
  block.setUserState(kOpen);

  trimToBound();
  m_appending = false;
  if (followNewText)
    bar->setValue(bar->maximum());
}

void MonitorView::trimToBound() {
  // The document's closing separator is not text, and the note is not counted.
  const int total = document()->characterCount() - 1;
  const QTextBlock first = document()->firstBlock();
  if (total - (first.userState() == kNote ? first.length() : 0) <= m_textBound)
    return;
  // Down to seven eighths of the bound, so that the next cut is an eighth of
  // the bound of appends away; cut where a line begins.
  const int from = total - int(m_textBound - m_textBound / 8);
  QTextBlock kept = document()->findBlock(from);
  if (kept.position() < from && kept.next().isValid())
    kept = kept.next();
  const int cut = std::max(from, kept.position());
  const int keptState = kept.userState();
  const int removedLines = kept.blockNumber();

  QScrollBar* const bar = verticalScrollBar();
  const int shownLine = bar->value();
  QTextCursor top(document());
  top.setPosition(cut, QTextCursor::KeepAnchor);
  top.insertText(removedTextNote() + QChar::LineFeed);
  document()->firstBlock().setUserState(kNote);
  document()->firstBlock().next().setUserState(keptState);
  // The operator reading further up keeps the same lines in view.
  bar->setValue(std::max(0, shownLine - removedLines + 1));
}

QString MonitorView::removedTextNote() const {
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

void MonitorView::clear() {
  m_appending = true;
  QPlainTextEdit::clear();
  document()->firstBlock().setUserState(kOpen);
  m_appending = false;
  m_pendingCarriageReturn = false;
}

void MonitorView::takeOperatorEdit(int position, int added) {
  // Joined lines keep the ending of the later one, which the document already
  // does. A split leaves the original line's state on its first part and
  // gives the new part none: the original ending belongs after the new part,
  // and the break between them is a typed one.
  m_pendingCarriageReturn = false;
  const QTextBlock stop = document()->findBlock(position + added).next();
  for (QTextBlock block = document()->findBlock(position); block.isValid() && block != stop; block = block.next()) {
    QTextBlock previous = block.previous();
    if (block.userState() != kNewBlock || !previous.isValid())
      continue;
    block.setUserState(previous.userState());
    previous.setUserState(kCrLf);
  }
}

}  // namespace zelqon
