// The programming window on Qt's offscreen platform: its controls against the
// layout's names, captions and geometry, the focus order, keys, wheel, the
// monitor's exact text and its note naming the record, and operations driven
// through clicks against a pseudo-terminal playing the controller.

#include "app/start_up.h"
#include "engine/record_text.h"
#include "protocol/programming_message.h"
#include "protocol/site_profile.h"
#include "pty_peer.h"
#include "record/session_record.h"
#include "ser2net_server.h"
#include "serial/server_trust.h"
#include "test_support.h"
#include "ui/monitor_view.h"
#include "ui/programador.h"
#include "ui/radio_pages.h"
#include "ui/widgets.h"

#include <QSpontaneKeyEvent>
#include <QtTest>
#include <QtWidgets>

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
    // Focus and key tests mean nothing in a window that never became active.
    if (!QTest::qWaitForWindowActive(&window))
      throw std::runtime_error("the window never became active");
  }
  template <typename T = QWidget>
  T* get(const QString& name) const {
    T* widget = window.findChild<T*>(name);
    return widget ? widget : throw std::runtime_error("no control named " + name.toStdString());
  }
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

// One line: page, name, kind, "caption", place in the fixed area, enabled or
// not, "accessible name", face size and style.
QString describeControl(QWidget* widget, QWidget* area, const QString& page) {
  const QPoint at = widget->mapTo(area, QPoint(0, 0));
  const QFont face = widget->font();  // its family is whichever of the layout's this machine has
  return QStringLiteral("%1%2 %3 \"%4\" %5,%6 %7 %8 \"%9\" %10px%11%12")
      .arg(page.isEmpty() ? QString() : page + QStringLiteral(": "), widget->objectName(),
           QString::fromLatin1(widget->metaObject()->className()), widget->property("text").toString())
      .arg(at.x())
      .arg(at.y())
      .arg(QStringLiteral("%1x%2").arg(widget->width()).arg(widget->height()),
           widget->isEnabled() ? "enabled" : "disabled", widget->accessibleName())
      .arg(face.pixelSize())
      .arg(face.bold() ? " bold" : "", face.italic() ? " italic" : "");
}

QStringList itemsOf(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i)
    items.append(list->itemText(i));
  return items;
}

// Answers every question the window asks with `button` (Cancel where it has
// none), keeping what was asked.
struct Answer {
  explicit Answer(QMessageBox::StandardButton button) {
    timer.callOnTimeout([this, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box)
        return;
      asked.append(box->text());
      QAbstractButton* chosen = box->button(button) ? box->button(button) : box->button(QMessageBox::Cancel);
      chosen->click();
    });
    timer.start(10);
  }
  QTimer timer;
  QStringList asked;
};

// Answers the first-contact question with its own button, or Cancel.
struct AnswerFirstContact {
  enum class Choice { Trust, Cancel };
  explicit AnswerFirstContact(Choice choice) {
    timer.callOnTimeout([this, choice] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || box->objectName() != QStringLiteral("perguntaConfiar"))
        return;
      asked.append(box->text());
      for (QAbstractButton* button : box->buttons()) {
        const bool trusts = box->buttonRole(button) == QMessageBox::AcceptRole;
        if (trusts == (choice == Choice::Trust) && (trusts || box->standardButton(button) == QMessageBox::Cancel)) {
          QVERIFY(!trusts || button->text() == QStringLiteral("Confiar neste servidor"));
          button->click();
          return;
        }
      }
    });
    timer.start(10);
  }
  QTimer timer;
  QStringList asked;
};

// The ways a window leaves its pages behind.
enum class Leaving { ExitButton, CtrlQ, WindowClose, OpenAnother, DropAnother, Reload };

void trigger(const Programador& window, const char* action) {
  window.findChild<QAction*>(QString::fromLatin1(action))->trigger();
}

void drop(Programador& window, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &event);
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  // Layout: every control of the window and of its four pages as
  // tests/window_layout.txt holds it (name, kind, caption, place, state,
  // accessible name, face), and each page's focus order.
  void windowPagesAndFocusOrderMatchTheLayout() {
    ShownWindow w{PortCatalog()};
    QWidget* area = w.get("areaFixa");
    auto* tabs = w.get<TabControl>("SSTab1");
    // The fixed layout keeps its size below the menu bar.
    QCOMPARE(area->geometry(), QRect(QPoint(0, w.get("menuBar")->height()), QSize(697, 359)));
    QStringList seen;
    const auto describe = [&](QWidget* widget, const QString& page) {
      if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")))
        seen.append(describeControl(widget, area, page));
    };
    for (int page = 0; page < 4; ++page) {
      tabs->setCurrentIndex(page);
      for (QWidget* widget : tabs->page(page)->findChildren<QWidget*>())
        describe(widget, tabs->tabBar()->tabText(page));
    }
    for (QWidget* widget : area->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      describe(widget, {});
    seen.append(describeControl(tabs->tabBar(), area, QStringLiteral("SSTab1")));  // the tab strip
    // The focus order of each page, which visits the shown page only.
    for (int page = 1; page <= 4; ++page) {
      w.showPage(page);
      w.get("SSTab1")->setFocus();
      QStringList visited{QStringLiteral("focus %1:").arg(tabs->tabBar()->tabText(page - 1)), focusName()};
      for (int i = 0; i < 17; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.append(focusName());
      }
      seen.append(visited.join(' '));
    }
    const QString layout = QStringLiteral(ZELQON_WINDOW_LAYOUT), actual = QStringLiteral("window_layout.actual");
    const QStringList expected = QString::fromUtf8(readFile(layout)).split('\n', Qt::SkipEmptyParts);
    if (seen != expected && writeFile(actual, (seen.join('\n') + '\n').toUtf8()))
      qWarning("The window differs from %s; what it shows is in %s.", qPrintable(layout),
               qPrintable(QFileInfo(actual).absoluteFilePath()));
    QCOMPARE(seen, expected);
  }

  // Start-up: the lists filled, the first port taken on the first poll; a port
  // typed into the list is taken when the list is left.
  void startupListsAndLeavingThePortList() {
    PtyPeer port1;
    PtyPeer port3;
    ShownWindow w{ptyCatalog({{3, port3.slavePath()}, {1, port1.slavePath()}})};
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
    // Serial ports alone: the network module is not loaded.
    QVERIFY(!readFile(QStringLiteral("/proc/self/maps")).contains("zelqon-network"));
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
    w.click("R2_Cor_PTT3");  // a second click unkeys
    w.click("R2_Cor_PTT3");
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
    QCOMPARE(w.get<MonitorView>("Tela_Recebto")->text(), two + "\r\nOK\r\n\r\n" + factoryMessage(1) + "\r\n");

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
    const RecordFailure recordFailure{QStringLiteral("registro"), {}};
    emit w.window.engine().recordFailed(recordFailure);  // told after the sequence
    QTest::qWait(20);
    QVERIFY(!w.notice());
    QCOMPARE(controller.receive(3 * 70, 6000), (factoryMessage(2) + factoryMessage(3) + factoryMessage(4)).toLatin1());
    QTRY_VERIFY(!w.window.isVisible());
    QCOMPARE(w.notice()->text(), describeRecordFailure(recordFailure));
    QCOMPARE(titleAtEnd, QStringLiteral("ZELQON"));
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(!w.window.engine().isOpen());
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
    QVERIFY_CONTAINS(w.shownNotice(), QStringLiteral("COM2 (/dev/pts/"));
    QVERIFY_CONTAINS(w.shownNotice(), QStringLiteral("Ela será aberta de novo no próximo envio ou leitura"));
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
    // A key held down in a notice that has just closed goes on into the
    // focused button as X11 repeats it: a release and a press of the same
    // time, which Qt does not always mark as a repeat.
    const QSignalSpy clicks(cor, &QPushButton::clicked);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Space})
      for (quint64 time = 1000; time < 1200; time += 40)
        for (const QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
          QKeyEvent repeat(type, key, Qt::NoModifier);
          repeat.setTimestamp(time);
          QApplication::sendEvent(cor, &repeat);
        }
    QCOMPARE(clicks.count(), 0);
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
    // Past its bound, the monitor names the window's record.
    const QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("sessao.log"));
    w.window.engine().recordSession(new SessionRecord(RecordTarget::OneFile, file));
    monitor.setTextBound(100);
    monitor.append(QString(200, QLatin1Char('x')));
    QCOMPARE(monitor.content().shownLine(0).section(QStringLiteral("; "), 1),
             QStringLiteral("a sessão completa está no registro: ") + file);
  }

  // Every way of leaving pages that differ from the open profile asks first,
  // and the dialog's answer is the one the profile acts on: Save writes
  // them, Discard does not, Cancel keeps the window and the file.
  void unsavedChangesAreNeverLostUnasked_data() {
    QTest::addColumn<Leaving>("way");
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    const char* ways[] = {"exit", "ctrl-q", "close", "open", "drop", "reload"};  // in Leaving's order
    for (int way = 0; way < 6; ++way)
      QTest::addRow("%s cancel", ways[way]) << Leaving(way) << QMessageBox::Cancel;
    QTest::addRow("exit save") << Leaving::ExitButton << QMessageBox::Save;
    QTest::addRow("close discard") << Leaving::WindowClose << QMessageBox::Discard;
  }
  void unsavedChangesAreNeverLostUnasked() {
    QFETCH(Leaving, way);
    QFETCH(QMessageBox::StandardButton, answer);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.zelqon"));
    const QString other = dir.filePath(QStringLiteral("outro.zelqon"));
    ShownWindow w{PortCatalog()};
    QVERIFY(w.window.saveProfileTo(other));
    QVERIFY(w.window.saveProfileTo(path));
    const QByteArray before = readFile(path);
    w.click("R1_Cor");
    QSignalSpy ended(&w.window, &Programador::endRequested);
    Answer answered(answer);
    const std::function<void()> leave[] = {
        [&] { w.click("Botao_Sair"); }, [&] { trigger(w.window, "sair"); },
        [&] { w.window.close(); },      [&] { w.window.openProfile(other); },
        [&] { drop(w.window, other); }, [&] { trigger(w.window, "recarregarPerfil"); }};
    leave[int(way)]();
    QTRY_COMPARE(answered.asked, QStringList{"Salvar as alterações em site.zelqon?"});
    const bool left = ended.count() == 1 || !w.window.isVisible() || w.window.windowTitle().startsWith("outro") ||
                      (way == Leaving::Reload && !w.window.isWindowModified());
    QCOMPARE(left, answer != QMessageBox::Cancel);
    QCOMPARE(readFile(path) == before, answer != QMessageBox::Save);
    if (answer == QMessageBox::Cancel)
      QVERIFY(w.window.isWindowModified() && w.caption("R1_Cor") == QStringLiteral("ATIVO BAIXO"));
  }

  // A file changed outside the program since it was read or written here:
  // Ctrl+S asks before overwriting it, and only Overwrite writes.
  void changesMadeOutsideAreNotOverwrittenUnasked() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.zelqon"));
    ShownWindow w{PortCatalog()};
    QVERIFY(w.window.saveProfileTo(path));
    const QByteArray outside = readFile(path).replace("[radio1]\ncor = \"alto\"", "[radio1]\ncor = \"baixo\"");
    QVERIFY(writeFile(path, outside));
    w.click("R2_Cor");
    QCOMPARE(w.window.windowTitle(), QStringLiteral("site.zelqon[*] — ZELQON"));
    for (const auto button : {QMessageBox::Cancel, QMessageBox::Yes}) {
      Answer answered(button);
      trigger(w.window, "salvarPerfil");
      QVERIFY2(answered.asked.size() == 1 && answered.asked.at(0).startsWith(
                                                 QStringLiteral("O arquivo site.zelqon foi alterado fora do programa")),
               qPrintable(answered.asked.join('|')));
      QCOMPARE(readFile(path) == outside, button == QMessageBox::Cancel);
      QCOMPARE(w.window.isWindowModified(), button == QMessageBox::Cancel);
    }
  }

  // Opened as the desktop opens files: named on the command line, dropped on
  // the window, or picked from the recent list, which keeps the last eight.
  // The program as started from the menu maps what its first view needs: no
  // Qt Network, no network module, no image format plugins. Read once it has
  // painted its text (a font mapped).
  void programStartsWithoutWhatItDoesNotShow() {
    QProcess program;
    program.start(QStringLiteral(ZELQON_WINDOW_PROGRAM), {});
    QVERIFY(program.waitForStarted());
    const QString maps = QStringLiteral("/proc/%1/maps").arg(program.processId());
    QTRY_VERIFY_WITH_TIMEOUT(readFile(maps).contains("/fonts/"), 20000);
    QTest::qWait(1500);  // past the first poll and what start-up leaves for after the first paint
    const QByteArray mapped = readFile(maps);
    program.kill();
    program.waitForFinished();
    QVERIFY(mapped.contains("libQt6Widgets"));
    for (const char* part : {"libQt6Network", "zelqon-network", "libcrypto", "plugins/imageformats"})
      QVERIFY2(!mapped.contains(part), part);
  }

  void profilesOpenTheWaysDesktopFilesDo() {
    QTemporaryDir dir;
    QStringList paths;
    ShownWindow w{PortCatalog()};
    for (int n = 1; n <= 9; ++n) {
      paths.prepend(dir.filePath(QStringLiteral("p%1.zelqon").arg(n)));
      w.click("R1_Cor");
      QVERIFY(w.window.saveProfileTo(paths.first()));  // odd ones active low
    }
    // Started as the program starts it: polling every second, named as the
    // desktop shows it, Qt's own texts in Portuguese; the exit button ends it.
    PtyPeer controller;
    const auto ports = [&] { return ptyCatalog({{1, controller.slavePath()}}); };
    const auto started = startProgrammingWindow(ports, profileFromCommandLine({"zelqon", paths.at(0)}));
    QCOMPARE(started->windowTitle(), QStringLiteral("p9.zelqon[*] — ZELQON"));
    QCOMPARE(started->radios().program(1).corLevel, CorLevel::ActiveLow);
    QCOMPARE(started->findChild<QTimer*>(QStringLiteral("pollTimer"))->interval(), 1000);
    QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("ZELQON"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "File &name:"), QStringLiteral("&Nome do arquivo:"));
    QTRY_VERIFY(started->engine().isOpen());  // on the first timed poll
    QTimer::singleShot(0, started.get(), [&] {
      QTest::mouseClick(started->findChild<QPushButton*>(QStringLiteral("Botao_Sair")), Qt::LeftButton);
    });
    QTimer neverEnded;
    connect(&neverEnded, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    neverEnded.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!started->engine().isOpen());

    // Only a .zelqon is taken from a drop.
    QMimeData data;
    for (const auto& [name, taken] : {std::pair{"notas.txt", false}, std::pair{"p2.zelqon", true}}) {
      data.setUrls({QUrl::fromLocalFile(dir.filePath(QString::fromLatin1(name)))});
      QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&w.window, &enter);
      QCOMPARE(enter.isAccepted(), taken);
    }
    drop(w.window, dir.filePath(QStringLiteral("falta.zelqon")));  // told, and nothing changes
    QTRY_VERIFY(w.shownNotice().startsWith(QStringLiteral("O perfil não foi aberto.\n")));
    drop(w.window, paths.at(7));
    QTRY_COMPARE(w.window.windowTitle(), QStringLiteral("p2.zelqon[*] — ZELQON"));
    QCOMPARE(w.caption("R1_Cor"), QStringLiteral("ATIVO ALTO"));

    auto* recent = w.get<QMenu>(QStringLiteral("menuRecentes"));
    const auto listed = [recent] {
      emit recent->aboutToShow();
      QStringList shown;
      for (const QAction* entry : recent->actions())
        shown.append(entry->data().toString());
      return shown;
    };
    QCOMPARE(listed(), (QStringList{paths.at(7)} + paths.mid(0, 7)));
    recent->actions().at(1)->trigger();
    QCOMPARE(w.window.windowTitle(), QStringLiteral("p9.zelqon[*] — ZELQON"));
  }

  // Every way the port box and a profile's port meet: a device path typed
  // after a network address, the box marking the profile modified, the title
  // while a network port connects.
  void portBoxAndProfilePortStayInStep() {
    PtyPeer controller;
    ShownWindow w{ptyCatalog({{1, controller.slavePath()}})};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.zelqon"));
    const QByteArray device = "porta = \"" + controller.slavePath().toUtf8() + '"';
    QVERIFY(w.window.saveProfileTo(path));
    QVERIFY(writeFile(path, readFile(path).replace("porta = \"1\"", device)));
    QVERIFY(w.window.openProfile(path));
    auto* list = w.get<QComboBox>("cboComm");
    QCOMPARE(list->currentText(), controller.slavePath());
    const QString tcp = QStringLiteral("tcp://127.0.0.1:9");
    const auto type = [&](const QString& text) {
      list->setFocus();
      list->lineEdit()->selectAll();
      QTest::keyClicks(list, text);
      QTest::keyClick(list, Qt::Key_Tab);
    };
    for (const auto& [typed, modified] : {std::pair{tcp, true}, std::pair{controller.slavePath(), false}}) {
      type(typed);
      QCOMPARE(w.window.isWindowModified(), modified);
      QCOMPARE(w.window.engine().portName().startsWith("tcp:"), modified);
    }
    w.poll();
    QVERIFY(w.window.engine().isOpen());
    w.click("R1_Cor");
    trigger(w.window, "salvarPerfil");
    QVERIFY(readFile(path).contains(device));
    // The title tells a network port's connection in progress until it ends.
    type(tcp);
    w.click("EnviaR1");
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Conectando a %1… — site.zelqon[*] — ZELQON").arg(tcp));
    QTRY_VERIFY(!w.window.engine().isBusy());
  }

  // A TLS site: the profile names this computer's pair from its folder; a
  // server met for the first time is asked about with its fingerprint, and
  // nothing is sent unless it is trusted, then the send the operator asked
  // for goes on; a changed certificate is refused in a notice, never asked.
  void aTlsServerIsTrustedOnlyWhenTheOperatorSaysSo() {
    QTemporaryDir dir;
    QVERIFY(makeTlsSite(dir));
    PtyPeer controller;
    Ser2netServer ser2net(Ser2netServer::Mode::Rfc2217, controller.slavePath(), QStringLiteral("19200n81"),
                          tlsSiteAccepter(dir, true), dir.filePath("auth"));
    QVERIFY2(ser2net.start(), ser2net.output().constData());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    const auto restore = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
    SiteProfile site;
    site.port = parseNetworkAddress(ser2net.address());
    site.clientCertificate = "../c.crt";
    site.clientKey = "../c.key";
    QVERIFY(QDir(dir.path()).mkdir("site") && writeFile(dir.filePath("site/p.zelqon"), formatSiteProfile(site)));
    ShownWindow w{PortCatalog()};
    QVERIFY(w.window.openProfile(dir.filePath("site/p.zelqon")));
    const QString kept = dir.filePath(QStringLiteral("config/zelqon/servidores/127.0.0.1_%1.pem").arg(ser2net.port()));
    const QString fingerprint = certificateFingerprint(QSslCertificate::fromPath(dir.filePath("s.crt")).value(0));
    for (const auto choice : {AnswerFirstContact::Choice::Cancel, AnswerFirstContact::Choice::Trust}) {
      AnswerFirstContact answered(choice);
      w.click("EnviaR1");
      QTRY_COMPARE(answered.asked.size(), 1);
      QVERIFY2(answered.asked.at(0).contains("ainda não confia") && answered.asked.at(0).contains(fingerprint),
               qPrintable(answered.asked.at(0)));
      QCOMPARE(QFile::exists(kept), choice == AnswerFirstContact::Choice::Trust);
      QCOMPARE(controller.receive(71, choice == AnswerFirstContact::Choice::Trust ? 5000 : 300),
               choice == AnswerFirstContact::Choice::Trust ? factoryMessage(1).toLatin1() : QByteArray());
      QTRY_VERIFY(!w.window.engine().isBusy());
      QCOMPARE(w.shownNotice(), QString());
    }
    // Another certificate where this one was kept: told, not asked.
    w.window.engine().closePort();
    QVERIFY(QFile::remove(kept) && QFile::copy(dir.filePath("o.crt"), kept));
    AnswerFirstContact answered(AnswerFirstContact::Choice::Trust);
    w.click("EnviaR1");
    QTRY_VERIFY(w.shownNotice().contains("mudou"));
    QVERIFY(answered.asked.isEmpty());
    QCOMPARE(controller.receive(71, 300), QByteArray());
  }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
