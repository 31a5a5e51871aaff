// The monitor past its bound: the note at the top naming the record, the
// newest text exact, the size held at the bound, old text removed in large
// cuts rather than on every append.

#include "ui/monitor_view.h"

#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

using zelqon::MonitorView;

namespace {

constexpr qsizetype kBound = 8000;
const QString kRemoved = QStringLiteral("… texto anterior removido do monitor; ");

}  // namespace

class MonitorTest : public QObject {
  Q_OBJECT

 private slots:
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
    MonitorView monitor;
    monitor.setTextBound(kBound);
    monitor.setRecordFile(recordFile);
    monitor.resize(400, 200);
    monitor.show();

    QString sent;
    qsizetype previousHeld = 0;
    int cuts = 0;
    for (int i = 0; sent.size() < 6 * kBound; ++i) {
      const QString tail = line.arg(i);
      sent += tail;
      monitor.append(tail);
      const QTextBlock first = monitor.document()->firstBlock();
      const qsizetype held =
          monitor.document()->characterCount() - 1 - (first.text().startsWith(kRemoved) ? first.length() : 0);
      QVERIFY2(held <= kBound, qPrintable(QString::number(held)));
      if (held < previousHeld) {
        ++cuts;
        QVERIFY2(previousHeld - held >= kBound / 8 - 2 * tail.size(), "old text leaves in large cuts");
      }
      previousHeld = held;
    }
    QVERIFY(cuts >= 4);

    QCOMPARE(monitor.document()->firstBlock().text(), note);  // one line, shown as it reads
    const QString text = monitor.text();
    QCOMPARE(text.count(kRemoved), 1);
    QCOMPARE(text.mid(note.size(), 2), QStringLiteral("\r\n"));
    const QString kept = text.mid(note.size() + 2);
    QVERIFY2(sent.endsWith(kept), "the newest text stays exact");
    if (line.contains(QLatin1Char('\n')))  // cut where a line begins
      QCOMPARE(sent.at(sent.size() - kept.size() - 1), QLatin1Char('\n'));
  }

  void operatorReadingKeepsItsLines() {
    MonitorView monitor;
    monitor.setTextBound(kBound);
    monitor.resize(400, 200);
    monitor.show();
    for (int i = 0; i < 500; ++i)
      monitor.append(QStringLiteral("linha %1\r\n").arg(i, 4, 10, QLatin1Char('0')));
    QScrollBar* const bar = monitor.verticalScrollBar();
    bar->setValue(bar->maximum() - 200);
    const QString shown = monitor.document()->findBlockByNumber(bar->value()).text();
    for (int i = 0; i < 300; ++i)  // past the bound: the oldest lines leave
      monitor.append(QStringLiteral("mais %1\r\n").arg(i, 4, 10, QLatin1Char('0')));
    QVERIFY(monitor.document()->firstBlock().text().startsWith(kRemoved));
    QCOMPARE(monitor.document()->findBlockByNumber(bar->value()).text(), shown);
  }
};

QTEST_MAIN(MonitorTest)
#include "tst_monitor.moc"
