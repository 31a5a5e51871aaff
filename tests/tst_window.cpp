// The programming window on Qt's offscreen platform: its controls against the
// layout's names, captions and geometry, the focus order, keys, wheel and the
// monitor's exact text, and operations driven through clicks against a
// pseudo-terminal playing the controller.

#include "app/start_up.h"
#include "engine/session_record.h"
#include "protocol/programming_message.h"
#include "pty_peer.h"
#include "ser2net_server.h"
#include "ui/monitor_view.h"
#include "ui/programador.h"
#include "ui/widgets.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace zelqon;

namespace {

// A window shown and focused, with the poll timer stopped so that each test
// decides when a poll happens.
struct ShownWindow {
  explicit ShownWindow(const PortCatalog& catalog) : window(catalog) {
    // The machine's own ports stay out of it.
    window.engine().setPortScan([ports = catalog.devices()] { return ports.values(); });
    get<QTimer>(QStringLiteral("pollTimer"))->stop();
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
      qWarning("window did not become active");
  }
  template <typename T = QWidget>
  T* get(const QString& name) const {
    T* widget = window.findChild<T*>(name);
    return widget ? widget : throw std::runtime_error("no control named " + name.toStdString());
  }
  [[nodiscard]] QString monitor() const { return get<MonitorView>(QStringLiteral("Tela_Recebto"))->text(); }
  void click(const QString& name) const { QTest::mouseClick(get(name), Qt::LeftButton); }
  void showPage(int radio) const { get<TabControl>(QStringLiteral("SSTab1"))->setCurrentIndex(radio - 1); }
  void poll() const { window.engine().pollReceive(); }
  [[nodiscard]] QMessageBox* notice() const { return window.findChild<QMessageBox*>(QStringLiteral("avisoFalha")); }
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
  void initTestCase() {
    // Whatever the environment: the session record stays out of the real home.
    QVERIFY(m_home.isValid());
    qputenv("XDG_STATE_HOME", m_home.path().toLocal8Bit());
  }
  void windowMatchesItsLayout();
  void everyPageMatchesItsLayout();
  void captionsFitTheirControls();
  void startupFillsListsAndSetsDefaults();
  void tabOrderVisitsTheShownPageOnly();
  void leavingThePortListChangesThePort();
  void portListFollowsTheAdapter();
  void togglesAndSendsReachTheLine();
  void failuresAreShownOnceTheHandlerEnds();
  void keysAndWheelActAsOperatorsExpect();
  void monitorShowsReceivedTextAndFollowsIt();
  void monitorKeepsExactTextThroughEditsAndCopies();
  void sequenceShowsProgressRefusesInputAndClosesAfter();
  void exitButtonClosesAndEnds();
  void profilesRoundTripThroughTheWindow();
  void networkAddressInTheBoxReachesSer2net();

 private:
  QTemporaryDir m_home;
};

void WindowTest::windowMatchesItsLayout() {
  ShownWindow w{PortCatalog()};
  QCOMPARE(w.window.windowTitle(), QStringLiteral("ZELQON"));
  // The fixed layout keeps its size below the menu bar; the window grows by the menu's height.
  QCOMPARE(w.get("areaFixa")->geometry(), QRect(QPoint(0, w.get("menuBar")->height()), QSize(697, 359)));
  QCOMPARE(w.window.size(), QSize(697, 359 + w.get("menuBar")->height()));
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
  QTabBar* tabs = w.get<TabControl>("SSTab1")->tabBar();
  QCOMPARE(tabs->count(), 4);
  for (int page = 0; page < 4; ++page)
    QCOMPARE(tabs->tabText(page), QStringLiteral("RÁDIO %1").arg(page + 1));
  QCOMPARE(tabs->height(), 35);
  QCOMPARE(tabs->currentIndex(), 0);
  QVERIFY(!w.get<DelayList>("R4_Cor_Delay_HT")->isEditable());  // a DelayList ignores a stray wheel
  QVERIFY(w.get<QComboBox>("cboComm")->isEditable());
  // No port at all: the list stays empty and shows no text.
  QCOMPARE(w.get<QComboBox>("cboComm")->currentText(), QString());
}

void WindowTest::everyPageMatchesItsLayout() {
  ShownWindow w{PortCatalog()};
  auto* tabs = w.get<TabControl>("SSTab1");
  // Per page: the COR box; the route boxes of rows 1 to 3 and their
  // captions; the debounce and hang captions; the signal line and the route
  // box's top, bottom, left and right.
  const char* const pages[4][3] = {
      {"Text1 Text2 Text3 Text4", "PTT2 PTT3 PTT4", "Label3 Label4 Line1 Line2 Line3 Line4 Line5"},
      {"Text7 Text8 Text6 Text5", "PTT1 PTT3 PTT4", "Label6 Label5 Line10 Line9 Line8 Line7 Line6"},
      {"Text11 Text12 Text10 Text9", "PTT1 PTT2 PTT4", "Label8 Label7 Line15 Line14 Line13 Line12 Line11"},
      {"Text15 Text16 Text14 Text13", "PTT1 PTT2 PTT3", "Label10 Label9 Line20 Line19 Line18 Line17 Line16"},
  };
  const QRect lineRects[5] = {
      {80, 128, 489, 1}, {336, 72, 137, 1}, {336, 184, 137, 1}, {336, 72, 1, 113}, {472, 72, 1, 113}};
  // Relative to the tab control's outer corner, tab strip included.
  const auto expect = [&](const QString& name, const QString& caption, QRect rect) {
    QWidget* widget = w.get(name);
    QCOMPARE(QRect(widget->mapTo(tabs, QPoint(0, 0)), widget->size()), rect);
    if (!caption.isNull())
      QCOMPARE(widget->property("text").toString(), caption);
  };
  for (int radio = 1; radio <= 4; ++radio) {
    tabs->setCurrentIndex(radio - 1);
    const QStringList boxes = QString::fromLatin1(pages[radio - 1][0]).split(' ');
    const QStringList routes = QString::fromLatin1(pages[radio - 1][1]).split(' ');
    const QStringList others = QString::fromLatin1(pages[radio - 1][2]).split(' ');
    const QString r = QStringLiteral("R%1_").arg(radio);
    expect(boxes[0], QStringLiteral("COR %1").arg(radio), {48, 120, 49, 19});
    expect(r + "Cor", QStringLiteral("ATIVO ALTO"), {96, 104, 49, 49});
    expect(others[0], QStringLiteral("Debounce Timer (mS)"), {192, 96, 113, 17});
    expect(r + "Cor_Delay_DT", {}, {200, 120, 81, 21});
    expect(others[1], QStringLiteral("Hang Timer (mS)"), {528, 96, 81, 17});
    expect(r + "Cor_Delay_HT", {}, {528, 120, 81, 21});
    for (int row = 0; row < 3; ++row) {
      const QString button = r + QStringLiteral("Cor_PTT%1").arg(row + 2);
      expect(boxes[row + 1], routes[row], {352, 64 + 56 * row, 41, 19});
      expect(button, QStringLiteral("Desativado"), {392, 56 + 56 * row, 65, 33});
      QCOMPARE(w.get(button)->accessibleName(), QStringLiteral("RÁDIO %1 aciona o %2").arg(radio).arg(routes[row]));
    }
    for (int line = 0; line < 5; ++line)
      expect(others[line + 2], {}, lineRects[line]);
    expect(QStringLiteral("EnviaR%1").arg(radio), QStringLiteral("Enviar programação do RÁDIO %1").arg(radio),
           {48, 176, 225, 33});
    for (int other = 1; other <= 4; ++other)
      QCOMPARE(w.get(QStringLiteral("R%1_Cor").arg(other))->isVisible(), other == radio);
  }
}

void WindowTest::captionsFitTheirControls() {
  ShownWindow w{PortCatalog()};
  QStringList overflowing;
  const auto check = [&](QWidget* widget, const QString& text, int margin) {
    const QFontMetrics metrics(widget->font());
    int widest = 0;
    for (const QString& word : margin > 0 ? text.split(QLatin1Char(' ')) : QStringList{text})
      widest = std::max(widest, metrics.horizontalAdvance(word));
    // Labels draw from the top; the title's 24 px face fills its 25 px box.
    if (widest > widget->width() - margin ||
        metrics.ascent() + metrics.tightBoundingRect(text).bottom() > widget->height() + 1)
      overflowing.append(widget->objectName());
  };
  for (QLabel* label : w.window.findChildren<QLabel*>())
    check(label, label->text(), 0);
  for (QPushButton* button : w.window.findChildren<QPushButton*>()) {
    check(button, button->text(), 6);                          // buttons wrap at blanks
    if (button->objectName().contains(QLatin1String("_Cor")))  // a toggle holds either caption
      for (const QString& caption : {QStringLiteral("ATIVO BAIXO"), QStringLiteral("Ativado")})
        check(button, caption, 6);
  }
  QVERIFY2(overflowing.isEmpty(), qPrintable(overflowing.join(", ")));
}

void WindowTest::startupFillsListsAndSetsDefaults() {
  ShownWindow w{ptyCatalog({{3, "/dev/ttyUSB2"}, {1, "/dev/ttyUSB0"}})};
  QStringList delays;
  for (int ms = 0; ms <= 10000; ms += 100)
    delays.append(QStringLiteral("%1").arg(ms, 5, 10, QLatin1Char('0')));
  for (const char* name : {"R1_Cor_Delay_DT", "R1_Cor_Delay_HT", "R2_Cor_Delay_DT", "R3_Cor_Delay_HT",
                           "R4_Cor_Delay_DT", "R4_Cor_Delay_HT"}) {
    QCOMPARE(itemsOf(w.get<QComboBox>(name)), delays);
    QCOMPARE(w.get<QComboBox>(name)->currentText(), QStringLiteral("00100"));
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
  QCOMPARE(fresh.findChild<QTimer*>(QStringLiteral("pollTimer"))->interval(), 1000);
  QVERIFY(fresh.findChild<QTimer*>(QStringLiteral("pollTimer"))->isActive());
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
  QCOMPARE(walk(1), common +
                        "R1_Cor_Delay_DT Botao_Sair Text2 Picture1 R1_Cor_PTT2 R1_Cor_Delay_HT R1_Cor Text1 "
                        "Text3 Text4 R1_Cor_PTT3 R1_Cor_PTT4 Tela_Recebto EnviaR1 ProgDefa4canais SSTab1");
  QCOMPARE(walk(2), common +
                        "Botao_Sair Picture1 Tela_Recebto Text5 Text6 Text7 R2_Cor_Delay_HT Text8 "
                        "R2_Cor_Delay_DT R2_Cor_PTT4 R2_Cor_PTT3 R2_Cor R2_Cor_PTT2 EnviaR2 ProgDefa4canais SSTab1");
  QCOMPARE(walk(3), common +
                        "Botao_Sair Picture1 Tela_Recebto Text9 Text10 Text11 R3_Cor_Delay_HT Text12 "
                        "R3_Cor_Delay_DT R3_Cor_PTT4 R3_Cor_PTT3 R3_Cor R3_Cor_PTT2 EnviaR3 ProgDefa4canais SSTab1");
  QCOMPARE(walk(4), common +
                        "Botao_Sair Picture1 Tela_Recebto Text13 Text14 Text15 R4_Cor_Delay_HT Text16 "
                        "R4_Cor_Delay_DT R4_Cor_PTT4 R4_Cor_PTT3 R4_Cor R4_Cor_PTT2 EnviaR4 ProgDefa4canais SSTab1");
}

void WindowTest::leavingThePortListChangesThePort() {
  PtyPeer port1;
  PtyPeer port3;
  ShownWindow w{ptyCatalog({{1, port1.slavePath()}, {3, port3.slavePath()}})};
  auto* list = w.get<QComboBox>("cboComm");
  w.poll();
  QVERIFY(w.window.engine().isOpen());  // port 1 although nothing was chosen yet
  // Switching to another program is no loss of focus within the window.
  QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
  QApplication::sendEvent(list, &away);
  QVERIFY(w.window.engine().isOpen());

  list->setFocus();
  list->lineEdit()->selectAll();
  QTest::keyClicks(list, QStringLiteral(" 3 "));
  QTest::keyClick(list, Qt::Key_Tab);
  QCOMPARE(focusName(), QStringLiteral("R1_Cor_Delay_DT"));
  QVERIFY(!w.window.engine().isOpen());
  QCOMPARE(w.window.engine().portNumber(), qint16(3));
  QCOMPARE(list->count(), 2);  // typed text adds no entry
  port3.send("from three");
  w.poll();
  QCOMPARE(w.monitor(), QStringLiteral("from three"));
}

void WindowTest::portListFollowsTheAdapter() {
  QList<PortDevice> present;  // nothing plugged in at start
  ShownWindow w{PortCatalog()};
  w.window.engine().setPortScan([&] { return present; });
  auto* list = w.get<PortList>("cboComm");
  list->setEditText(QStringLiteral("7"));  // typed, not yet left

  present.append({"ttyUSB0", "/dev/ttyUSB0", "FT232R", "usb:0403:6001:A1"});
  w.window.engine().refreshPorts();
  QCOMPARE(itemsOf(list), QStringList{"1"});
  QCOMPARE(list->currentText(), QStringLiteral("7"));
  QCOMPARE(list->itemData(0, Qt::ToolTipRole).toString(), QStringLiteral("COM1: /dev/ttyUSB0 (FT232R)"));

  present = {{"ttyUSB1", "/dev/ttyUSB1", "CH340", "usb:1a86:7523@1-2"}};  // one pulled, another plugged
  list->showPopup();                                                      // opening the list looks again
  list->hidePopup();
  QCOMPARE(itemsOf(list), (QStringList{"1", "2"}));
  QVERIFY(list->itemData(0, Qt::ToolTipRole).toString().endsWith(QStringLiteral("ausente")));
  QCOMPARE(w.window.engine().portNumber(), qint16(1));  // nothing chosen by it
}

void WindowTest::togglesAndSendsReachTheLine() {
  PtyPeer controller;
  ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
  w.showPage(2);
  w.click("R2_Cor");
  QCOMPARE(w.get<QPushButton>("R2_Cor")->text(), QStringLiteral("ATIVO BAIXO"));
  QCOMPARE(w.window.readRadio(2).corLevel, CorLevel::ActiveLow);
  w.click("R2_Cor_PTT2");  // keys radio 1
  QCOMPARE(w.get<QPushButton>("R2_Cor_PTT2")->text(), QStringLiteral("Ativado"));
  w.get<QComboBox>("R2_Cor_Delay_HT")->setCurrentIndex(100);
  w.click("EnviaR2");
  const QString two = QStringLiteral("Radio=2;COR=0;DelayDT=00100;PTT1=1;PTT2=0;PTT3=0;PTT4=0;DelayHT=10000;");
  QCOMPARE(controller.receive(70), two.toLatin1());

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
  QCOMPARE(w.monitor(), two + "\r\nOK\r\n" + three + "\r\n\r\n" + factoryMessage(1) + "\r\n");
  QVERIFY(!w.notice());

  // A toggle decides from the caption it shows: only "ATIVO BAIXO" and
  // "Desativado" lead to active high and keyed; any other text to the other side.
  auto* cor = w.get<QPushButton>("R1_Cor");
  auto* route = w.get<QPushButton>("R1_Cor_PTT4");
  for (const auto& [corShown, routeShown] : {std::pair{"ativo baixo", "Desativado "}, std::pair{"", "Ativado"}}) {
    cor->setText(QString::fromUtf8(corShown));
    route->setText(QString::fromUtf8(routeShown));
    w.click("R1_Cor");
    w.click("R1_Cor_PTT4");
    QCOMPARE(cor->text(), QStringLiteral("ATIVO BAIXO"));
    QCOMPARE(route->text(), QStringLiteral("Desativado"));
    QCOMPARE(w.window.readRadio(1).corLevel, CorLevel::ActiveLow);
    QVERIFY(w.window.readRadio(1).keyedRadios.isEmpty());
  }
  w.click("R1_Cor");
  w.click("R1_Cor_PTT4");
  QCOMPARE(buildProgrammingMessage(1, w.window.readRadio(1)),
           QStringLiteral("Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=1;DelayHT=00100;"));
}

void WindowTest::failuresAreShownOnceTheHandlerEnds() {
  auto controller = std::make_unique<PtyPeer>();
  ShownWindow w{ptyCatalog({{2, controller->slavePath()}})};  // no port 1 here
  w.click("EnviaR1");
  QVERIFY(!w.notice() || !w.notice()->isVisible());  // not from inside the handler
  QTRY_VERIFY(w.notice() && w.notice()->isVisible() && !w.notice()->isModal());
  QVERIFY2(w.notice()->text().contains(QStringLiteral("RÁDIO 1 não foi enviada.\nFalha ao abrir a porta COM1.")),
           qPrintable(w.notice()->text()));
  w.notice()->hide();
  // The poll's failures stay silent.
  w.poll();
  QTest::qWait(20);
  QVERIFY(!w.notice()->isVisible());

  // A pulled adapter is told once it is noticed.
  QCOMPARE(w.window.engine().changePort(2), OperationStart::Started);
  w.poll();
  QVERIFY(w.window.engine().isOpen());
  controller.reset();
  QTRY_VERIFY(w.notice()->isVisible());
  QVERIFY2(w.notice()->text().contains(QStringLiteral("COM2 (/dev/pts/")), qPrintable(w.notice()->text()));
  QVERIFY(w.notice()->text().contains(QStringLiteral("foi desconectada")));
  // The window does open it again on the next poll or send: it says so.
  QVERIFY2(w.notice()->text().contains(QStringLiteral("Ela será aberta de novo no próximo envio ou leitura")),
           qPrintable(w.notice()->text()));
}

void WindowTest::keysAndWheelActAsOperatorsExpect() {
  ShownWindow w{PortCatalog()};
  // Enter and Return press the focused button, once however long held.
  auto* cor = w.get<QPushButton>("R1_Cor");
  cor->setFocus();
  QTest::keyClick(cor, Qt::Key_Return);
  QKeyEvent held(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r"), true);
  QApplication::sendEvent(cor, &held);
  QCOMPARE(cor->text(), QStringLiteral("ATIVO BAIXO"));
  QTest::keyClick(cor, Qt::Key_Enter, Qt::KeypadModifier);
  QCOMPARE(cor->text(), QStringLiteral("ATIVO ALTO"));

  // The wheel over a delay list without the focus changes nothing and takes
  // no focus. Delivered as the window system delivers it, so that the wheel
  // could hand out the focus; says whether anything took the event.
  auto* list = w.get<DelayList>("R1_Cor_Delay_HT");
  const auto turnWheelDown = [list] {
    const QPointF at(list->rect().center());
    QWheelEvent down(at, list->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&down);
    qApp->notify(list, &down);  // as QTest does: sendEvent() would clear the flag
    return down.isAccepted();
  };
  QVERIFY(!turnWheelDown());  // left to the page
  QCOMPARE(list->currentText(), QStringLiteral("00100"));
  QVERIFY(cor->hasFocus());
  list->setFocus();
  QVERIFY(turnWheelDown());
  QCOMPARE(list->currentText(), QStringLiteral("00200"));
}

void WindowTest::monitorShowsReceivedTextAndFollowsIt() {
  ShownWindow w{PortCatalog()};
  w.window.resize(697, 705);  // the monitor lies below the fixed layout
  MonitorView& monitor = *w.get<MonitorView>("Tela_Recebto");
  // No markup; control bytes as their symbols; a CR LF split between two
  // polls is one line break.
  monitor.append(QStringLiteral("<b>bold?</b>\r"));
  monitor.append(QStringLiteral("\nnext\x01"));
  QCOMPARE(monitor.text(), QStringLiteral("<b>bold?</b>\r\nnext\x01"));
  QCOMPARE(monitor.toPlainText(), QStringLiteral("<b>bold?</b>\nnext\u2401"));

  for (int i = 0; i < 200; ++i)
    monitor.append(QStringLiteral("line %1\r\n").arg(i));
  QScrollBar* bar = monitor.verticalScrollBar();
  QCOMPARE(bar->value(), bar->maximum());  // followed the new text
  bar->setValue(10);
  monitor.append(QStringLiteral("more\r\n"));
  QCOMPARE(bar->value(), 10);  // the operator's place is kept
}

void WindowTest::monitorKeepsExactTextThroughEditsAndCopies() {
  ShownWindow w{PortCatalog()};
  MonitorView& monitor = *w.get<MonitorView>("Tela_Recebto");
  const auto press = [&](int position, Qt::Key key) {
    QTextCursor cursor = monitor.textCursor();
    cursor.setPosition(position);
    monitor.setTextCursor(cursor);
    QTest::keyClick(&monitor, key);
  };
  // Enter in a line that ended in CR; Backspace over a display-only break.
  const QString longLine(MonitorView::kLongestShownLine + 10, QLatin1Char('x'));
  monitor.append(QStringLiteral("ab\rcd\n") + longLine + QStringLiteral("\r\n"));
  press(1, Qt::Key_Return);
  QCOMPARE(monitor.text(), QStringLiteral("a\r\nb\rcd\n") + longLine + QStringLiteral("\r\n"));
  press(8 + MonitorView::kLongestShownLine, Qt::Key_Backspace);
  QCOMPARE(monitor.text(), QStringLiteral("a\r\nb\rcd\n") + longLine + QStringLiteral("\r\n"));
  monitor.append(QStringLiteral("!"));  // received text still goes on at the end
  QVERIFY(monitor.text().endsWith(QStringLiteral("\r\n!")));

  // Every Latin-1 character and each kind of line ending copy out as received.
  QByteArray bytes(256, '\0');
  for (int b = 0; b < 256; ++b)
    bytes[b] = char(b);
  const QString received = QString::fromLatin1(bytes) + QStringLiteral("\r\nx\ry\nz\r\n") + longLine;
  monitor.clear();
  monitor.append(received);
  monitor.selectAll();
  monitor.copy();
  QCOMPARE(QGuiApplication::clipboard()->text(), received);
}

void WindowTest::sequenceShowsProgressRefusesInputAndClosesAfter() {
  PtyPeer controller;
  ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
  w.window.engine().setCommandGap(std::chrono::milliseconds(1200));  // shown as 2 s: what is left rounds up
  w.click("R1_Cor");                                                 // the factory set ignores the window's values
  w.click("ProgDefa4canais");
  QCOMPARE(controller.receive(70), factoryMessage(1).toLatin1());
  // Ends with the program's name, which the desktop would otherwise add again.
  QCOMPARE(w.window.windowTitle(),
           QStringLiteral("Programação de fábrica: comando 1 de 4 (RÁDIO 1) enviado; próximo em 2 s — ZELQON"));
  QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor);
  // Clicks and keys during the sequence start nothing and change nothing.
  w.click("EnviaR1");
  w.click("R1_Cor");
  QCOMPARE(w.get<QPushButton>("R1_Cor")->text(), QStringLiteral("ATIVO BAIXO"));
  // Closing waits for the end of the sequence.
  QVERIFY(!w.window.close());
  QVERIFY(w.window.isVisible());
  QCOMPARE(controller.receive(3 * 70, 6000), (factoryMessage(2) + factoryMessage(3) + factoryMessage(4)).toLatin1());
  QTRY_VERIFY(!w.window.isVisible());
  QCOMPARE(w.window.windowTitle(), QStringLiteral("ZELQON"));
  QVERIFY(!QApplication::overrideCursor());
  QVERIFY(!w.window.engine().isOpen());
  QCOMPARE(controller.receive(1, 100), QByteArray());  // the refused click sent nothing
  QCOMPARE(w.monitor(), QString());
}

void WindowTest::exitButtonClosesAndEnds() {
  // As the program starts it: the exit button must end the event loop.
  PtyPeer controller;
  const auto window = startProgrammingWindow([&] { return ptyCatalog({{1, controller.slavePath()}}); });
  // Named as the desktop shows it, with Qt's own texts in Portuguese.
  QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("ZELQON"));
  QCOMPARE(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("&Nome do arquivo:"));
  // The session record has today's file, in the test's own state folder.
  QVERIFY(sessionRecordFolder().startsWith(QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"))));
  QCOMPARE(QDir(sessionRecordFolder()).entryList({QStringLiteral("zelqon-*.log")}).size(), 1);
  window->engine().pollReceive();
  QVERIFY(window->engine().isOpen());
  QTimer::singleShot(0, window.get(), [&] {
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("Botao_Sair")), Qt::LeftButton);
  });
  QTimer neverEnded;
  connect(&neverEnded, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  neverEnded.start(5000);
  QCOMPARE(QCoreApplication::exec(), 0);
  QVERIFY(!window->engine().isOpen());
}

void WindowTest::profilesRoundTripThroughTheWindow() {
  PtyPeer controller;
  const PortCatalog ports = ptyCatalog({{1, controller.slavePath()}, {2, QStringLiteral("/dev/zelqon-absent")}});
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("site.zelqon"));
  QByteArray saved;
  {
    ShownWindow w{ports};
    // The menu's entries and their keys.
    for (const auto& [name, keys] : {std::pair{"abrirPerfil", "Ctrl+O"}, std::pair{"salvarPerfil", "Ctrl+S"},
                                     std::pair{"salvarPerfilComo", "Ctrl+Shift+S"}, std::pair{"sair", "Ctrl+Q"},
                                     std::pair{"abrirPastaRegistros", ""}})
      QCOMPARE(w.window.findChild<QAction*>(QString::fromLatin1(name))->shortcut(),
               QKeySequence(QString::fromLatin1(keys)));
    w.showPage(2);
    w.click("R2_Cor");
    w.click("R2_Cor_PTT4");  // keys radio 4
    w.showPage(4);
    w.get<QComboBox>("R4_Cor_Delay_HT")->setCurrentIndex(15);
    QVERIFY(w.window.saveProfileTo(path));
    QCOMPARE(w.window.windowTitle(), QStringLiteral("site.zelqon[*] — ZELQON"));
    QVERIFY(!w.window.isWindowModified());
    w.click("R4_Cor");
    QVERIFY(w.window.isWindowModified());  // differs from the file...
    w.click("R4_Cor");
    QVERIFY(!w.window.isWindowModified());  // ...and no longer
    // A save that cannot be written says why and leaves file and title alone.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    saved = file.readAll();
    file.close();
    w.click("R4_Cor");
    QVERIFY(!w.window.saveProfileTo(path + QStringLiteral("/inside.zelqon")));
    QTRY_VERIFY(w.notice() && w.notice()->text().startsWith(QStringLiteral("O perfil não foi salvo.")));
    QVERIFY(w.window.isWindowModified());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), saved);
  }
  // Edited by hand, then opened in a fresh window: the pages as in the file,
  // nothing sent.
  saved.replace("[radio1]\ncor = \"alto\"", "[radio1]\ncor = \"baixo\"");
  QFile edited(path);
  QVERIFY(edited.open(QIODevice::WriteOnly) && edited.write(saved) == saved.size());
  edited.close();
  ShownWindow w{ports};
  QCOMPARE(w.window.engine().changePort(2), OperationStart::Started);
  QVERIFY(w.window.openProfile(path));
  QCOMPARE(w.window.engine().portNumber(), qint16(1));  // the file's port
  QCOMPARE(w.get<QPushButton>("R1_Cor")->text(), QStringLiteral("ATIVO BAIXO"));
  QCOMPARE(w.get<QPushButton>("R2_Cor_PTT4")->text(), QStringLiteral("Ativado"));
  QCOMPARE(w.get<QComboBox>("R4_Cor_Delay_HT")->currentText(), QStringLiteral("01500"));
  QCOMPARE(buildProgrammingMessage(2, w.window.readRadio(2)),
           QStringLiteral("Radio=2;COR=0;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=1;DelayHT=00100;"));
  QVERIFY(!w.window.isWindowModified());
  QCOMPARE(controller.receive(1, 100), QByteArray());
  // A file that is refused names its place and changes nothing.
  const QString bad = dir.filePath(QStringLiteral("bad.zelqon"));
  QFile badFile(bad);
  QVERIFY(badFile.open(QIODevice::WriteOnly) && badFile.write(saved.replace("aciona = [4]", "aciona = [2]")) > 0);
  badFile.close();
  QVERIFY(!w.window.openProfile(bad));
  QTRY_VERIFY(w.notice() && w.notice()->isVisible());
  QVERIFY2(w.notice()->text().contains(QStringLiteral("bad.zelqon:")), qPrintable(w.notice()->text()));
  QCOMPARE(w.get<QPushButton>("R2_Cor_PTT4")->text(), QStringLiteral("Ativado"));
  QCOMPARE(w.window.windowTitle(), QStringLiteral("site.zelqon[*] — ZELQON"));

  // The packaged example gives the messages zelqon-cli apply --dry-run prints
  // (its test holds the same four); its port is taken, not opened.
  QVERIFY(w.window.openProfile(QStringLiteral(ZELQON_EXAMPLE_PROFILE)));
  QCOMPARE(w.window.engine().portName(), QStringLiteral("rfc2217://10.8.0.5:2217"));
  QStringList messages;
  for (int radio = 1; radio <= 4; ++radio)
    messages.append(buildProgrammingMessage(radio, w.window.readRadio(radio)));
  QCOMPARE(messages, (QStringList{"Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=1;PTT3=1;PTT4=0;DelayHT=00500;",
                                  "Radio=2;COR=1;DelayDT=00100;PTT1=1;PTT2=0;PTT3=1;PTT4=0;DelayHT=00500;",
                                  "Radio=3;COR=0;DelayDT=00200;PTT1=1;PTT2=1;PTT3=0;PTT4=0;DelayHT=01500;",
                                  "Radio=4;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=0;DelayHT=00100;"}));
  QVERIFY(w.window.engine().portState() == PortState::Closed);
}

void WindowTest::networkAddressInTheBoxReachesSer2net() {
  QVERIFY2(Ser2netServer::installed(), "ser2net is not installed (make test installs it)");
  PtyPeer controller;
  Ser2netServer server(Ser2netServer::Mode::Rfc2217, controller.slavePath(), QStringLiteral("9600n81"));
  QVERIFY2(server.start(), server.output().constData());
  ShownWindow w{PortCatalog()};
  auto* list = w.get<QComboBox>("cboComm");
  list->setFocus();
  QTest::keyClicks(list, server.address());
  QTest::keyClick(list, Qt::Key_Tab);
  QCOMPARE(w.window.engine().portName(), server.address());
  w.click("EnviaR1");
  // While it connects, the title says so; the message goes once the line is set.
  QCOMPARE(w.window.windowTitle(), QStringLiteral("Conectando a %1… — ZELQON").arg(server.address()));
  QCOMPARE(controller.receive(70, 6000), factoryMessage(1).toLatin1());
  QCOMPARE(w.window.windowTitle(), QStringLiteral("ZELQON"));
  // Every byte value, 0xFF included, reaches the monitor as itself.
  QByteArray every(256, '\0');
  for (int value = 0; value < 256; ++value)
    every[value] = char(value);
  controller.send(every);
  const QString expected =
      QStringLiteral("\r\n") + factoryMessage(1) + QStringLiteral("\r\n") + QString::fromLatin1(every);
  QTRY_COMPARE_WITH_TIMEOUT((w.poll(), w.monitor()), expected, 5000);
  QVERIFY(!w.notice());
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
