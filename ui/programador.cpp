#include "ui/programador.h"

#include "engine/operator_text.h"
#include "engine/profile_text.h"
#include "protocol/port_choice.h"
#include "record/session_record.h"
#include "ui/app_icon.h"
#include "ui/monitor_view.h"
#include "ui/notice_queue.h"
#include "ui/radio_captions.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
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

// The first local .zelqon file among those dragged; empty when none.
QString droppedProfile(const QMimeData* data) {
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).suffix() == kSiteProfileSuffix)
      return url.toLocalFile();
  }
  return {};
}

}  // namespace

Programador::Programador(PortCatalog catalog, QWidget* parent)
    : Programador([&catalog] { return std::move(catalog); }, parent) {}

Programador::Programador(const std::function<PortCatalog()>& discoverPorts, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Programador"));
  setWindowTitle(kWindowTitle);
  setWindowIcon(QIcon(QPixmap::fromImage(drawAppIcon(layout::kIconSize))));
  setFont(layoutFont(layout::Face::Default));
  setAcceptDrops(true);
  m_notices = new NoticeQueue(this);
  connect(m_notices, &NoticeQueue::ready, this, &Programador::showFailureNotice);

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
  connectEngine();

  loadStartValues();
  // Whatever changes a page or the port may make it differ from the profile.
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    const RadioPage& page = m_pages.at(std::size_t(radio - 1));
    for (const auto& list :
         {std::pair{page.debounce, &RadioProgram::debounce}, std::pair{page.hang, &RadioProgram::hang}}) {
      connect(list.first, &QComboBox::currentIndexChanged, this,
              [this, radio, list] { takeDelayList(radio, *list.first, list.second); });
    }
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
        connect(button, &QPushButton::clicked, this,
                [this, radio] { (void)m_engine->sendRadioProgram(radio, readRadio(radio)); });
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
  m_reloadAction = add(QStringLiteral("recarregarPerfil"), QStringLiteral("Re&carregar perfil"),
                       QKeySequence(QStringLiteral("F5")), &Programador::reloadProfile);
  m_reloadAction->setEnabled(false);
  m_recentMenu = file->addMenu(QStringLiteral("Abrir &recente"));
  m_recentMenu->setObjectName(QStringLiteral("menuRecentes"));
  connect(m_recentMenu, &QMenu::aboutToShow, this, &Programador::fillRecentMenu);
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
      QFileDialog::getOpenFileName(this, QStringLiteral("Abrir perfil"), QFileInfo(m_profile.path()).path(),
                                   QStringLiteral("Perfis ZELQON (*.zelqon);;Todos os arquivos (*)"));
  if (!path.isEmpty())
    openProfile(path);
}

void Programador::saveProfile() {
  if (!m_profile.isOpen())
    askAndSaveProfile();
  else if (!m_engine->isBusy())
    (void)saveOpenProfile();
}

bool Programador::saveOpenProfile() {
  if (m_profile.changedOnDisk()) {
    QMessageBox question(QMessageBox::Warning, kWindowTitle,
                         QStringLiteral("O arquivo %1 foi alterado fora do programa depois de aberto ou salvo aqui.\n"
                                        "Sobrescrever com o que a janela mostra?")
                             .arg(m_profile.fileName()),
                         QMessageBox::Yes | QMessageBox::Cancel, this);
    question.setObjectName(QStringLiteral("perguntaSobrescrever"));
    question.button(QMessageBox::Yes)->setText(QStringLiteral("Sobrescrever"));
    question.setDefaultButton(QMessageBox::Cancel);
    if (question.exec() != QMessageBox::Yes)
      return false;
  }
  return saveProfileTo(m_profile.path());
}

void Programador::reloadProfile() {
  if (m_profile.isOpen() && !m_engine->isBusy())
    openProfile(m_profile.path());
}

void Programador::fillRecentMenu() {
  m_recentMenu->clear();
  const QStringList paths = m_recent.paths();
  for (qsizetype i = 0; i < paths.size(); ++i) {
    QAction* entry = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(paths.at(i)), this,
                                             [this, path = paths.at(i)] { openRecentProfile(path); });
    entry->setData(paths.at(i));
  }
  if (paths.isEmpty())
    m_recentMenu->addAction(QStringLiteral("(nenhum)"))->setEnabled(false);
}

void Programador::openRecentProfile(const QString& path) {
  if (m_engine->isBusy())
    return;
  if (!QFileInfo::exists(path)) {
    m_recent.remove(path);
    noteFailure(QStringLiteral("O perfil %1 não existe mais e saiu da lista de recentes.").arg(path));
    return;
  }
  openProfile(path);
}

bool Programador::mayLeaveChanges() {
  if (!isWindowModified())
    return true;
  QMessageBox question(QMessageBox::Question, kWindowTitle,
                       QStringLiteral("Salvar as alterações em %1?").arg(m_profile.fileName()),
                       QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
  question.setObjectName(QStringLiteral("perguntaSalvar"));
  question.setDefaultButton(QMessageBox::Save);
  switch (question.exec()) {
    case QMessageBox::Save:
      return saveOpenProfile();
    case QMessageBox::Discard:
      return true;
    default:
      return false;
  }
}

void Programador::askAndSaveProfile() {
  if (m_engine->isBusy())
    return;
  const QString suggested = m_profile.isOpen() ? m_profile.path() : QStringLiteral("perfil.zelqon");
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
  // Asked before reading, so that what is shown is the file as it is after
  // any save the answer made.
  if (!mayLeaveChanges())
    return false;
  const ProfileReadResult read = m_profile.read(path);
  if (!read.profile) {
    noteFailure(QStringLiteral("O perfil não foi aberto.\n%1").arg(describeProfileProblem(read.problem)));
    return false;
  }
  for (int radio = 1; radio <= kRadioCount; ++radio)
    showRadio(radio, read.profile->radios.at(std::size_t(radio - 1)));
  m_profilePortShown = m_portList->currentText().trimmed();
  if (read.profile->port)
    takeProfilePort(*read.profile->port);
  m_profile.adopt(path, *read.profile);
  m_recent.add(path);
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
  if (const auto failure = m_profile.save(path, profile)) {
    noteFailure(QStringLiteral("O perfil não foi salvo.\n%1").arg(describeProfileProblem(*failure)));
    return false;
  }
  m_recent.add(path);
  m_profilePortShown = m_portList->currentText().trimmed();
  refreshModified();
  return true;
}

SiteProfile Programador::currentProfile() const {
  const std::optional<SiteProfile>& saved = m_profile.saved();
  SiteProfile profile = saved.value_or(SiteProfile{});
  profile.radios = m_radios;
  const QString port = m_portList->currentText().trimmed();
  // The port as the file has it while the box still shows what it set there.
  profile.port = saved && port == m_profilePortShown ? saved->port : portChoiceIn(port, PortReading::Lenient);
  return profile;
}

void Programador::refreshModified() {
  setWindowModified(m_profile.differsFrom(currentProfile()));
  if (m_reloadAction)
    m_reloadAction->setEnabled(m_profile.isOpen());
  refreshTitle();
}

void Programador::runAction(layout::Action action) {
  switch (action) {
    case layout::Action::SendAll:
      (void)m_engine->sendAllRadioPrograms(m_radios);
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
      if (!mayLeaveChanges())
        break;
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

RadioProgram Programador::readRadio(int radio) const { return m_radios.at(std::size_t(radio - 1)); }

void Programador::showRadio(int radio, const RadioProgram& program) {
  RadioProgram& shown = m_radios.at(std::size_t(radio - 1));
  shown = program;
  // Only what a route button can say: never the radio itself.
  shown.keyedRadios.set(radio, false);
  showRadioPage(radio);
  refreshModified();
}

void Programador::showRadioPage(int radio) {
  const RadioProgram& program = m_radios.at(std::size_t(radio - 1));
  RadioPage& page = m_pages.at(std::size_t(radio - 1));
  page.cor->setText(corCaption(program.corLevel));
  for (int key = kFirstRouteKey; key <= kLastRouteKey; ++key)
    page.routes.at(std::size_t(key - kFirstRouteKey))
        ->setText(routeCaption(program.keyedRadios.contains(routedRadio(radio, key))));
  page.debounce->setCurrentText(program.debounce.listText());
  page.hang->setCurrentText(program.hang.listText());
}

void Programador::takeDelayList(int radio, const QComboBox& list, DelayTime RadioProgram::*field) {
  DelayTime& value = m_radios.at(std::size_t(radio - 1)).*field;
  // The lists are pick-only: their text is always one of the 101 entries.
  value = DelayTime::fromListText(list.currentText()).value_or(value);
  refreshModified();
}

void Programador::loadStartValues() {
  // Shows the first port found; with none the list stays empty, no text.
  m_portList->clear();
  listPorts();

  const QStringList delays = delayChoiceList();
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    for (QComboBox* list : {m_pages.at(std::size_t(radio - 1)).debounce, m_pages.at(std::size_t(radio - 1)).hang})
      list->addItems(delays);
    showRadio(radio, RadioProgram{});
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
  RadioProgram program = readRadio(radio);
  program.corLevel = program.corLevel == CorLevel::ActiveLow ? CorLevel::ActiveHigh : CorLevel::ActiveLow;
  showRadio(radio, program);
}

void Programador::togglePttRoute(int radio, int routeKey) {
  RadioProgram program = readRadio(radio);
  const int routed = routedRadio(radio, routeKey);
  program.keyedRadios.set(routed, !program.keyedRadios.contains(routed));
  showRadio(radio, program);
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
  m_notices->setHold(busy ? NoticeQueue::Hold::Yes : NoticeQueue::Hold::No);
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
  QString title =
      m_profile.isOpen() ? QStringLiteral("%1[*] — %2").arg(m_profile.fileName(), kWindowTitle) : kWindowTitle;
  const QString connecting = describeConnecting(m_engine->portState(), m_engine->portName());
  if (!connecting.isEmpty()) {
    title = QStringLiteral("%1 — %2").arg(connecting, title);
  } else if (m_progress) {
    const auto left = std::chrono::milliseconds(m_nextCommand.remainingTime());
    title = QStringLiteral("%1 — %2").arg(describeProgress(*m_progress, left), title);
  }
  setWindowTitle(title);
}

void Programador::noteFailure(const QString& text) { m_notices->add(text); }

void Programador::showFailureNotice(const QString& text) {
  if (!m_notice) {
    // Not modal: the operator can fix the cause (plug the adapter, pick
    // another port) with the notice still open.
    m_notice = new QMessageBox(QMessageBox::Warning, kWindowTitle, QString(), QMessageBox::Ok, this);
    m_notice->setObjectName(QStringLiteral("avisoFalha"));
    m_notice->setWindowModality(Qt::NonModal);
    m_notice->setTextFormat(Qt::PlainText);
  }
  m_notice->setText(text);
  m_notice->show();
}

void Programador::closeEvent(QCloseEvent* event) {
  if (m_engine->isBusy()) {
    // A sequence is between commands: finish it, then close.
    m_closeRequested = true;
    event->ignore();
    return;
  }
  m_closeRequested = false;
  if (!mayLeaveChanges()) {
    event->ignore();
    return;
  }
  m_engine->closePort();
  event->accept();
}

void Programador::dragEnterEvent(QDragEnterEvent* event) {
  if (!m_engine->isBusy() && !droppedProfile(event->mimeData()).isEmpty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void Programador::dropEvent(QDropEvent* event) {
  const QString path = droppedProfile(event->mimeData());
  if (path.isEmpty() || m_engine->isBusy())
    return;
  event->acceptProposedAction();
  // Opened once the drop has ended: the question it may ask is modal.
  QTimer::singleShot(0, this, [this, path] { openProfile(path); });
}

}  // namespace zelqon
