// The programming window on Qt's offscreen platform: its controls against
// the layout tables, the focus order, and operations driven through clicks
// against a pseudo-terminal playing the controller.

#include "protocol/programming_message.h"
#include "pty_peer.h"
#include "ui/layout_tables.h"
#include "ui/monitor_view.h"
#include "ui/page_layout.h"
#include "ui/programador.h"
#include "ui/widgets.h"

#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

using namespace zelqon;
using namespace std::chrono_literals;

namespace {

// A window shown and focused, with the poll timer stopped so that each test
// decides when a poll happens.
struct ShownWindow {
  explicit ShownWindow(const PortCatalog& catalog) : window(catalog) {
    window.findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
      qWarning("window did not become active");
  }
  template <typename T = QWidget>
  T* get(const QString& name) const {
    T* widget = window.findChild<T*>(name);
    if (!widget)
      qFatal("no control named %s", qPrintable(name));
    return widget;
  }
  [[nodiscard]] QString monitor() const { return get<MonitorView>(QStringLiteral("Tela_Recebto"))->text(); }
  void click(const QString& name) const { QTest::mouseClick(get(name), Qt::LeftButton); }
  void showPage(int radio) const { get<TabControl>(QStringLiteral("SSTab1"))->setCurrentIndex(radio - 1); }
  [[nodiscard]] QMessageBox* notice() const { return window.findChild<QMessageBox*>(QStringLiteral("avisoFalha")); }
  // The monitor sits below the designed height; grow the window to reach it.
  MonitorView* shownMonitor() {
    window.resize(697, 705);
    return get<MonitorView>(QStringLiteral("Tela_Recebto"));
  }
  Programador window;
};

QString focusName() {
  QWidget* focus = QApplication::focusWidget();
  // The tab control's focus sits on its tab strip.
  while (focus && focus->objectName().isEmpty())
    focus = focus->parentWidget();
  return focus ? focus->objectName() : QStringLiteral("<none>");
}

QStringList itemsOf(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i)
    items.append(list->itemText(i));
  return items;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void windowControlsMatchTheLayout();
  void pageControlsMatchTheLayoutOnEveryPage();
  void captionsFitTheirControls();
  void resizingMovesNothing();
  void startupFillsListsAndSetsDefaults();
  void tabOrderVisitsTheShownPageOnly();
  void leavingThePortListChangesThePort();
  void togglesFlipCaptionAndFlag();
  void sendClickWritesExactBytesAndEchoes();
  void factoryButtonWritesFixedSetWithPauses();
  void failuresAreShownOnceTheHandlerEnds();
  void permissionFailureNamesBothCauses();
  void disabledButtonsStayInert();
  void monitorShowsPlainTextAndFollowsTheBottom();
  void operatorEditsKeepTheOtherBytes_data();
  void operatorEditsKeepTheOtherBytes();
  void closingFromTheFrameClosesThePort();
  void closeDuringASequenceWaitsForItsEnd();
  void exitButtonClosesAndEnds();
};

void WindowTest::windowControlsMatchTheLayout() {
  ShownWindow w{PortCatalog()};
  QCOMPARE(w.window.windowTitle(), QStringLiteral("ZELQON"));
  QCOMPARE(w.window.size(), QSize(697, 359));
  for (const layout::WindowControl& control : layout::kWindowControls) {
    const QString name = QString::fromLatin1(control.name);
    QWidget* widget = w.get(name);
    QCOMPARE(widget->parentWidget(), &w.window);
    QCOMPARE(widget->geometry(), control.rect.toPixels());
    QCOMPARE(widget->isEnabled(), control.enabled);
    const QString caption = QString::fromUtf8(control.caption);
    if (auto* label = qobject_cast<QLabel*>(widget); label && control.kind != layout::Kind::PictureBox)
      QCOMPARE(label->text(), caption);
    if (auto* button = qobject_cast<QPushButton*>(widget))
      QCOMPARE(button->text(), caption);
    QCOMPARE(widget->font().families().constFirst(), designFont(control.face).families().constFirst());
  }
  // A few values straight from the design, in pixels.
  QCOMPARE(w.get("cboComm")->geometry(), QRect(624, 8, 49, 21));
  QCOMPARE(w.get("Tela_Recebto")->geometry(), QRect(24, 400, 649, 273));
  QCOMPARE(w.get("Label1")->font().pixelSize(), 24);
  QVERIFY(w.get("Label1")->font().bold() && w.get("Label1")->font().italic());
  QCOMPARE(w.get<QLabel>("Picture1")->pixmap().size(), QSize(64, 64));
  auto* tabs = w.get<TabControl>("SSTab1");
  QCOMPARE(tabs->tabBar()->count(), 4);
  QCOMPARE(tabs->tabBar()->tabText(2), QStringLiteral("RÁDIO 3"));
  QCOMPARE(tabs->tabBar()->height(), 35);
  QCOMPARE(tabs->currentIndex(), 0);
  QVERIFY(!w.get<QComboBox>("R1_Cor_Delay_DT")->isEditable());
  QVERIFY(w.get<QComboBox>("cboComm")->isEditable());
  // No port at all: the list stays empty and shows no text.
  QCOMPARE(w.get<QComboBox>("cboComm")->count(), 0);
  QCOMPARE(w.get<QComboBox>("cboComm")->currentText(), QString());
}

void WindowTest::pageControlsMatchTheLayoutOnEveryPage() {
  ShownWindow w{PortCatalog()};
  auto* tabs = w.get<TabControl>("SSTab1");
  for (int radio = 1; radio <= 4; ++radio) {
    tabs->setCurrentIndex(radio - 1);
    for (const layout::PageControl& control : layout::kPageControls) {
      QWidget* widget = w.get(layout::pageControlName(radio, control.role));
      QCOMPARE(widget->parentWidget(), tabs->page(radio - 1));
      // Relative to the tab control's outer corner, tab strip included.
      QCOMPARE(widget->mapTo(tabs, QPoint(0, 0)), control.rect.toPixels().topLeft());
      QCOMPARE(widget->size(), control.rect.toPixels().size());
      QVERIFY(widget->isVisible());
    }
    for (int other = 1; other <= 4; ++other)
      QCOMPARE(w.get(QStringLiteral("R%1_Cor").arg(other))->isVisible(), other == radio);
  }
  // The route caption boxes name the radio each row keys.
  const QList<std::pair<QString, QString>> captions{{"Text8", "PTT1"},   {"Text6", "PTT3"},
                                                    {"Text5", "PTT4"},   {"Text13", "PTT3"},
                                                    {"Text15", "COR 4"}, {"EnviaR3", "Enviar programação do RÁDIO 3"}};
  for (const auto& [name, caption] : captions)
    QCOMPARE(w.get(name)->property("text").toString(), caption);
  // Lines: the signal line of page 2 and the right edge of page 4's route box.
  const QList<std::pair<QString, QRect>> rects{
      {"R3_Cor", {96, 104, 49, 49}}, {"Line10", {80, 128, 489, 1}}, {"Line16", {472, 72, 1, 113}}};
  for (const auto& [name, rect] : rects)
    QCOMPARE(w.get(name)->geometry(), rect);
  QCOMPARE(w.get("R2_Cor_PTT3")->accessibleName(), QStringLiteral("RÁDIO 2 aciona o PTT3"));
  QCOMPARE(w.get("R2_Cor_PTT2")->accessibleName(), QStringLiteral("RÁDIO 2 aciona o PTT1"));
}

void WindowTest::captionsFitTheirControls() {
  ShownWindow w{PortCatalog()};
  QStringList overflowing;
  const auto check = [&](QWidget* widget, const QString& text, bool wraps) {
    const QFontMetrics metrics(widget->font());
    const int room = widget->width() - (wraps ? 6 : 0);
    int widest = 0;
    for (const QString& word : wraps ? text.split(QLatin1Char(' ')) : QStringList{text})
      widest = std::max(widest, metrics.horizontalAdvance(word));
    // Ink that reaches below the control is clipped: labels draw from the top.
    // The title's 24 px face fills its 25 px box; the tail of its Q may touch
    // the last row.
    const int inkBottom = metrics.ascent() + metrics.tightBoundingRect(text).bottom();
    if (widest > room || inkBottom > widget->height() + 1)
      overflowing.append(QStringLiteral("%1 (%2 > %3)").arg(widget->objectName()).arg(widest).arg(room));
  };
  for (QLabel* label : w.window.findChildren<QLabel*>())
    if (!label->text().isEmpty())
      check(label, label->text(), false);
  for (QPushButton* button : w.window.findChildren<QPushButton*>()) {
    check(button, button->text(), true);
    if (button->objectName().endsWith(QLatin1String("_Cor")))
      check(button, kCorActiveLow, true);
    if (button->objectName().contains(QLatin1String("_PTT")))
      check(button, kRouteOn, true);
  }
  for (QLineEdit* box : w.window.findChildren<QLineEdit*>())
    if (box->objectName().startsWith(QLatin1String("Text")))
      check(box, box->text(), false);
  QVERIFY2(overflowing.isEmpty(),
           qPrintable(overflowing.join(", ") + " with " + QFontInfo(designFont(layout::Face::Default)).family()));
}

void WindowTest::resizingMovesNothing() {
  ShownWindow w{PortCatalog()};
  QWidget* monitor = w.get("Tela_Recebto");
  const QRect before = monitor->geometry();
  QVERIFY(before.top() >= w.window.height());  // out of view at the designed size
  w.window.resize(697, layout::pixels(10200 + 375));
  QTest::qWait(10);
  QCOMPARE(monitor->geometry(), before);
  QCOMPARE(w.get("Command1")->geometry().bottom() + 1, w.window.height());
  QVERIFY(monitor->isVisible());
}

void WindowTest::startupFillsListsAndSetsDefaults() {
  ShownWindow w{ptyCatalog({{3, "/dev/ttyUSB2"}, {1, "/dev/ttyUSB0"}})};
  for (int radio = 1; radio <= 4; ++radio) {
    for (const char* suffix : {"_Cor_Delay_DT", "_Cor_Delay_HT"}) {
      auto* list = w.get<QComboBox>(QStringLiteral("R%1%2").arg(radio).arg(suffix));
      QCOMPARE(itemsOf(list), delayChoiceList());
      QCOMPARE(list->currentIndex(), 1);
    }
    QCOMPARE(w.window.readRadio(radio), RadioProgram{});
    QCOMPARE(w.get<QPushButton>(QStringLiteral("R%1_Cor").arg(radio))->text(), kCorActiveHigh);
  }
  // The port list holds what discovery lists, each entry naming its device.
  auto* ports = w.get<QComboBox>("cboComm");
  QCOMPARE(itemsOf(ports), (QStringList{"1", "3"}));
  QCOMPARE(ports->currentText(), QStringLiteral("1"));
  QCOMPARE(ports->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("COM3: /dev/ttyUSB2 (Adaptador 3)"));
  // Showing the first entry does not choose the link's port.
  QVERIFY(!w.window.link().isOpen());
  QCOMPARE(w.window.link().portNumber(), qint16(1));
  QCOMPARE(focusName(), QStringLiteral("SSTab1"));
  Programador fresh{PortCatalog()};
  auto* timer = fresh.findChild<QTimer*>(QStringLiteral("Timer1"));
  QVERIFY(timer->isActive());
  QCOMPARE(timer->interval(), 1000);
}

void WindowTest::tabOrderVisitsTheShownPageOnly() {
  ShownWindow w{PortCatalog()};
  const auto walk = [&](int steps) {
    QStringList visited{focusName()};
    for (int i = 0; i < steps; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited.append(focusName());
    }
    return visited;
  };
  QCOMPARE(walk(17), (QStringList{"SSTab1", "cboComm", "R1_Cor_Delay_DT", "Botao_Sair", "Text2", "Picture1",
                                  "R1_Cor_PTT2", "R1_Cor_Delay_HT", "R1_Cor", "Text1", "Text3", "Text4", "R1_Cor_PTT3",
                                  "R1_Cor_PTT4", "Tela_Recebto", "EnviaR1", "ProgDefa4canais", "SSTab1"}));
  w.showPage(3);
  w.get("SSTab1")->setFocus();
  QCOMPARE(walk(17), (QStringList{"SSTab1", "cboComm", "Botao_Sair", "Picture1", "Tela_Recebto", "Text9", "Text10",
                                  "Text11", "R3_Cor_Delay_HT", "Text12", "R3_Cor_Delay_DT", "R3_Cor_PTT4",
                                  "R3_Cor_PTT3", "R3_Cor", "R3_Cor_PTT2", "EnviaR3", "ProgDefa4canais", "SSTab1"}));
}

void WindowTest::leavingThePortListChangesThePort() {
  PtyPeer port1;
  PtyPeer port3;
  ShownWindow w{ptyCatalog({{1, port1.slavePath()}, {3, port3.slavePath()}})};
  auto* list = w.get<QComboBox>("cboComm");
  w.window.Timer1_Timer();
  QVERIFY(w.window.link().isOpen());  // port 1 although nothing was chosen yet

  list->setFocus();
  list->lineEdit()->selectAll();
  QTest::keyClicks(list, QStringLiteral(" 3 "));
  QTest::keyClick(list, Qt::Key_Tab);
  QCOMPARE(focusName(), QStringLiteral("R1_Cor_Delay_DT"));
  QVERIFY(!w.window.link().isOpen());
  QCOMPARE(w.window.link().portNumber(), qint16(3));
  QCOMPARE(list->count(), 2);  // typed text adds no entry

  w.window.Timer1_Timer();
  QVERIFY(w.window.link().isOpen());
  port3.send("from three");
  w.window.Timer1_Timer();
  QCOMPARE(w.monitor(), QStringLiteral("from three"));

  // Out of range: the number stays and the next tick reopens port 3.
  list->setFocus();
  list->lineEdit()->selectAll();
  QTest::keyClicks(list, QStringLiteral("40000"));
  w.get("R1_Cor")->setFocus(Qt::TabFocusReason);
  QCOMPARE(w.window.link().portNumber(), qint16(3));
  QVERIFY(!w.window.link().isOpen());
  w.window.Timer1_Timer();
  QVERIFY(w.window.link().isOpen());
}

void WindowTest::togglesFlipCaptionAndFlag() {
  ShownWindow w{PortCatalog()};
  w.showPage(2);
  auto* cor = w.get<QPushButton>("R2_Cor");
  w.click("R2_Cor");
  QCOMPARE(cor->text(), kCorActiveLow);
  QCOMPARE(w.window.radioFlags(2).Cor, kFlagOff);
  w.click("R2_Cor");
  QCOMPARE(cor->text(), kCorActiveHigh);
  QCOMPARE(w.window.radioFlags(2).Cor, kFlagOn);

  w.showPage(3);
  w.click("R3_Cor_PTT3");
  QCOMPARE(w.get<QPushButton>("R3_Cor_PTT3")->text(), kRouteOn);
  QCOMPARE(buildProgrammingMessage(3, w.window.readRadio(3)),
           QStringLiteral("Radio=3;COR=1;DelayDT=00100;PTT1=0;PTT2=1;PTT3=0;PTT4=0;DelayHT=00100;"));
  // A caption set elsewhere is read as it stands.
  cor->setText(QStringLiteral("outro"));
  w.window.toggleCorLevel(2);
  QCOMPARE(cor->text(), kCorActiveLow);
  QCOMPARE(w.window.radioFlags(2).Cor, kFlagOff);
}

void WindowTest::sendClickWritesExactBytesAndEchoes() {
  PtyPeer controller;
  ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
  w.showPage(2);
  w.click("R2_Cor_PTT2");
  w.get<QComboBox>("R2_Cor_Delay_HT")->setCurrentIndex(100);
  w.click("EnviaR2");
  const QString expected = QStringLiteral("Radio=2;COR=1;DelayDT=00100;PTT1=1;PTT2=0;PTT3=0;PTT4=0;DelayHT=10000;");
  QCOMPARE(controller.receive(70), expected.toLatin1());
  QCOMPARE(w.monitor(), expected + "\r\n");

  controller.send("OK\r\n");
  w.window.Timer1_Timer();
  w.showPage(1);
  w.click("EnviaR1");
  QCOMPARE(controller.receive(70), factoryMessage(1).toLatin1());
  QCOMPARE(w.monitor(), expected + "\r\nOK\r\n\r\n" + factoryMessage(1) + "\r\n");
  QVERIFY(!w.notice());
}

void WindowTest::factoryButtonWritesFixedSetWithPauses() {
  PtyPeer controller;
  ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
  w.click("R1_Cor");  // the factory set ignores the window's values
  QByteArray seenAtPauses;
  int pauses = 0;
  w.window.setCommandPause([&](std::chrono::milliseconds duration) {
    QCOMPARE(duration, 3000ms);
    ++pauses;
    seenAtPauses += controller.receive(70 * pauses, 1000).right(70).left(7) + ' ';
  });
  w.click("ProgDefa4canais");
  QCOMPARE(pauses, 3);
  QCOMPARE(seenAtPauses, QByteArray("Radio=1 Radio=2 Radio=3 "));
  QCOMPARE(controller.receive(70), factoryMessage(4).toLatin1());
  QCOMPARE(w.monitor(), QString());
  QCOMPARE(w.get<QPushButton>("R1_Cor")->text(), kCorActiveLow);
}

void WindowTest::failuresAreShownOnceTheHandlerEnds() {
  ShownWindow w{PortCatalog()};  // no port 1 on this machine
  w.click("EnviaR1");
  QCOMPARE(w.monitor(), QString());                  // the open failed before the echo
  QVERIFY(!w.notice() || !w.notice()->isVisible());  // not from inside the handler
  QTRY_VERIFY(w.notice() && w.notice()->isVisible());
  QVERIFY(!w.notice()->isModal());
  for (const QString& part : QStringList{"RÁDIO 1", "COM1", "Não há porta serial"})
    QVERIFY2(w.notice()->text().contains(part), qPrintable(w.notice()->text()));
  w.notice()->hide();
  // The poll's failures stay silent.
  w.window.Timer1_Timer();
  QTest::qWait(20);
  QVERIFY(!w.notice()->isVisible());
}

void WindowTest::permissionFailureNamesBothCauses() {
  PtyPeer controller;
  const PortCatalog catalog = ptyCatalog({{1, controller.slavePath()}});
  SerialPortService otherProgram(catalog);
  otherProgram.open();
  ShownWindow w{catalog};
  w.click("ProgDefa4canais");
  QTRY_VERIFY(w.notice());
  const QString text = w.notice()->text();
  for (const QString& part : QStringList{"dialout", "outro programa", controller.slavePath()})
    QVERIFY2(text.contains(part), qPrintable(text));
}

void WindowTest::disabledButtonsStayInert() {
  ShownWindow w{PortCatalog()};
  w.shownMonitor()->append(QStringLiteral("keep"));
  for (const char* name : {"EnviaProgPadrao", "Command1", "Command2"}) {
    QSignalSpy clicked(w.get<QPushButton>(name), &QPushButton::clicked);
    w.click(name);
    QCOMPARE(clicked.count(), 0);
  }
  QCOMPARE(w.monitor(), QStringLiteral("keep"));
  // Still wired: enabled, the clear button clears.
  w.get("Command2")->setEnabled(true);
  w.click("Command2");
  QCOMPARE(w.monitor(), QString());
}

void WindowTest::monitorShowsPlainTextAndFollowsTheBottom() {
  ShownWindow w{PortCatalog()};
  auto* monitor = w.shownMonitor();
  monitor->append(QStringLiteral("<b>bold?</b>\r"));
  monitor->append(QStringLiteral("\nnext\x01"));
  QCOMPARE(monitor->text(), QStringLiteral("<b>bold?</b>\r\nnext\x01"));
  QCOMPARE(monitor->toPlainText(), QStringLiteral("<b>bold?</b>\nnext\u2401"));

  // A line that never ends is shown in pieces; its text stays whole.
  monitor->clear();
  const QString unbroken(2 * MonitorView::kLongestShownLine + 5, QLatin1Char('u'));
  monitor->append(unbroken.left(700));
  monitor->append(unbroken.mid(700));
  QCOMPARE(monitor->text(), unbroken);
  QCOMPARE(monitor->document()->blockCount(), 3);
  QCOMPARE(monitor->document()->lastBlock().length() - 1, 5);

  for (int i = 0; i < 200; ++i)
    monitor->append(QStringLiteral("line %1\r\n").arg(i));
  QScrollBar* bar = monitor->verticalScrollBar();
  QCOMPARE(bar->value(), bar->maximum());  // followed the new text
  bar->setValue(10);
  monitor->append(QStringLiteral("more\r\n"));
  QCOMPARE(bar->value(), 10);  // the operator's place is kept
}

void WindowTest::operatorEditsKeepTheOtherBytes_data() {
  QTest::addColumn<QString>("received");
  QTest::addColumn<int>("position");  // in the box
  QTest::addColumn<QString>("keys");  // "\n" presses Enter, "\b" Backspace, "\x7f" Delete
  QTest::addColumn<QString>("expected");
  const QString crLine = QStringLiteral("ab\rcd\ne\x02");
  QTest::newRow("typed inside a line") << crLine << 1 << "X"
                                       << "aXb\rcd\ne\x02";
  QTest::newRow("Enter splits a CR line") << crLine << 1 << "\n"
                                          << "a\r\nb\rcd\ne\x02";
  QTest::newRow("Enter at a line's end") << crLine << 2 << "\n"
                                         << "ab\r\n\rcd\ne\x02";
  QTest::newRow("Enter at a line's start") << crLine << 3 << "\n"
                                           << "ab\r\r\ncd\ne\x02";
  QTest::newRow("Delete joins two lines") << crLine << 2 << "\x7f"
                                          << "abcd\ne\x02";
  QTest::newRow("Backspace joins two lines") << crLine << 6 << "\b"
                                             << "ab\rcde\x02";
  QTest::newRow("Backspace over a control") << crLine << 8 << "\b"
                                            << "ab\rcd\ne";
  const QString longLine = QString(MonitorView::kLongestShownLine + 10, QLatin1Char('x')) + QStringLiteral("\r\n");
  QTest::newRow("a display-only break deleted") << longLine << MonitorView::kLongestShownLine + 1 << "\b" << longLine;
  QTest::newRow("Enter in a long line") << longLine << 5 << "\n"
                                        << "xxxxx\r\n" + longLine.mid(5);
}

void WindowTest::operatorEditsKeepTheOtherBytes() {
  QFETCH(QString, received);
  QFETCH(int, position);
  QFETCH(QString, keys);
  QFETCH(QString, expected);
  ShownWindow w{PortCatalog()};
  auto* monitor = w.shownMonitor();
  monitor->append(received);
  monitor->setFocus();
  QTextCursor cursor = monitor->textCursor();
  cursor.setPosition(position);
  monitor->setTextCursor(cursor);
  for (const QChar key : keys) {
    if (key == QLatin1Char('\n'))
      QTest::keyClick(monitor, Qt::Key_Return);
    else if (key == QLatin1Char('\b'))
      QTest::keyClick(monitor, Qt::Key_Backspace);
    else if (key == QChar(0x7f))
      QTest::keyClick(monitor, Qt::Key_Delete);
    else
      QTest::keyClicks(monitor, key);
  }
  QCOMPARE(monitor->text(), expected);
  // Received text still goes on at the end, after what the operator did.
  monitor->append(QStringLiteral("!\r"));
  monitor->append(QStringLiteral("\n?"));
  QCOMPARE(monitor->text(), expected + QStringLiteral("!\r\n?"));
}

void WindowTest::closingFromTheFrameClosesThePort() {
  PtyPeer controller;
  ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
  w.window.link().ensurePortOpen();
  w.window.link().writeText(QStringLiteral("last words"));
  QVERIFY(w.window.close());
  QVERIFY(!w.window.link().isOpen());
  QCOMPARE(controller.receive(10), QByteArray("last words"));
}

void WindowTest::closeDuringASequenceWaitsForItsEnd() {
  PtyPeer controller;
  ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
  bool stillShownAfterClose = false;
  w.window.setCommandPause([&](std::chrono::milliseconds) {
    w.window.close();
    stillShownAfterClose = w.window.isVisible();
  });
  w.click("ProgDefa4canais");
  QVERIFY(stillShownAfterClose);
  QCOMPARE(controller.receive(280).size(), 280);  // all four went out
  QTRY_VERIFY(!w.window.isVisible());
  QVERIFY(!w.window.link().isOpen());
}

void WindowTest::exitButtonClosesAndEnds() {
  PtyPeer controller;
  ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
  QSignalSpy ended(&w.window, &Programador::endRequested);
  w.window.Timer1_Timer();
  QVERIFY(w.window.link().isOpen());
  w.click("Botao_Sair");
  QCOMPARE(ended.count(), 1);
  QVERIFY(!w.window.link().isOpen());
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
