// The monitor: its text store (exact text, lines, edits, the cut past the
// bound and its note naming the record) and the box on Qt's offscreen
// platform (selection by keys and mouse, copies byte for byte, following the
// bottom, the operator's place across a cut, what a screen reader gets).

#include "ui/monitor_view.h"

#include <QAccessible>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>

using zelqon::MonitorTextStore;
using zelqon::MonitorView;

namespace {

constexpr qsizetype kBound = 8000;
const QString kRemoved = QStringLiteral("… texto anterior removido do monitor; ");

QStringList shownLines(const MonitorTextStore& store) {
  QStringList lines;
  for (int line = 0; line < store.lineCount(); ++line)
    lines << store.shownLine(line);
  return lines;
}

// The lines and the count of a store must be those of its text appended afresh.
void compareWithFresh(const MonitorTextStore& store) {
  MonitorTextStore fresh;
  fresh.append(store.text());
  QCOMPARE(shownLines(store), shownLines(fresh));
  for (int line = 0; line < store.lineCount(); ++line)
    QCOMPARE(store.lineStart(line), fresh.lineStart(line));
  QCOMPARE(store.characterCount(), fresh.characterCount());
}

struct ShownMonitor {
  ShownMonitor() {
    monitor.resize(400, 200);
    monitor.show();
    monitor.activateWindow();
    if (!QTest::qWaitForWindowActive(&monitor))
      throw std::runtime_error("the monitor never became active");
  }
  [[nodiscard]] QPoint pointOf(qsizetype position) const {
    const QRect rect = monitor.positionRect(position);
    return {rect.left(), rect.center().y()};
  }
  void click(qsizetype position, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::mouseClick(monitor.viewport(), Qt::LeftButton, modifiers, pointOf(position));
  }
  MonitorView monitor;
};

}  // namespace

class MonitorTest : public QObject {
  Q_OBJECT

 private slots:
  void storeKeepsTheExactTextAndItsLines() {
    MonitorTextStore store;
    const QString longLine = QStringLiteral("\u00e9\u20ac") + QString(1030, QLatin1Char('y'));
    const QStringList tails{"ab\r", "\ncd\x01\tx\n", "\r" + longLine, "\r\n", "\x7f"};
    for (const QString& tail : tails)
      QVERIFY(!store.append(tail));
    const QString text = tails.join(QString());
    QCOMPARE(store.text(), text);
    QCOMPARE(shownLines(store), (QStringList{"ab", QString::fromUtf16(u"cd\u2401\tx"), "", longLine.left(1024),
                                             longLine.mid(1024), QString::fromUtf16(u"\u2421")}));
    QCOMPARE(store.characterCount(), text.size() - text.count(QStringLiteral("\r\n")));
    QCOMPARE(store.readerText(0, store.size()),
             QString::fromUtf16(u"ab\ncd\u2401\tx\n\n") + longLine + QString::fromUtf16(u"\n\u2421"));
    QCOMPARE(store.exactText(store.lineStart(1), store.lineStart(3)), QStringLiteral("cd\x01\tx\n\r"));

    // A line break is one step; a character of several bytes is one step.
    QCOMPARE(store.nextPosition(store.lineEnd(0)), store.lineStart(1));
    QCOMPARE(store.previousPosition(store.lineStart(1)), store.lineEnd(0));
    QCOMPARE(store.previousPosition(store.lineStart(4)), store.lineStart(4) - 1);  // a piece: no break
    const qsizetype euro = store.nextPosition(store.lineStart(3));
    QCOMPARE(store.columnOf(euro), 1);
    QCOMPARE(store.positionAt(3, 2), euro + 3);
    QCOMPARE(store.exactText(euro, store.nextPosition(euro)), QStringLiteral("\u20ac"));
    QCOMPARE(store.positionAtReaderOffset(store.readerOffset(euro)), euro);

    // The operator's edits, each leaving the lines of its text.
    QCOMPARE(store.replace(1, 1, QStringLiteral("\r\n")), 3);
    compareWithFresh(store);
    const qsizetype afterLoneCr = store.lineStart(4);
    QCOMPARE(store.replace(afterLoneCr, afterLoneCr, QStringLiteral("\n")), afterLoneCr + 1);  // CR LF now
    compareWithFresh(store);
    store.replace(store.lineStart(4) + 5, store.lineStart(4) + 5, QStringLiteral("zz"));  // the pieces move on
    compareWithFresh(store);
    store.replace(store.lineEnd(0), store.lineStart(1), QString());  // lines joined
    compareWithFresh(store);
    QCOMPARE(store.text().left(12), QStringLiteral("ab\r\ncd\x01\tx\n\r\n"));
  }

  void pastTheBound_data() {
    QTest::addColumn<QString>("line");  // appended again and again, numbered
    QTest::addColumn<MonitorView::RecordFile>("recordFile");
    QTest::addColumn<QString>("note");
    const auto record = [](std::optional<QString> file) { return MonitorView::RecordFile([file] { return file; }); };
    const QString on = kRemoved + "a sessão completa está no registro: ";
    QTest::newRow("CR LF lines, record on") << QStringLiteral("Radio=%1;OK\r\n") << record("/z.log") << on + "/z.log";
    QTest::newRow("LF lines, record failed")
        << QStringLiteral("linha %1\n") << record(QString())
        << kRemoved + "o registro da sessão parou por uma falha e esse texto pode não ter sido guardado";
    QTest::newRow("no line break, no record")
        << QStringLiteral("x%1y") << MonitorView::RecordFile()
        << kRemoved + "o registro da sessão está desligado e esse texto não foi guardado";
    QTest::newRow("a line break in the file name")
        << QStringLiteral("%1\r") << record("a\nb") << on + QString::fromUtf16(u"a\u240Ab");
  }

  void pastTheBound() {
    QFETCH(QString, line);
    QFETCH(MonitorView::RecordFile, recordFile);
    QFETCH(QString, note);
    MonitorTextStore store;
    store.setTextBound(kBound);
    store.setRecordFile(recordFile);

    QString sent;
    qsizetype previousHeld = 0;
    int cuts = 0;
    for (int i = 0; sent.size() < 6 * kBound; ++i) {
      const QString tail = line.arg(i);
      sent += tail;
      const std::optional<MonitorTextStore::Cut> cut = store.append(tail);
      const QString first = store.shownLine(0);
      const qsizetype held = store.characterCount() - (first.startsWith(kRemoved) ? first.size() + 1 : 0);
      QVERIFY2(held <= kBound, qPrintable(QString::number(held)));
      QCOMPARE(held < previousHeld, cut.has_value());
      if (cut) {
        ++cuts;
        QVERIFY2(previousHeld - held >= kBound / 8 - 2 * tail.size(), "old text leaves in large cuts");
        QCOMPARE(cut->keptAt, store.lineStart(1));
      }
      previousHeld = held;
    }
    QVERIFY(cuts >= 4);
    compareWithFresh(store);

    QCOMPARE(store.shownLine(0), note);  // one line, shown as it reads
    const QString text = store.text();
    QCOMPARE(text.count(kRemoved), 1);
    QCOMPARE(text.mid(note.size(), 2), QStringLiteral("\r\n"));
    const QString kept = text.mid(note.size() + 2);
    QVERIFY2(sent.endsWith(kept), "the newest text stays exact");
    if (line.contains(QLatin1Char('\n')))  // cut where a line begins
      QCOMPARE(sent.at(sent.size() - kept.size() - 1), QLatin1Char('\n'));
  }

  void followsTheBottomAndKeepsTheOperatorsPlace() {
    ShownMonitor shown;
    MonitorView& monitor = shown.monitor;
    monitor.setTextBound(kBound);
    QScrollBar* const bar = monitor.verticalScrollBar();
    for (int i = 0; i < 500; ++i) {
      monitor.append(QStringLiteral("linha %1\r\n").arg(i, 4, 10, QLatin1Char('0')));
      QCOMPARE(bar->value(), bar->maximum());
    }
    QVERIFY(bar->maximum() > 400);
    bar->setValue(bar->maximum() - 200);
    const QString shownLine = monitor.content().shownLine(bar->value());
    monitor.setSelection(monitor.content().lineStart(bar->value()), monitor.content().lineEnd(bar->value()));
    for (int i = 0; i < 300; ++i)  // past the bound: the oldest lines leave
      monitor.append(QStringLiteral("mais %1\r\n").arg(i, 4, 10, QLatin1Char('0')));
    QVERIFY(monitor.content().shownLine(0).startsWith(kRemoved));
    QCOMPARE(monitor.content().shownLine(bar->value()), shownLine);
    QCOMPARE(monitor.selectedText(), shownLine);
    // Back at the bottom, new text is followed again.
    bar->setValue(bar->maximum());
    monitor.append(QStringLiteral("fim\r\n"));
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(bar->value() + bar->pageStep(), monitor.content().lineCount());
  }

  void selectsByKeysAndMouseAndCopiesExactly() {
    ShownMonitor shown;
    MonitorView& monitor = shown.monitor;
    const QString text = QStringLiteral("first line\r\nsecond\rthird\x01 word\nfourth");
    monitor.append(text);
    monitor.setFocus();
    QClipboard* const clipboard = QGuiApplication::clipboard();
    const auto keys = [&](std::initializer_list<QKeyCombination> combinations) {
      for (const QKeyCombination combination : combinations)
        QTest::keyClick(&monitor, combination.key(), combination.keyboardModifiers());
    };

    monitor.setSelection(6, 6);
    keys({Qt::ShiftModifier | Qt::Key_End});
    QCOMPARE(monitor.selectedText(), QStringLiteral("line"));
    keys({Qt::ShiftModifier | Qt::Key_Right, Qt::ShiftModifier | Qt::Key_Down});
    QCOMPARE(monitor.selectedText(), QStringLiteral("line\r\nsecond\r"));  // the whole break each step
    keys({Qt::ControlModifier | Qt::Key_C});
    QCOMPARE(clipboard->text(), QStringLiteral("line\r\nsecond\r"));
    keys({Qt::ShiftModifier | Qt::Key_Up, Qt::ShiftModifier | Qt::Key_Left});
    QCOMPARE(monitor.selectedText(), QStringLiteral("line"));
    QCOMPARE(monitor.cursorPosition(), 10);

    // A click, a shift-click further on; a double click takes a word.
    const qsizetype third = text.indexOf(QStringLiteral("third"));
    shown.click(third + 2);
    shown.click(text.indexOf(QStringLiteral("urth")), Qt::ShiftModifier);
    QCOMPARE(monitor.selectedText(), QStringLiteral("ird\x01 word\nfo"));
    keys({Qt::ControlModifier | Qt::Key_C});
    QCOMPARE(clipboard->text(), QStringLiteral("ird\x01 word\nfo"));
    QTest::mouseDClick(monitor.viewport(), Qt::LeftButton, Qt::NoModifier, shown.pointOf(text.indexOf("ord")));
    QCOMPARE(monitor.selectedText(), QStringLiteral("word"));

    keys({Qt::ControlModifier | Qt::Key_A, Qt::ControlModifier | Qt::Key_C});
    QCOMPARE(clipboard->text(), text);

    // Typing replaces the selection; Enter types CR LF.
    keys({Qt::ControlModifier | Qt::Key_Home, Qt::ShiftModifier | Qt::Key_Right, Qt::ShiftModifier | Qt::Key_Right});
    QTest::keyClicks(&monitor, QStringLiteral("F"));
    keys({Qt::Key_Return, Qt::Key_Delete});
    QCOMPARE(monitor.text(), QStringLiteral("F\r\nst line\r\nsecond\rthird\x01 word\nfourth"));
    QCOMPARE(monitor.cursorPosition(), 3);
  }

  void screenReadersGetTheShownText() {
    ShownMonitor shown;
    MonitorView& monitor = shown.monitor;
    monitor.setAccessibleName(QStringLiteral("Monitor"));
    monitor.append(QStringLiteral("OK\r\nR\x01\rlast"));
    QAccessibleInterface* const access = QAccessible::queryAccessibleInterface(&monitor);
    QVERIFY(access);
    QCOMPARE(access->role(), QAccessible::EditableText);
    QCOMPARE(access->text(QAccessible::Name), QStringLiteral("Monitor"));
    QAccessibleTextInterface* const text = access->textInterface();
    QVERIFY(text);
    const QString read = QString::fromUtf16(u"OK\nR\u2401\nlast");
    QCOMPARE(text->characterCount(), read.size());
    QCOMPARE(text->text(0, text->characterCount()), read);
    QCOMPARE(access->text(QAccessible::Value), read);

    text->setSelection(0, 1, 5);
    QCOMPARE(monitor.selectedText(), QStringLiteral("K\r\nR\x01"));
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    QCOMPARE(std::pair(start, end), std::pair(1, 5));
    QCOMPARE(text->cursorPosition(), 5);
    text->setCursorPosition(7);
    QCOMPARE(monitor.cursorPosition(), QStringLiteral("OK\r\nR\x01\rl").size());
    QCOMPARE(text->selectionCount(), 0);
    const QRect at = text->characterRect(8);
    QCOMPARE(text->offsetAtPoint(QPoint(at.left(), at.center().y())), 8);
  }
};

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
