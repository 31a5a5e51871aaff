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
  [[nodiscard]] QString caption(const QString& name) const { return get(name)->property("text").toString(); }
  void click(const QString& name) const { QTest::mouseClick(get(name), Qt::LeftButton); }
  void showPage(int radio) const { get<TabControl>(QStringLiteral("SSTab1"))->setCurrentIndex(radio - 1); }
  void poll() const { window.engine().pollReceive(); }
  [[nodiscard]] QMessageBox* notice() const { return window.findChild<QMessageBox*>(QStringLiteral("avisoFalha")); }
  [[nodiscard]] QString shownNotice() const { return notice() && notice()->isVisible() ? notice()->text() : QString(); }
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

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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

  // Layout: the window and its four pages by name, caption and place; captions
  // fit their faces; the focus order.
  void windowPagesAndFocusOrderMatchTheLayout() {
    ShownWindow w{PortCatalog()};
    // The fixed layout keeps its size below the menu bar; twips / 15 for the rectangles.
    QCOMPARE(w.get("areaFixa")->geometry(), QRect(QPoint(0, w.get("menuBar")->height()), QSize(697, 359)));
    // The window's own controls: caption (null: none checked), place, enabled.
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
        {"Picture1", {}, {48, 8, 73, 73}, true},
        {"cboComm", {}, {624, 8, 49, 21}, true},
        {"SSTab1", {}, {24, 88, 649, 225}, true},
        {"Tela_Recebto", {}, {24, 400, 649, 273}, true},
        {"Label11", {}, {24, 328, 305, 17}, true},
    };
    for (const auto& [name, caption, rect, enabled] : controls) {
      QCOMPARE(caption.isNull() ? QString() : w.caption(name), caption);
      QCOMPARE(w.get(name)->geometry(), rect);
      QCOMPARE(w.get(name)->isEnabled(), enabled);
    }
    QCOMPARE(w.get("Label1")->font().pixelSize(), 24);
    QVERIFY(w.get("Label1")->font().bold() && w.get("Label1")->font().italic());
    QCOMPARE(w.get("lblLabel")->font().pixelSize(), 13);
    auto* tabs = w.get<TabControl>("SSTab1");
    QCOMPARE(tabs->tabBar()->height(), 35);

    // Per page: the COR box; the route boxes of rows 1 to 3; the debounce and
    // hang captions; the signal line and the route box's top, bottom, left and right.
    const char* const pages[4] = {
        "Text1 Text2 Text3 Text4 Label3 Label4 Line1 Line2 Line3 Line4 Line5",
        "Text7 Text8 Text6 Text5 Label6 Label5 Line10 Line9 Line8 Line7 Line6",
        "Text11 Text12 Text10 Text9 Label8 Label7 Line15 Line14 Line13 Line12 Line11",
        "Text15 Text16 Text14 Text13 Label10 Label9 Line20 Line19 Line18 Line17 Line16",
    };
    const QRect lineRects[5] = {
        {80, 128, 489, 1}, {336, 72, 137, 1}, {336, 184, 137, 1}, {336, 72, 1, 113}, {472, 72, 1, 113}};
    // Relative to the tab control's outer corner, tab strip included.
    const auto expect = [&](const QString& name, const QString& caption, QRect rect) {
      QCOMPARE(QRect(w.get(name)->mapTo(tabs, QPoint(0, 0)), w.get(name)->size()), rect);
      QCOMPARE(caption.isNull() ? QString() : w.caption(name), caption);
    };
    for (int radio = 1; radio <= 4; ++radio) {
      tabs->setCurrentIndex(radio - 1);
      QCOMPARE(tabs->tabBar()->tabText(radio - 1), QStringLiteral("RÁDIO %1").arg(radio));
      const QStringList names = QString::fromLatin1(pages[radio - 1]).split(' ');
      const QString r = QStringLiteral("R%1_").arg(radio);
      expect(names[0], QStringLiteral("COR %1").arg(radio), {48, 120, 49, 19});
      expect(r + "Cor", QStringLiteral("ATIVO ALTO"), {96, 104, 49, 49});
      expect(names[4], QStringLiteral("Debounce Timer (mS)"), {192, 96, 113, 17});
      expect(r + "Cor_Delay_DT", {}, {200, 120, 81, 21});
      expect(names[5], QStringLiteral("Hang Timer (mS)"), {528, 96, 81, 17});
      expect(r + "Cor_Delay_HT", {}, {528, 120, 81, 21});
      for (int row = 0; row < 3; ++row) {
        const QString button = r + QStringLiteral("Cor_PTT%1").arg(row + 2);
        const QString routed = QStringLiteral("PTT%1").arg(row + 1 < radio ? row + 1 : row + 2);
        expect(names[row + 1], routed, {352, 64 + 56 * row, 41, 19});
        expect(button, QStringLiteral("Desativado"), {392, 56 + 56 * row, 65, 33});
        QCOMPARE(w.get(button)->accessibleName(), QStringLiteral("RÁDIO %1 aciona o %2").arg(radio).arg(routed));
      }
      for (int line = 0; line < 5; ++line)
        expect(names[line + 6], {}, lineRects[line]);
      expect(QStringLiteral("EnviaR%1").arg(radio), QStringLiteral("Enviar programação do RÁDIO %1").arg(radio),
             {48, 176, 225, 33});
    }

    // Every caption fits its control in the window's faces: labels draw from
    // the top, buttons wrap at blanks, a toggle holds either caption.
    QStringList overflowing;
    const auto check = [&](QWidget* widget, const QString& text, int margin) {
      const QFontMetrics metrics(widget->font());
      int widest = 0;
      for (const QString& word : margin > 0 ? text.split(QLatin1Char(' ')) : QStringList{text})
        widest = std::max(widest, metrics.horizontalAdvance(word));
      // The title's 24 px face fills its 25 px box.
      if (widest > widget->width() - margin ||
          metrics.ascent() + metrics.tightBoundingRect(text).bottom() > widget->height() + 1)
        overflowing.append(widget->objectName());
    };
    for (QLabel* label : w.window.findChildren<QLabel*>())
      check(label, label->text(), 0);
    for (QPushButton* button : w.window.findChildren<QPushButton*>()) {
      check(button, button->text(), 6);
      if (button->objectName().contains(QLatin1String("_Cor")))
        for (const QString& caption : {QStringLiteral("ATIVO BAIXO"), QStringLiteral("Ativado")})
          check(button, caption, 6);
    }
    QVERIFY2(overflowing.isEmpty(), qPrintable(overflowing.join(", ")));

    // The focus order visits the shown page only.
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
    QCOMPARE(walk(1), QStringLiteral("SSTab1 cboComm R1_Cor_Delay_DT Botao_Sair Text2 Picture1 R1_Cor_PTT2 "
                                     "R1_Cor_Delay_HT R1_Cor Text1 Text3 Text4 R1_Cor_PTT3 R1_Cor_PTT4 Tela_Recebto "
                                     "EnviaR1 ProgDefa4canais SSTab1"));
    // Pages 2 to 4 share one order: R# is the page's radio.
    for (int page = 2; page <= 4; ++page) {
      QString order = QStringLiteral(
          "SSTab1 cboComm Botao_Sair Picture1 Tela_Recebto Text%1 Text%2 Text%3 "
          "R#_Cor_Delay_HT Text%4 R#_Cor_Delay_DT R#_Cor_PTT4 R#_Cor_PTT3 R#_Cor R#_Cor_PTT2 "
          "EnviaR# ProgDefa4canais SSTab1");
      for (int n = 1; n <= 4; ++n)
        order = order.arg(4 * page - 4 + n);  // fills the lowest %n left
      QCOMPARE(walk(page), order.replace(QLatin1Char('#'), QString::number(page)));
    }
  }

  // Start-up: the lists filled, the first port taken on the first poll; a port
  // typed into the list is taken when the list is left.
  void startupListsAndLeavingThePortList() {
    PtyPeer port1;
    PtyPeer port3;
    ShownWindow w{ptyCatalog({{3, port3.slavePath()}, {1, port1.slavePath()}})};
    // Every delay list holds the protocol's choices and shows 00100.
    QCOMPARE(w.window.findChildren<DelayList*>().size(), 8);
    for (const DelayList* list : w.window.findChildren<DelayList*>())
      QCOMPARE(itemsOf(list) << list->currentText(), delayChoiceList() << QStringLiteral("00100"));
    // The port list holds what discovery lists, each entry naming its device;
    // showing the first entry does not open it.
    auto* list = w.get<QComboBox>("cboComm");
    QCOMPARE(itemsOf(list), (QStringList{"1", "3"}));
    QCOMPARE(list->currentText(), QStringLiteral("1"));
    QCOMPARE(list->itemData(1, Qt::ToolTipRole).toString(),
             QStringLiteral("COM3: %1 (Adaptador 3)").arg(port3.slavePath()));
    QVERIFY(!w.window.engine().isOpen());
    QCOMPARE(focusName(), QStringLiteral("SSTab1"));
    w.poll();
    QVERIFY(w.window.engine().isOpen());  // port 1 although nothing was chosen yet

    // Switching to another program is no loss of focus within the window;
    // leaving the list with a typed number changes the port.
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(list, &away);
    QVERIFY(w.window.engine().isOpen());
    list->setFocus();
    list->lineEdit()->selectAll();
    QTest::keyClicks(list, QStringLiteral(" 3 "));
    QTest::keyClick(list, Qt::Key_Tab);
    QVERIFY(!w.window.engine().isOpen());
    QCOMPARE(w.window.engine().portNumber(), qint16(3));
    QCOMPARE(list->count(), 2);  // typed text adds no entry
    port3.send("from three");
    w.poll();
    QCOMPARE(w.monitor(), QStringLiteral("from three"));
  }

  // The port list follows adapters plugged and pulled, keeping typed text.
  void portListFollowsTheAdapter() {
    QList<PortDevice> present;  // nothing plugged in at start
    ShownWindow w{PortCatalog()};
    w.window.engine().setPortScan([&] { return present; });
    auto* list = w.get<PortList>("cboComm");
    list->setEditText(QStringLiteral("7"));  // typed, not yet left
    present.append({"ttyUSB0", "/dev/ttyUSB0", "FT232R", "usb:0403:6001:A1"});
    w.window.engine().refreshPorts();
    QCOMPARE(itemsOf(list), QStringList{"1"});
    QCOMPARE(list->currentText(), QStringLiteral("7"));

    present = {{"ttyUSB1", "/dev/ttyUSB1", "CH340", "usb:1a86:7523@1-2"}};  // one pulled, another plugged
    list->showPopup();                                                      // opening the list looks again
    list->hidePopup();
    QCOMPARE(itemsOf(list), (QStringList{"1", "2"}));
    QVERIFY(list->itemData(0, Qt::ToolTipRole).toString().endsWith(QStringLiteral("ausente")));
    QCOMPARE(w.window.engine().portNumber(), qint16(1));  // nothing chosen by it
  }

  // Clicks to the line: toggles, sends, the monitor; then the factory sequence.
  void togglesSendsAndTheFactorySequence() {
    PtyPeer controller;
    ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
    w.showPage(2);
    w.click("R2_Cor");
    w.click("R2_Cor_PTT2");  // keys radio 1
    QCOMPARE(w.caption("R2_Cor") + ' ' + w.caption("R2_Cor_PTT2"), QStringLiteral("ATIVO BAIXO Ativado"));
    w.get<QComboBox>("R2_Cor_Delay_HT")->setCurrentIndex(100);
    w.click("EnviaR2");
    const QString two = QStringLiteral("Radio=2;COR=0;DelayDT=00100;PTT1=1;PTT2=0;PTT3=0;PTT4=0;DelayHT=10000;");
    QCOMPARE(controller.receive(70), two.toLatin1());
    controller.send("OK\r\n");
    w.poll();
    w.showPage(1);
    w.click("EnviaR1");
    QCOMPARE(controller.receive(70), factoryMessage(1).toLatin1());
    QCOMPARE(w.monitor(), two + "\r\nOK\r\n\r\n" + factoryMessage(1) + "\r\n");
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
      QCOMPARE(cor->text() + ' ' + route->text(), QStringLiteral("ATIVO BAIXO Desativado"));
      QCOMPARE(w.window.readRadio(1).corLevel, CorLevel::ActiveLow);
      QVERIFY(w.window.readRadio(1).keyedRadios.isEmpty());
    }
    w.click("R1_Cor");
    w.click("R1_Cor_PTT4");
    QCOMPARE(buildProgrammingMessage(1, w.window.readRadio(1)),
             QStringLiteral("Radio=1;COR=1;DelayDT=00100;PTT1=0;PTT2=0;PTT3=0;PTT4=1;DelayHT=00100;"));

    // The factory sequence: progress in the title, input refused, closing after.
    w.window.engine().setCommandGap(std::chrono::milliseconds(1200));  // shown as 2 s: what is left rounds up
    w.click("R1_Cor");                                                 // the factory set ignores the window's values
    QString titleAtEnd;  // as the sequence ends, before the close it waited for
    connect(&w.window.engine(), &ControllerEngine::busyChanged, &w.window,
            [&](bool busy) { titleAtEnd = busy ? QString() : w.window.windowTitle(); });
    w.click("ProgDefa4canais");
    QCOMPARE(controller.receive(70), factoryMessage(1).toLatin1());
    // Ends with the program's name, which the desktop would otherwise add again.
    QCOMPARE(w.window.windowTitle(),
             QStringLiteral("Programação de fábrica: comando 1 de 4 (RÁDIO 1) enviado; próximo em 2 s — ZELQON"));
    QVERIFY(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::BusyCursor);
    // Clicks and keys during the sequence start nothing and change nothing;
    // closing waits for the end of the sequence.
    w.click("EnviaR1");
    w.click("R1_Cor");
    QCOMPARE(w.caption("R1_Cor"), QStringLiteral("ATIVO BAIXO"));
    QVERIFY(!w.window.close());
    QCOMPARE(controller.receive(3 * 70, 6000), (factoryMessage(2) + factoryMessage(3) + factoryMessage(4)).toLatin1());
    QTRY_VERIFY(!w.window.isVisible());
    QCOMPARE(titleAtEnd, QStringLiteral("ZELQON"));
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!w.window.engine().isOpen());
    QCOMPARE(controller.receive(1, 100), QByteArray());  // the refused click sent nothing
  }

  // Failures: notices after the handler ends, the reopen promised.
  void failuresAreShownOnceTheHandlerEnds() {
    auto controller = std::make_unique<PtyPeer>();
    ShownWindow w{ptyCatalog({{2, controller->slavePath()}})};  // no port 1 here
    w.click("EnviaR1");
    QCOMPARE(w.shownNotice(), QString());  // not from inside the handler
    QTRY_VERIFY(w.shownNotice().contains(QStringLiteral("RÁDIO 1 não foi enviada.\nFalha ao abrir a porta COM1.")));
    QVERIFY(!w.notice()->isModal());
    w.notice()->hide();
    // The poll's failures stay silent.
    w.poll();
    QTest::qWait(20);
    QCOMPARE(w.shownNotice(), QString());

    // A pulled adapter is told once it is noticed, and that the window opens it
    // again on the next poll or send.
    QCOMPARE(w.window.engine().changePort(2), OperationStart::Started);
    w.poll();
    QVERIFY(w.window.engine().isOpen());
    controller.reset();
    QTRY_VERIFY(w.shownNotice().contains(QStringLiteral("foi desconectada")));
    QVERIFY2(w.shownNotice().contains(QStringLiteral("COM2 (/dev/pts/")), qPrintable(w.shownNotice()));
    QVERIFY2(w.shownNotice().contains(QStringLiteral("Ela será aberta de novo no próximo envio ou leitura")),
             qPrintable(w.shownNotice()));
  }

  // Keys, wheel and the monitor's exact text.
  void keysWheelAndMonitorActAsOperatorsExpect() {
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
      QWheelEvent down(at, list->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                       false);
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

    w.window.resize(697, 705);  // the monitor lies below the fixed layout
    MonitorView& monitor = *w.get<MonitorView>("Tela_Recebto");
    // No markup; control bytes as their symbols; a CR LF split between two
    // polls is one line break.
    monitor.append(QStringLiteral("<b>bold?</b>\r"));
    monitor.append(QStringLiteral("\nnext\x01"));
    QCOMPARE(monitor.text(), QStringLiteral("<b>bold?</b>\r\nnext\x01"));
    QCOMPARE(monitor.toPlainText(), QStringLiteral("<b>bold?</b>\nnext\u2401"));
    // New text is followed, unless the operator has scrolled up.
    for (int i = 0; i < 200; ++i)
      monitor.append(QStringLiteral("line %1\r\n").arg(i));
    QScrollBar* bar = monitor.verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
    bar->setValue(10);
    monitor.append(QStringLiteral("more\r\n"));
    QCOMPARE(bar->value(), 10);

    // Enter in a line that ended in CR; Backspace over a display-only break.
    const auto press = [&](int position, Qt::Key key) {
      QTextCursor cursor = monitor.textCursor();
      cursor.setPosition(position);
      monitor.setTextCursor(cursor);
      QTest::keyClick(&monitor, key);
    };
    const QString longLine(MonitorView::kLongestShownLine + 10, QLatin1Char('x'));
    monitor.clear();
    monitor.append(QStringLiteral("ab\rcd\n") + longLine + QStringLiteral("\r\n"));
    press(1, Qt::Key_Return);
    QCOMPARE(monitor.text(), QStringLiteral("a\r\nb\rcd\n") + longLine + QStringLiteral("\r\n"));
    press(8 + MonitorView::kLongestShownLine, Qt::Key_Backspace);
    QCOMPARE(monitor.text(), QStringLiteral("a\r\nb\rcd\n") + longLine + QStringLiteral("\r\n"));
    monitor.append(QStringLiteral("!"));  // received text still goes on at the end
    QVERIFY(monitor.text().endsWith(QStringLiteral("\r\n!")));

    // Every Latin-1 character and each kind of line ending copy out as received.
    const QString received = QString::fromLatin1(everyByte()) + QStringLiteral("\r\nx\ry\nz\r\n") + longLine;
    monitor.clear();
    monitor.append(received);
    monitor.selectAll();
    monitor.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), received);
  }

  // Start-up as the program does it, and the exit button.
  void exitButtonClosesAndEnds() {
    // As the program starts it: polling every second; the exit button must end the event loop.
    PtyPeer controller;
    const auto window = startProgrammingWindow([&] { return ptyCatalog({{1, controller.slavePath()}}); });
    QCOMPARE(window->findChild<QTimer*>(QStringLiteral("pollTimer"))->interval(), 1000);
    QVERIFY(window->findChild<QTimer*>(QStringLiteral("pollTimer"))->isActive());
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

  // Site profiles saved, edited by hand and opened again; refusals.
  void profilesRoundTripThroughTheWindow() {
    PtyPeer controller;
    const PortCatalog ports = ptyCatalog({{1, controller.slavePath()}, {2, QStringLiteral("/dev/zelqon-absent")}});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.zelqon"));
    QByteArray saved;
    {
      ShownWindow w{ports};
      w.showPage(2);
      w.click("R2_Cor");
      w.click("R2_Cor_PTT4");  // keys radio 4
      w.showPage(4);
      w.get<QComboBox>("R4_Cor_Delay_HT")->setCurrentIndex(15);
      QVERIFY(w.window.saveProfileTo(path));
      QCOMPARE(w.window.windowTitle(), QStringLiteral("site.zelqon[*] — ZELQON"));
      // Marked modified while the pages differ from the file, and no longer.
      QVERIFY(!w.window.isWindowModified());
      w.click("R4_Cor");
      QVERIFY(w.window.isWindowModified());
      w.click("R4_Cor");
      QVERIFY(!w.window.isWindowModified());
      // A save that cannot be written says why and keeps the file and its path.
      saved = readAll(path);
      w.click("R4_Cor");
      QVERIFY(!w.window.saveProfileTo(path + QStringLiteral("/inside.zelqon")));
      QTRY_VERIFY(w.shownNotice().startsWith(QStringLiteral("O perfil não foi salvo.")));
      QVERIFY(w.window.isWindowModified());
      QCOMPARE(readAll(path), saved);
      // Ctrl+S still writes the profile's own file.
      w.window.findChild<QAction*>(QStringLiteral("salvarPerfil"))->trigger();
      QVERIFY(!w.window.isWindowModified());
    }
    // Edited by hand, then opened in a fresh window: the pages and port as in
    // the file, nothing sent.
    saved.replace("[radio1]\ncor = \"alto\"", "[radio1]\ncor = \"baixo\"");
    QVERIFY(writeAll(path, saved));
    ShownWindow w{ports};
    QCOMPARE(w.window.engine().changePort(2), OperationStart::Started);
    QVERIFY(w.window.openProfile(path));
    QCOMPARE(w.window.engine().portNumber(), qint16(1));
    QCOMPARE(w.caption("R1_Cor") + ' ' + w.caption("R2_Cor_PTT4"), QStringLiteral("ATIVO BAIXO Ativado"));
    QCOMPARE(w.get<QComboBox>("R4_Cor_Delay_HT")->currentText(), QStringLiteral("01500"));
    QVERIFY(!w.window.isWindowModified());
    QCOMPARE(controller.receive(1, 100), QByteArray());
    // A file that is refused names its place and changes nothing.
    const QString bad = dir.filePath(QStringLiteral("bad.zelqon"));
    QVERIFY(writeAll(bad, saved.replace("aciona = [4]", "aciona = [2]")));
    QVERIFY(!w.window.openProfile(bad));
    QTRY_VERIFY2(w.shownNotice().contains(QStringLiteral("bad.zelqon:")), qPrintable(w.shownNotice()));
    QCOMPARE(w.caption("R2_Cor_PTT4"), QStringLiteral("Ativado"));
    QCOMPARE(w.window.windowTitle(), QStringLiteral("site.zelqon[*] — ZELQON"));

    // The packaged example (zelqon-cli's test checks its four messages): its
    // network port is taken, not opened.
    QVERIFY(w.window.openProfile(QStringLiteral(ZELQON_EXAMPLE_PROFILE)));
    QCOMPARE(w.window.engine().portName(), QStringLiteral("rfc2217://10.8.0.5:2217"));
    QCOMPARE(buildProgrammingMessage(3, w.window.readRadio(3)),
             QStringLiteral("Radio=3;COR=0;DelayDT=00200;PTT1=1;PTT2=1;PTT3=0;PTT4=0;DelayHT=01500;"));
    QVERIFY(w.window.engine().portState() == PortState::Closed);
  }

  // A network address typed into the port list reaches ser2net.
  void networkAddressInTheBoxReachesSer2net() {
    PtyPeer controller;
    Ser2netServer server(Ser2netServer::Mode::Rfc2217, controller.slavePath(), QStringLiteral("9600n81"));
    QVERIFY2(server.start(), server.output().constData());
    ShownWindow w{PortCatalog()};
    auto* list = w.get<QComboBox>("cboComm");
    list->setFocus();
    QTest::keyClicks(list, server.address());
    QTest::keyClick(list, Qt::Key_Tab);
    w.click("EnviaR1");
    // While it connects, the title says so; the message goes once the line is set.
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Conectando a %1… — ZELQON").arg(server.address()));
    QCOMPARE(controller.receive(70, 6000), factoryMessage(1).toLatin1());
    QCOMPARE(w.window.windowTitle(), QStringLiteral("ZELQON"));
    // Every byte value, 0xFF included, reaches the monitor as itself.
    controller.send(everyByte());
    const QString expected =
        QStringLiteral("\r\n") + factoryMessage(1) + QStringLiteral("\r\n") + QString::fromLatin1(everyByte());
    QTRY_COMPARE_WITH_TIMEOUT((w.poll(), w.monitor()), expected, 5000);
    QVERIFY(!w.notice());
    // The server stopped between two factory commands: told, with how far it got.
    w.window.engine().setCommandGap(std::chrono::milliseconds(500));
    w.click("ProgDefa4canais");
    QCOMPARE(controller.receive(70, 6000), factoryMessage(1).toLatin1());
    QTRY_VERIFY(w.window.windowTitle().contains(QStringLiteral("1 de 4")));  // confirmed by the server
    server.stop();
    QTRY_VERIFY_WITH_TIMEOUT(w.shownNotice().contains(QStringLiteral("Comandos enviados: 1 de 4.")), 6000);
    QVERIFY2(w.shownNotice().contains(QStringLiteral("A conexão com o servidor foi perdida.")),
             qPrintable(w.shownNotice()));
  }

 private:
  QTemporaryDir m_home;
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
