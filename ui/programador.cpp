#include "ui/programador.h"

#include "engine/operator_text.h"
#include "engine/profile_text.h"
#include "engine/session_record.h"
#include "protocol/port_address.h"
#include "ui/app_icon.h"
#include "ui/monitor_view.h"
#include "ui/radio_captions.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace zelqon {

using layout::Kind;
using layout::PageRole;

namespace {

const QString kWindowTitle = QStringLiteral("ZELQON");

// A page row's text for radio n: %1 is the radio, %2 the radio its route keys.
QString pageText(const char* pattern, int radio, int routeKey) {
  QString text = QString::fromUtf8(pattern);
  text.replace(QLatin1String("%1"), QString::number(radio));
  if (routeKey != 0)
    text.replace(QLatin1String("%2"), QString::number(routedRadio(radio, routeKey)));
  return text;
}

bool isOperatorInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
      return true;
    default:
      return false;
  }
}

}  // namespace

Programador::Programador(PortCatalog catalog, QWidget* parent)
    : Programador([&catalog] { return std::move(catalog); }, parent) {}

Programador::Programador(const std::function<PortCatalog()>& discoverPorts, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Programador"));
  setWindowTitle(kWindowTitle);
  setWindowIcon(QIcon(QPixmap::fromImage(drawAppIcon(layout::kIconSize))));
  setFont(layoutFont(layout::Face::Default));

  // The menu bar stands above the fixed layout, which keeps its own size and
  // every control's place: the window grows by the menu's height.
  auto* rows = new QVBoxLayout(this);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(0);
  m_layoutArea = new QWidget(this);
  m_layoutArea->setObjectName(QStringLiteral("areaFixa"));
  rows->addWidget(m_layoutArea, 1);
  buildMenu();
  resize(layout::pixels(layout::kClientWidth),
         layout::pixels(layout::kClientHeight) + rows->menuBar()->sizeHint().height());

  buildWindowControls();

  m_engine = new ControllerEngine(discoverPorts(), this);
  m_engine->setRadioReader([this](int radio) { return readRadio(radio); });
  connectEngine();

  loadStartValues();
  // Whatever changes a page or the port may make it differ from the profile.
  for (const RadioPage& page : m_pages) {
    for (QComboBox* list : {page.debounce, page.hang})
      connect(list, &QComboBox::currentIndexChanged, this, &Programador::refreshModified);
  }
  connect(m_portList, &QComboBox::editTextChanged, this, &Programador::refreshModified);
  m_engine->startPolling();
  m_tabs->setFocus(Qt::OtherFocusReason);
}

Programador::~Programador() = default;

QWidget* Programador::createControl(Kind kind, const QString& name, const QString& caption, QRect geometry,
                                    layout::Face face, QWidget* parent) {
  QWidget* widget = nullptr;
  switch (kind) {
    case Kind::PictureBox: {
      auto* picture = new QLabel(parent);
      picture->setPixmap(QPixmap::fromImage(drawAppIcon(layout::kIconSize)));
      picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      picture->setLineWidth(2);
      picture->setAutoFillBackground(true);
      QPalette white = picture->palette();
      white.setColor(QPalette::Window, Qt::white);
      picture->setPalette(white);
      picture->setFocusPolicy(Qt::StrongFocus);
      widget = picture;
      break;
    }
    case Kind::Label:
    case Kind::OpaqueLabel: {
      auto* label = new QLabel(caption, parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setAutoFillBackground(kind == Kind::OpaqueLabel);
      widget = label;
      break;
    }
    case Kind::PortList: {
      auto* list = new PortList(parent);
      list->setEditable(true);
      // Typed text stays as typed: no completion, no new entries.
      list->setCompleter(nullptr);
      list->setInsertPolicy(QComboBox::NoInsert);
      widget = list;
      break;
    }
    case Kind::DelayList:
      widget = new DelayList(parent);
      break;
    case Kind::TabControl:
      widget = new TabControl(
          {QStringLiteral("RÁDIO 1"), QStringLiteral("RÁDIO 2"), QStringLiteral("RÁDIO 3"), QStringLiteral("RÁDIO 4")},
          geometry.size(), layout::pixels(layout::kTabStripHeight), parent);
      break;
    case Kind::Button:
      widget = new CaptionButton(caption, parent);
      break;
    case Kind::CaptionBox: {
      auto* box = new QLineEdit(caption, parent);
      box->setAlignment(Qt::AlignCenter);
      box->setFrame(false);
      box->setStyleSheet(
          QStringLiteral("QLineEdit { border: 1px solid palette(window-text); "
                         "background: palette(base); padding: 0px; }"));
      widget = box;
      break;
    }
    case Kind::Monitor:
      widget = new MonitorView(parent);
      break;
  }
  widget->setObjectName(name);
  // The default face is the window's own and reaches every control by
  // inheritance; setting it again would only make each control re-polish.
  if (face != layout::Face::Default)
    widget->setFont(layoutFont(face));
  widget->setGeometry(geometry);
  if (widget->focusPolicy() != Qt::NoFocus)
    m_focusable.insert(name, widget);
  return widget;
}

void Programador::buildWindowControls() {
  for (const layout::WindowControl& control : layout::kWindowControls) {
    QWidget* widget = createControl(control.kind, QString::fromLatin1(control.name), QString::fromUtf8(control.caption),
                                    control.rect.toPixels(), control.face, m_layoutArea);
    widget->setEnabled(control.enabled);
    switch (control.kind) {
      case Kind::Monitor:
        m_monitor = static_cast<MonitorView*>(widget);
        m_monitor->setAccessibleName(QStringLiteral("Monitor de envio e recebimento de dados"));
        break;
      case Kind::PortList:
        m_portList = static_cast<PortList*>(widget);
        m_portList->setAccessibleName(QStringLiteral("Porta COM"));
        m_portList->installEventFilter(this);
        break;
      case Kind::TabControl:
        m_tabs = static_cast<TabControl*>(widget);
        break;
      default:
        break;
    }
    if (control.action != layout::Action::None) {
      connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this,
              [this, action = control.action] { runAction(action); });
    }
  }
  auto* title = m_layoutArea->findChild<QLabel*>(QStringLiteral("Label1"), Qt::FindDirectChildrenOnly);
  QPalette highlighted = title->palette();
  highlighted.setColor(QPalette::WindowText, highlighted.color(QPalette::Highlight));
  title->setPalette(highlighted);

  for (int radio = 1; radio <= kRadioCount; ++radio)
    buildRadioPage(radio, m_tabs->page(radio - 1));
  applyFocusOrder();
}

void Programador::buildRadioPage(int radio, QWidget* page) {
  const auto index = std::size_t(radio - 1);
  // Lines first, so that the controls are drawn over them.
  for (const layout::PageLine& line : layout::kPageLines)
    (new LineShape(line.line, page))->setObjectName(QString::fromLatin1(line.names.at(index)));

  RadioPage& controls = m_pages.at(index);
  for (const layout::PageControl& row : layout::kPageControls) {
    QWidget* widget =
        createControl(row.kind, QString::fromLatin1(row.names.at(index)), pageText(row.caption, radio, row.routeKey),
                      row.rect.toPixels(), layout::Face::Default, page);
    if (*row.accessibleName != '\0')
      widget->setAccessibleName(pageText(row.accessibleName, radio, row.routeKey));
    auto* button = qobject_cast<QPushButton*>(widget);
    switch (row.role) {
      case PageRole::CorButton:
        controls.cor = button;
        connect(button, &QPushButton::clicked, this, [this, radio] { toggleCorLevel(radio); });
        break;
      case PageRole::RouteButton:
        controls.routes.at(std::size_t(row.routeKey - kFirstRouteKey)) = button;
        connect(button, &QPushButton::clicked, this, [this, radio, key = row.routeKey] { togglePttRoute(radio, key); });
        break;
      case PageRole::SendButton:
        connect(button, &QPushButton::clicked, this, [this, radio] { (void)m_engine->sendRadioProgram(radio); });
        break;
      case PageRole::DebounceList:
        controls.debounce = static_cast<QComboBox*>(widget);
        break;
      case PageRole::HangList:
        controls.hang = static_cast<QComboBox*>(widget);
        break;
      default:
        break;
    }
  }
}

void Programador::buildMenu() {
  auto* bar = new QMenuBar(this);
  bar->setObjectName(QStringLiteral("menuBar"));
  static_cast<QVBoxLayout*>(layout())->setMenuBar(bar);
  QMenu* file = bar->addMenu(QStringLiteral("&Arquivo"));
  file->setObjectName(QStringLiteral("menuArquivo"));
  const auto add = [this, file](const QString& name, const QString& text, const QKeySequence& keys, auto slot) {
    QAction* action = file->addAction(text, this, slot);
    action->setObjectName(name);
    action->setShortcut(keys);
    return action;
  };
  add(QStringLiteral("abrirPerfil"), QStringLiteral("&Abrir perfil…"), QKeySequence(QStringLiteral("Ctrl+O")),
      &Programador::askAndOpenProfile);
  add(QStringLiteral("salvarPerfil"), QStringLiteral("&Salvar perfil"), QKeySequence(QStringLiteral("Ctrl+S")),
      &Programador::saveProfile);
  add(QStringLiteral("salvarPerfilComo"), QStringLiteral("Salvar perfil &como…"),
      QKeySequence(QStringLiteral("Ctrl+Shift+S")), &Programador::askAndSaveProfile);
  file->addSeparator();
  add(QStringLiteral("abrirPastaRegistros"), QStringLiteral("Abrir pasta de &registros"), QKeySequence(),
      &Programador::openRecordFolder);
  file->addSeparator();
  add(QStringLiteral("sair"), QStringLiteral("Sai&r"), QKeySequence(QStringLiteral("Ctrl+Q")),
      [this] { runAction(layout::Action::Exit); });
}

void Programador::askAndOpenProfile() {
  if (m_engine->isBusy())
    return;
  const QString path =
      QFileDialog::getOpenFileName(this, QStringLiteral("Abrir perfil"), QFileInfo(m_profilePath).path(),
                                   QStringLiteral("Perfis ZELQON (*.zelqon);;Todos os arquivos (*)"));
  if (!path.isEmpty())
    openProfile(path);
}

void Programador::saveProfile() {
  if (m_profilePath.isEmpty())
    askAndSaveProfile();
  else if (!m_engine->isBusy())
    saveProfileTo(m_profilePath);
}

void Programador::askAndSaveProfile() {
  if (m_engine->isBusy())
    return;
  const QString suggested = m_profilePath.isEmpty() ? QStringLiteral("perfil.zelqon") : m_profilePath;
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Salvar perfil como"), suggested,
                                              QStringLiteral("Perfis ZELQON (*.zelqon)"));
  if (path.isEmpty())
    return;
  if (QFileInfo(path).suffix().isEmpty())
    path += QLatin1Char('.') + kSiteProfileSuffix;
  saveProfileTo(path);
}

void Programador::openRecordFolder() {
  const QString folder = sessionRecordFolder();
  QDir().mkpath(folder);
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
    noteFailure(QStringLiteral("A pasta de registros não pôde ser aberta.\nEla fica em %1.").arg(folder));
}

bool Programador::openProfile(const QString& path) {
  const ProfileReadResult read = readSiteProfile(path);
  if (!read.profile) {
    noteFailure(QStringLiteral("O perfil não foi aberto.\n%1").arg(describeProfileProblem(read.problem)));
    return false;
  }
  for (int radio = 1; radio <= kRadioCount; ++radio)
    showRadio(radio, read.profile->radios.at(std::size_t(radio - 1)));
  m_profilePortShown = m_portList->currentText().trimmed();
  if (read.profile->port)
    takeProfilePort(*read.profile->port);
  m_profilePath = path;
  m_savedProfile = read.profile;
  refreshModified();
  return true;
}

void Programador::takeProfilePort(const PortChoice& port) {
  // The box takes every form a profile holds: a device path opens that device.
  const QString text = port.text();
  m_portList->setEditText(text);
  m_profilePortShown = text;
  takePortFromList();
}

bool Programador::saveProfileTo(const QString& path) {
  const SiteProfile profile = currentProfile();
  if (const ProfileSaveResult saved = saveSiteProfile(path, profile); saved.problem) {
    noteFailure(QStringLiteral("O perfil não foi salvo.\n%1").arg(describeProfileProblem(*saved.problem)));
    return false;
  }
  m_profilePath = path;
  m_savedProfile = profile;
  m_profilePortShown = m_portList->currentText().trimmed();
  refreshModified();
  return true;
}

SiteProfile Programador::currentProfile() const {
  SiteProfile profile = m_savedProfile.value_or(SiteProfile{});
  for (int radio = 1; radio <= kRadioCount; ++radio)
    profile.radios.at(std::size_t(radio - 1)) = readRadio(radio);
  const QString port = m_portList->currentText().trimmed();
  // The port as the file has it while the box still shows what it set there.
  if (m_savedProfile && port == m_profilePortShown) {
    profile.port = m_savedProfile->port;
  } else {
    profile.port = portChoiceIn(port, PortReading::Lenient);
  }
  return profile;
}

void Programador::refreshModified() {
  setWindowModified(m_savedProfile && currentProfile() != *m_savedProfile);
  refreshTitle();
}

void Programador::runAction(layout::Action action) {
  switch (action) {
    case layout::Action::SendAll:
      (void)m_engine->sendAllRadioPrograms();
      break;
    case layout::Action::Factory:
      (void)m_engine->sendFactoryProgramming();
      break;
    case layout::Action::Atualizar:
      (void)m_engine->sendAtualizarCommand();
      break;
    case layout::Action::ClearMonitor:
      m_monitor->clear();
      break;
    case layout::Action::Exit:
      m_engine->closePort();
      emit endRequested();
      break;
    case layout::Action::None:
      break;
  }
}

void Programador::applyFocusOrder() {
  QWidget* previous = nullptr;
  for (const char* name : layout::kFocusOrder) {
    QWidget* widget = m_focusable.value(QString::fromLatin1(name));
    Q_ASSERT(widget);
    if (previous)
      setTabOrder(previous, widget);
    previous = widget;
  }
}

void Programador::connectEngine() {
  connect(m_engine, &ControllerEngine::received, m_monitor, &MonitorView::append);
  connect(m_engine, &ControllerEngine::echoed, m_monitor, &MonitorView::append);
  // Past its bound the monitor names the file of the record, which holds it all.
  m_monitor->setRecordFile([this]() -> std::optional<QString> {
    if (const auto* record = m_engine->findChild<SessionRecord*>())
      return record->currentFile();
    return std::nullopt;
  });
  connect(m_engine, &ControllerEngine::failed, this,
          [this](const OperationFailure& failure) { noteFailure(failure.text); });
  connect(m_engine, &ControllerEngine::connectionLost, this,
          [this](const LinkError&, const QString& text) { noteFailure(text); });
  connect(m_engine, &ControllerEngine::progress, this, &Programador::showProgress);
  connect(m_engine, &ControllerEngine::busyChanged, this, &Programador::onBusyChanged);
  connect(m_engine, &ControllerEngine::portStateChanged, this, &Programador::refreshTitle);
  connect(m_engine, &ControllerEngine::recordFailed, this, &Programador::noteFailure);
  connect(m_engine, &ControllerEngine::portsChanged, this, &Programador::listPorts);
  // Looked for again when the operator opens the list, and whenever a device
  // node comes or goes.
  connect(m_portList, &PortList::aboutToShowPopup, m_engine, &ControllerEngine::refreshPorts);
  m_engine->watchPorts();

  m_progressTimer = new QTimer(this);
  m_progressTimer->setInterval(1000);
  connect(m_progressTimer, &QTimer::timeout, this, &Programador::refreshTitle);
}

RadioProgram Programador::readRadio(int radio) const {
  const auto index = std::size_t(radio - 1);
  RadioProgram program = m_radios.at(index);
  const RadioPage& page = m_pages.at(index);
  // The lists are pick-only: their text is always one of the 101 entries.
  program.debounce = DelayTime::fromListText(page.debounce->currentText()).value_or(program.debounce);
  program.hang = DelayTime::fromListText(page.hang->currentText()).value_or(program.hang);
  return program;
}

void Programador::showRadio(int radio, const RadioProgram& program) {
  const auto index = std::size_t(radio - 1);
  RadioPage& page = m_pages.at(index);
  page.cor->setText(corCaption(program.corLevel));
  for (int key = kFirstRouteKey; key <= kLastRouteKey; ++key)
    page.routes.at(std::size_t(key - kFirstRouteKey))
        ->setText(routeCaption(program.keyedRadios.contains(routedRadio(radio, key))));
  page.debounce->setCurrentText(program.debounce.listText());
  page.hang->setCurrentText(program.hang.listText());
  m_radios.at(index) = program;
  // Only what a route button can say: never the radio itself.
  m_radios.at(index).keyedRadios.set(radio, false);
  refreshModified();
}

void Programador::loadStartValues() {
  // Shows the first port found; with none the list stays empty, no text.
  m_portList->clear();
  listPorts();

  const QStringList delays = delayChoiceList();
  for (std::size_t index = 0; index < m_pages.size(); ++index) {
    for (QComboBox* list : {m_pages[index].debounce, m_pages[index].hang}) {
      list->addItems(delays);
      list->setCurrentText(DelayTime().listText());
    }
    m_radios.at(index) = RadioProgram{};
  }
}

void Programador::listPorts() {
  // Entries are only ever added: a number once shown keeps its place, and
  // what the operator typed stays as typed.
  const PortCatalog& ports = m_engine->ports();
  const QString typed = m_portList->currentText();
  const bool wasEmpty = m_portList->count() == 0;
  int row = 0;
  for (const QString& entry : ports.listEntries()) {
    while (row < m_portList->count() && m_portList->itemText(row).toInt() < entry.toInt())
      ++row;
    if (row == m_portList->count() || m_portList->itemText(row) != entry)
      m_portList->insertItem(row, entry);
    m_portList->setItemData(row, ports.describe(entry.toInt()), Qt::ToolTipRole);
  }
  if (!wasEmpty || !typed.isEmpty())
    m_portList->setEditText(typed);
  else if (m_portList->count() > 0)
    m_portList->setCurrentIndex(0);
}

void Programador::takePortFromList() {
  const QString text = m_portList->currentText();
  (void)m_engine->changePort(portChoiceIn(text, PortReading::Lenient), text);
}

void Programador::toggleCorLevel(int radio) {
  QPushButton* button = m_pages.at(std::size_t(radio - 1)).cor;
  const CorToggle next = nextCorLevel(button->text());
  button->setText(next.caption);
  m_radios.at(std::size_t(radio - 1)).corLevel = next.level;
  refreshModified();
}

void Programador::togglePttRoute(int radio, int routeKey) {
  QPushButton* button = m_pages.at(std::size_t(radio - 1)).routes.at(std::size_t(routeKey - kFirstRouteKey));
  const RouteToggle next = nextPttRoute(button->text());
  button->setText(next.caption);
  m_radios.at(std::size_t(radio - 1)).keyedRadios.set(routedRadio(radio, routeKey), next.keyed);
  refreshModified();
}

bool Programador::eventFilter(QObject* watched, QEvent* event) {
  if (m_engine && m_engine->isBusy() && isOperatorInput(event->type())) {
    // A sequence is running: what the operator does now would act after it,
    // unseen, or change a radio before its message is built.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->window() == this)
      return true;
  }
  if (watched == m_portList && event->type() == QEvent::FocusOut) {
    // Opening the drop-down or switching to another program is no loss of
    // focus within the window.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
      takePortFromList();
  }
  return QWidget::eventFilter(watched, event);
}

void Programador::onBusyChanged(bool busy) {
  if (busy) {
    qApp->installEventFilter(this);
    return;
  }
  qApp->removeEventFilter(this);
  if (m_progress) {
    m_progress.reset();
    m_progressTimer->stop();
    refreshTitle();
    QApplication::restoreOverrideCursor();
  }
  // Shown once the operation has ended, never from inside it.
  if (!m_pendingNotices.isEmpty())
    QTimer::singleShot(0, this, &Programador::showFailureNotice);
  if (m_closeRequested)
    QTimer::singleShot(0, this, &QWidget::close);
}

void Programador::showProgress(const SequenceProgress& progress) {
  if (progress.count <= 1)
    return;
  if (!m_progress) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_progressTimer->start();
  }
  m_progress = progress;
  m_nextCommand = QDeadlineTimer(progress.nextIn);
  refreshTitle();
}

void Programador::refreshTitle() {
  // The title ends with the program's name, so the desktop adds it no second
  // time.
  // "[*]" shows the mark while the pages differ from the open profile.
  QString title = m_profilePath.isEmpty()
                      ? kWindowTitle
                      : QStringLiteral("%1[*] — %2").arg(QFileInfo(m_profilePath).fileName(), kWindowTitle);
  const QString connecting = describeConnecting(m_engine->portState(), m_engine->portName());
  if (!connecting.isEmpty()) {
    title = QStringLiteral("%1 — %2").arg(connecting, title);
  } else if (m_progress) {
    const auto left = std::chrono::milliseconds(m_nextCommand.remainingTime());
    title = QStringLiteral("%1 — %2").arg(describeProgress(*m_progress, left), title);
  }
  setWindowTitle(title);
}

void Programador::noteFailure(const QString& text) {
  m_pendingNotices.append(text);
  if (!m_engine->isBusy())
    QTimer::singleShot(0, this, &Programador::showFailureNotice);
}

void Programador::showFailureNotice() {
  if (m_pendingNotices.isEmpty() || m_engine->isBusy())
    return;
  if (!m_notice) {
    // Not modal: the operator can fix the cause (plug the adapter, pick
    // another port) with the notice still open.
    m_notice = new QMessageBox(QMessageBox::Warning, kWindowTitle, QString(), QMessageBox::Ok, this);
    m_notice->setObjectName(QStringLiteral("avisoFalha"));
    m_notice->setWindowModality(Qt::NonModal);
    m_notice->setTextFormat(Qt::PlainText);
  }
  m_notice->setText(m_pendingNotices.join(QStringLiteral("\n\n")));
  m_pendingNotices.clear();
  m_notice->show();
}

void Programador::closeEvent(QCloseEvent* event) {
  if (m_engine->isBusy()) {
    // A sequence is between commands: finish it, then close.
    m_closeRequested = true;
    event->ignore();
    return;
  }
  m_engine->closePort();
  event->accept();
}

}  // namespace zelqon
