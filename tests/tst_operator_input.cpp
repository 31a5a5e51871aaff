// What the operator's keyboard, wheel and clipboard do to single controls:
// Enter on a push button, the wheel over a delay list, copying from the
// monitor.

#include "protocol/radio_program.h"
#include "ui/monitor_view.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QTextCursor>
#include <QWheelEvent>

using namespace zelqon;

class OperatorInputTest final : public QObject {
  Q_OBJECT

 private slots:
  void enterPressesFocusedButton();
  void wheelChangesOnlyFocusedDelayList();
  void monitorCopiesExactText();
};

void OperatorInputTest::enterPressesFocusedButton() {
  CaptionButton button(QStringLiteral("ENVIAR"));
  QSignalSpy clicked(&button, &QPushButton::clicked);

  QTest::keyClick(&button, Qt::Key_Return);
  QCOMPARE(clicked.count(), 1);
  QTest::keyClick(&button, Qt::Key_Enter, Qt::KeypadModifier);
  QCOMPARE(clicked.count(), 2);

  // A held key: one press, repeats, one release.
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
  QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
  QApplication::sendEvent(&button, &press);
  QApplication::sendEvent(&button, &repeat);
  QApplication::sendEvent(&button, &repeat);
  QTest::keyRelease(&button, Qt::Key_Return);
  QCOMPARE(clicked.count(), 3);

  button.setEnabled(false);
  QApplication::sendEvent(&button, &press);
  QCOMPARE(clicked.count(), 3);
}

void OperatorInputTest::wheelChangesOnlyFocusedDelayList() {
  QWidget page;
  auto* other = new QLineEdit(&page);
  auto* list = new DelayList(&page);
  list->move(0, 40);
  list->addItems(delayChoiceList());
  list->setCurrentIndex(1);
  page.show();
  page.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&page));
  other->setFocus();
  QVERIFY(other->hasFocus());

  // Delivered as the window system delivers it, so that the wheel could also
  // hand out the focus; returns whether anything took the event.
  const auto turnWheelDown = [list] {
    const QPointF at(list->rect().center());
    QWheelEvent down(at, list->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                     false);
    QSpontaneKeyEvent::setSpontaneous(&down);
    qApp->notify(list, &down);  // as QTest does: sendEvent() would clear the flag
    return down.isAccepted();
  };
  QVERIFY(!turnWheelDown());  // left to the page, which may scroll
  QCOMPARE(list->currentIndex(), 1);
  QVERIFY(other->hasFocus());

  list->setFocus();
  QVERIFY(turnWheelDown());
  QCOMPARE(list->currentText(), QStringLiteral("00200"));
}

void OperatorInputTest::monitorCopiesExactText() {
  QByteArray bytes(256, '\0');
  for (int b = 0; b < 256; ++b)
    bytes[b] = char(b);
  // Every Latin-1 character, each kind of line ending received, and a line
  // longer than the box shows on one line.
  const QString received = QString::fromLatin1(bytes) + QStringLiteral("\r\nx\ry\nz\r\n") +
                           QString(MonitorView::kLongestShownLine + 10, QLatin1Char('w')) + QStringLiteral("\r");
  MonitorView monitor;
  monitor.append(received);

  monitor.selectAll();
  monitor.copy();
  QCOMPARE(QGuiApplication::clipboard()->text(), received);

  // From the middle of one line to the middle of the next, across a CR LF.
  monitor.clear();
  monitor.append(QStringLiteral("ab\x01\r\ncd"));
  QTextCursor cursor(monitor.document());
  cursor.setPosition(1);
  cursor.setPosition(5, QTextCursor::KeepAnchor);
  monitor.setTextCursor(cursor);
  monitor.copy();
  QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("b\x01\r\nc"));
}

QTEST_MAIN(OperatorInputTest)
#include "tst_operator_input.moc"
