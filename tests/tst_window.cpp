// The programming window on Qt's offscreen platform: its controls against the
// designed names, captions and geometry, the focus order, and operations
// driven through clicks against a pseudo-terminal playing the controller.

#include "protocol/programming_message.h"
#include "pty_peer.h"
#include "ui/monitor_view.h"
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
    // The machine's own ports stay out of it.
    window.engine().setPortScan([ports = catalog.devices()] { return ports.values(); });
    get<QTimer>(QStringLiteral("Timer1"))->stop();
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
      qWarning("window did not become active");
  }
  template <typename T = QWidget>
  T* get(const QString& name) const {
    static_assert(std::is_base_of_v<QObject, T>);
    T* widget = window.findChild<T*>(name);
    if (!widget)
      qFatal("no control named %s", qPrintable(name));
    return widget;
  }
  [[nodiscard]] QString monitor() const { return get<MonitorView>(QStringLiteral("Tela_Recebto"))->text(); }
  void click(const QString& name) const { QTest::mouseClick(get(name), Qt::LeftButton); }
  void showPage(int radio) const { get<TabControl>(QStringLiteral("SSTab1"))->setCurrentIndex(radio - 1); }
  void poll() const { window.engine().pollReceive(); }
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
  void windowMatchesTheDesign();
  void everyPageMatchesTheDesign();
  void captionsFitTheirControls();
  void startupFillsListsAndSetsDefaults();
  void tabOrderVisitsTheShownPageOnly();
  void leavingThePortListChangesThePort();
  void portListFollowsTheAdapter();
  void togglesAndSendsReachTheLine();
  void failuresAreShownOnceTheHandlerEnds();
  void pulledAdapterIsToldToTheOperator();
  void disabledButtonsStayInert();
  void monitorShowsPlainTextAndFollowsTheBottom();
  void operatorEditsKeepTheOtherBytes_data();
  void operatorEditsKeepTheOtherBytes();
  void sequenceShowsProgressRefusesInputAndClosesAfter();
  void exitButtonClosesAndEnds();
};

void WindowTest::windowMatchesTheDesign() {
  ShownWindow w{PortCatalog()};
  QCOMPARE(w.window.windowTitle(), QStringLiteral("ZELQON"));
  QCOMPARE(w.window.size(), QSize(697, 359));
  // Every caption of the window itself; twips / 15 for a few rectangles.
  const QList<std::tuple<QString, QString, QRect, bool>> controls{
      {"Label1", "PROGRAMADOR ZELQON", {120, 8, 329, 25}, true},
      {"Label2", "Controle de programação de controladora para até 4 rádios", {120, 40, 329, 17}, true},
      {"lblLabel", "Porta COM:", {552, 8, 73, 17}, true},
      {"ProgDefa4canais", "Programação de fábrica", {344, 320, 145, 25}, true},
      {"Botao_Sair", "ENCERRAR A UTILIZAÇÃO", {504, 320, 169, 25}, true},
      {"EnviaProgPadrao", "Enviar PADRÃO DE PROGRAMAÇÃO (na inicialização do programa)", {24, 368, 649, 25}, false},
      {"Label12", "Janela provisória para visualização do envio e recebimento de dados:", {24, 680, 337, 17}, true},
      {"Command1", "Enviar comando: Atualizar", {376, 680, 177, 25}, false},
      {"Command2", "Limpar janela", {568, 680, 105, 25}, false},
  };
  for (const auto& [name, caption, rect, enabled] : controls) {
    QWidget* widget = w.get(name);
    QCOMPARE(widget->property("text").toString(), caption);
    QCOMPARE(widget->geometry(), rect);
    QCOMPARE(widget->isEnabled(), enabled);
  }
  QCOMPARE(w.get("Picture1")->geometry(), QRect(48, 8, 73, 73));
  QCOMPARE(w.get("cboComm")->geometry(), QRect(624, 8, 49, 21));
  QCOMPARE(w.get("SSTab1")->geometry(), QRect(24, 88, 649, 225));
  QCOMPARE(w.get("Tela_Recebto")->geometry(), QRect(24, 400, 649, 273));
  QCOMPARE(w.get("Label11")->geometry(), QRect(24, 328, 305, 17));
  QCOMPARE(w.get("Label1")->font().pixelSize(), 24);
  QVERIFY(w.get("Label1")->font().bold() && w.get("Label1")->font().italic());
  QCOMPARE(w.get("lblLabel")->font().pixelSize(), 13);
  QCOMPARE(w.get<QLabel>("Picture1")->pixmap().size(), QSize(64, 64));
  auto* tabs = w.get<TabControl>("SSTab1");
  QCOMPARE(tabs->tabBar()->count(), 4);
  for (int page = 0; page < 4; ++page)
    QCOMPARE(tabs->tabBar()->tabText(page), QStringLiteral("RÁDIO %1").arg(page + 1));
  QCOMPARE(tabs->tabBar()->height(), 35);
  QCOMPARE(tabs->currentIndex(), 0);
  QVERIFY(!w.get<QComboBox>("R1_Cor_Delay_DT")->isEditable());
  QVERIFY(qobject_cast<DelayList*>(w.get("R4_Cor_Delay_HT")));  // ignores a stray wheel
  QVERIFY(w.get<QComboBox>("cboComm")->isEditable());
  // No port at all: the list stays empty and shows no text.
  QCOMPARE(w.get<QComboBox>("cboComm")->count(), 0);
  QCOMPARE(w.get<QComboBox>("cboComm")->currentText(), QString());
}

void WindowTest::everyPageMatchesTheDesign() {
  ShownWindow w{PortCatalog()};
  auto* tabs = w.get<TabControl>("SSTab1");
  // Per page: COR box, route boxes of rows 1..3 with their captions, the two
  // captions, the signal line and the route box's top, bottom, left, right.
  const struct {
    const char* corBox;
    const char* routeBoxes[3];
    const char* routeCaptions[3];
    const char* debounce;
    const char* hang;
    const char* lines[5];
  } pages[4] = {
      {"Text1", {"Text2", "Text3", "Text4"}, {"PTT2", "PTT3", "PTT4"}, "Label3", "Label4",
       {"Line1", "Line2", "Line3", "Line4", "Line5"}},
      {"Text7", {"Text8", "Text6", "Text5"}, {"PTT1", "PTT3", "PTT4"}, "Label6", "Label5",
       {"Line10", "Line9", "Line8", "Line7", "Line6"}},
      {"Text11", {"Text12", "Text10", "Text9"}, {"PTT1", "PTT2", "PTT4"}, "Label8", "Label7",
       {"Line15", "Line14", "Line13", "Line12", "Line11"}},
      {"Text15", {"Text16", "Text14", "Text13"}, {"PTT1", "PTT2", "PTT3"}, "Label10", "Label9",
       {"Line20", "Line19", "Line18", "Line17", "Line16"}},
  };
  const QRect lineRects[5] = {{80, 128, 489, 1}, {336, 72, 137, 1}, {336, 184, 137, 1}, {336, 72, 1, 113},
                              {472, 72, 1, 113}};
  const auto at = [&](const QString& name) { return QRect(w.get(name)->mapTo(tabs, QPoint(0, 0)), w.get(name)->size()); };
  for (int radio = 1; radio <= 4; ++radio) {
    tabs->setCurrentIndex(radio - 1);
    const auto& page = pages[radio - 1];
    const QString r = QStringLiteral("R%1_").arg(radio);
    QCOMPARE(w.get(page.corBox)->property("text").toString(), QStringLiteral("COR %1").arg(radio));
    QCOMPARE(at(page.corBox), QRect(48, 120, 49, 19));
    QCOMPARE(at(r + "Cor"), QRect(96, 104, 49, 49));
    QCOMPARE(w.get<QPushButton>(r + "Cor")->text(), QStringLiteral("ATIVO ALTO"));
    QCOMPARE(w.get(page.debounce)->property("text").toString(), QStringLiteral("Debounce Timer (mS)"));
    QCOMPARE(at(page.debounce), QRect(192, 96, 113, 17));
    QCOMPARE(at(r + "Cor_Delay_DT"), QRect(200, 120, 81, 21));
    QCOMPARE(w.get(page.hang)->property("text").toString(), QStringLiteral("Hang Timer (mS)"));
    QCOMPARE(at(page.hang), QRect(528, 96, 81, 17));
    QCOMPARE(at(r + "Cor_Delay_HT"), QRect(528, 120, 81, 21));
    for (int row = 0; row < 3; ++row) {
      QCOMPARE(w.get(page.routeBoxes[row])->property("text").toString(), QString::fromLatin1(page.routeCaptions[row]));
      QCOMPARE(at(page.routeBoxes[row]), QRect(352, 64 + 56 * row, 41, 19));
      const QString button = r + QStringLiteral("Cor_PTT%1").arg(row + 2);
      QCOMPARE(at(button), QRect(392, 56 + 56 * row, 65, 33));
      QCOMPARE(w.get<QPushButton>(button)->text(), QStringLiteral("Desativado"));
      QCOMPARE(w.get(button)->accessibleName(),
               QStringLiteral("RÁDIO %1 aciona o %2").arg(radio).arg(page.routeCaptions[row]));
    }
    for (int line = 0; line < 5; ++line)
      QCOMPARE(at(page.lines[line]), lineRects[line]);
    QCOMPARE(at(QStringLiteral("EnviaR%1").arg(radio)), QRect(48, 176, 225, 33));
    QCOMPARE(w.get<QPushButton>(QStringLiteral("EnviaR%1").arg(radio))->text(),
             QStringLiteral("Enviar programação do RÁDIO %1").arg(radio));
    for (int other = 1; other <= 4; ++other)
      QCOMPARE(w.get(QStringLiteral("R%1_Cor").arg(other))->isVisible(), other == radio);
  }
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
  QVERIFY(!w.window.engine().isOpen());
  QCOMPARE(w.window.engine().portNumber(), qint16(1));
  QCOMPARE(focusName(), QStringLiteral("SSTab1"));
  Programador fresh{PortCatalog()};
  auto* timer = fresh.findChild<QTimer*>(QStringLiteral("Timer1"));
  QVERIFY(timer->isActive());
  QCOMPARE(timer->interval(), 1000);
}

void WindowTest::tabOrderVisitsTheShownPageOnly() {
  ShownWindow w{PortCatalog()};
  const auto walk = [&](int page) {
    w.showPage(page);
    w.get("SSTab1")->setFocus();
    QStringList visited{focusName()};
    for (int i = 0; i < 17; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited.append(focusName());
    }
    return visited.join(' ');
  };
  const QString common = QStringLiteral("SSTab1 cboComm ");
  QCOMPARE(walk(1), common + "R1_Cor_Delay_DT Botao_Sair Text2 Picture1 R1_Cor_PTT2 R1_Cor_Delay_HT R1_Cor Text1 "
                             "Text3 Text4 R1_Cor_PTT3 R1_Cor_PTT4 Tela_Recebto EnviaR1 ProgDefa4canais SSTab1");
  QCOMPARE(walk(2), common + "Botao_Sair Picture1 Tela_Recebto Text5 Text6 Text7 R2_Cor_Delay_HT Text8 "
                             "R2_Cor_Delay_DT R2_Cor_PTT4 R2_Cor_PTT3 R2_Cor R2_Cor_PTT2 EnviaR2 ProgDefa4canais SSTab1");
  QCOMPARE(walk(3), common + "Botao_Sair Picture1 Tela_Recebto Text9 Text10 Text11 R3_Cor_Delay_HT Text12 "
                             "R3_Cor_Delay_DT R3_Cor_PTT4 R3_Cor_PTT3 R3_Cor R3_Cor_PTT2 EnviaR3 ProgDefa4canais SSTab1");
  QCOMPARE(walk(4), common + "Botao_Sair Picture1 Tela_Recebto Text13 Text14 Text15 R4_Cor_Delay_HT Text16 "
                             "R4_Cor_Delay_DT R4_Cor_PTT4 R4_Cor_PTT3 R4_Cor R4_Cor_PTT2 EnviaR4 ProgDefa4canais SSTab1");
}

void WindowTest::leavingThePortListChangesThePort() {
  PtyPeer port1;
  PtyPeer port3;
  ShownWindow w{ptyCatalog({{1, port1.slavePath()}, {3, port3.slavePath()}})};
  auto* list = w.get<QComboBox>("cboComm");
  w.poll();
  QVERIFY(w.window.engine().isOpen());  // port 1 although nothing was chosen yet

  list->setFocus();
  list->lineEdit()->selectAll();
  QTest::keyClicks(list, QStringLiteral(" 3 "));
  QTest::keyClick(list, Qt::Key_Tab);
  QCOMPARE(focusName(), QStringLiteral("R1_Cor_Delay_DT"));
  QVERIFY(!w.window.engine().isOpen());
  QCOMPARE(w.window.engine().portNumber(), qint16(3));
  QCOMPARE(list->count(), 2);  // typed text adds no entry

  w.poll();
  QVERIFY(w.window.engine().isOpen());
  port3.send("from three");
  w.poll();
  QCOMPARE(w.monitor(), QStringLiteral("from three"));

  // Out of range: the number stays and the next tick reopens port 3.
  list->setFocus();
  list->lineEdit()->selectAll();
  QTest::keyClicks(list, QStringLiteral("40000"));
  w.get("R1_Cor")->setFocus(Qt::TabFocusReason);
  QCOMPARE(w.window.engine().portNumber(), qint16(3));
  QVERIFY(!w.window.engine().isOpen());
  w.poll();
  QVERIFY(w.window.engine().isOpen());
}

void WindowTest::portListFollowsTheAdapter() {
  QList<PortDevice> present{{"ttyUSB0", "/dev/ttyUSB0", "FT232R", "usb:0403:6001:A1"}};
  ShownWindow w{PortCatalog::fromDevices(present, false)};
  w.window.engine().setPortScan([&] { return present; });
  auto* list = w.get<PortList>("cboComm");
  list->setEditText(QStringLiteral("7"));  // typed, not yet left

  present.append({"ttyACM0", "/dev/ttyACM0", "Arduino", "usb:2341:0043:B2"});
  w.window.engine().refreshPorts();
  QCOMPARE(itemsOf(list), (QStringList{"1", "2"}));
  QCOMPARE(list->currentText(), QStringLiteral("7"));
  QCOMPARE(list->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("COM2: /dev/ttyACM0 (Arduino)"));

  present.removeFirst();  // pulled: its entry stays, marked absent
  present.append({"ttyUSB1", "/dev/ttyUSB1", "CH340", "usb:1a86:7523@1-2"});
  list->showPopup();  // opening the list looks again
  list->hidePopup();
  QCOMPARE(itemsOf(list), (QStringList{"1", "2", "3"}));
  QVERIFY(list->itemData(0, Qt::ToolTipRole).toString().endsWith(QStringLiteral("ausente")));
  QCOMPARE(w.window.engine().portNumber(), qint16(1));  // nothing chosen by it
}

void WindowTest::togglesAndSendsReachTheLine() {
  PtyPeer controller;
  ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
  w.showPage(2);
  auto* cor = w.get<QPushButton>("R2_Cor");
  w.click("R2_Cor");
  QCOMPARE(cor->text(), QStringLiteral("ATIVO BAIXO"));
  QCOMPARE(w.window.radioFlags(2).Cor, QStringLiteral("0"));
  w.click("R2_Cor");
  QCOMPARE(cor->text(), QStringLiteral("ATIVO ALTO"));
  QCOMPARE(w.window.radioFlags(2).Cor, QStringLiteral("1"));
  // A caption set elsewhere is read as it stands.
  cor->setText(QStringLiteral("outro"));
  w.click("R2_Cor");
  QCOMPARE(cor->text(), QStringLiteral("ATIVO BAIXO"));

  w.click("R2_Cor_PTT2");  // keys radio 1
  QCOMPARE(w.get<QPushButton>("R2_Cor_PTT2")->text(), QStringLiteral("Ativado"));
  w.get<QComboBox>("R2_Cor_Delay_HT")->setCurrentIndex(100);
  w.click("EnviaR2");
  const QString expected = QStringLiteral("Radio=2;COR=0;DelayDT=00100;PTT1=1;PTT2=0;PTT3=0;PTT4=0;DelayHT=10000;");
  QCOMPARE(controller.receive(70), expected.toLatin1());
  QCOMPARE(w.monitor(), expected + "\r\n");

  controller.send("OK\r\n");
  w.poll();
  w.showPage(3);
  w.click("R3_Cor_PTT3");  // keys radio 2
  w.click("EnviaR3");
  const QString three = QStringLiteral("Radio=3;COR=1;DelayDT=00100;PTT1=0;PTT2=1;PTT3=0;PTT4=0;DelayHT=00100;");
  QCOMPARE(controller.receive(70), three.toLatin1());
  w.showPage(1);
  w.click("EnviaR1");
  QCOMPARE(controller.receive(70), factoryMessage(1).toLatin1());
  QCOMPARE(w.monitor(), expected + "\r\nOK\r\n" + three + "\r\n\r\n" + factoryMessage(1) + "\r\n");
  QVERIFY(!w.notice());
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
  w.poll();
  QTest::qWait(20);
  QVERIFY(!w.notice()->isVisible());
}

void WindowTest::pulledAdapterIsToldToTheOperator() {
  auto controller = std::make_unique<PtyPeer>();
  ShownWindow w{ptyCatalog({{1, controller->slavePath()}})};
  w.poll();
  QVERIFY(w.window.engine().isOpen());
  controller.reset();  // pulled out
  QTRY_VERIFY(w.notice() && w.notice()->isVisible());
  QVERIFY2(w.notice()->text().contains(QStringLiteral("desconectada")), qPrintable(w.notice()->text()));
  QVERIFY(!w.window.engine().isOpen());
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

void WindowTest::sequenceShowsProgressRefusesInputAndClosesAfter() {
  PtyPeer controller;
  ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
  w.click("R1_Cor");  // the factory set ignores the window's values
  w.click("ProgDefa4canais");
  QCOMPARE(controller.receive(70), factoryMessage(1).toLatin1());
  QVERIFY2(w.window.windowTitle().contains(QStringLiteral("comando 1 de 4")), qPrintable(w.window.windowTitle()));
  QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor);
  // Clicks and keys during the sequence start nothing and change nothing.
  w.click("EnviaR1");
  w.click("R1_Cor");
  QCOMPARE(w.get<QPushButton>("R1_Cor")->text(), QStringLiteral("ATIVO BAIXO"));
  // Closing waits for the end of the sequence.
  QVERIFY(!w.window.close());
  QVERIFY(w.window.isVisible());
  QCOMPARE(controller.receive(3 * 70, 12000),
           (factoryMessage(2) + factoryMessage(3) + factoryMessage(4)).toLatin1());
  QTRY_VERIFY(!w.window.isVisible());
  QCOMPARE(w.window.windowTitle(), QStringLiteral("ZELQON"));
  QVERIFY(!QApplication::overrideCursor());
  QVERIFY(!w.window.engine().isOpen());
  QCOMPARE(controller.receive(1, 100), QByteArray());  // the refused click sent nothing
  QCOMPARE(w.monitor(), QString());
}

void WindowTest::exitButtonClosesAndEnds() {
  PtyPeer controller;
  ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
  QSignalSpy ended(&w.window, &Programador::endRequested);
  w.poll();
  QVERIFY(w.window.engine().isOpen());
  w.click("Botao_Sair");
  QCOMPARE(ended.count(), 1);
  QVERIFY(!w.window.engine().isOpen());
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
