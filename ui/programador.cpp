#include "ui/programador.h"

#include "engine/operator_text.h"
#include "engine/record_text.h"
#include "engine/tls_text.h"
#include "record/session_record.h"
#include "serial/network_support.h"
#include "ui/app_icon.h"
#include "ui/monitor_view.h"
#include "ui/notice_queue.h"
#include "ui/profile_document.h"
#include "ui/radio_pages.h"
#include "ui/widgets.h"
#include "ui/window_builder.h"
#include "ui/window_title.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace zelqon {

namespace {

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

// The profile's questions as the desktop's own message boxes.
class ProfileDialogs final : public ProfileQuestions {
 public:
  explicit ProfileDialogs(QWidget* window) : m_window(window) {}

  UnsavedChanges askAboutUnsavedChanges(const QString& fileName) override {
    QMessageBox question(QMessageBox::Question, kProgramName,
                         QStringLiteral("Salvar as alterações em %1?").arg(fileName),
                         QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, m_window);
    question.setObjectName(QStringLiteral("perguntaSalvar"));
    question.setDefaultButton(QMessageBox::Save);
    switch (question.exec()) {
      case QMessageBox::Save:
        return UnsavedChanges::Save;
      case QMessageBox::Discard:
        return UnsavedChanges::Discard;
      default:
        return UnsavedChanges::Cancel;
    }
  }

  ChangedFile askAboutChangedFile(const QString& fileName) override {
    QMessageBox question(QMessageBox::Warning, kProgramName,
                         QStringLiteral("O arquivo %1 foi alterado fora do programa depois de aberto ou salvo aqui.\n"
                                        "Sobrescrever com o que a janela mostra?")
                             .arg(fileName),
                         QMessageBox::Yes | QMessageBox::Cancel, m_window);
    question.setObjectName(QStringLiteral("perguntaSobrescrever"));
    question.button(QMessageBox::Yes)->setText(QStringLiteral("Sobrescrever"));
    question.setDefaultButton(QMessageBox::Cancel);
    return question.exec() == QMessageBox::Yes ? ChangedFile::Overwrite : ChangedFile::Cancel;
  }

 private:
  QWidget* m_window;
};

}  // namespace

Programador::Programador(PortCatalog catalog, QWidget* parent)
    : Programador([&catalog] { return std::move(catalog); }, parent) {}

Programador::Programador(const std::function<PortCatalog()>& discoverPorts, QWidget* parent)
    : QWidget(parent), m_questions(std::make_unique<ProfileDialogs>(this)) {
  setObjectName(QStringLiteral("Programador"));
  setWindowTitle(kProgramName);
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
  auto* layoutArea = new QWidget(this);
  layoutArea->setObjectName(QStringLiteral("areaFixa"));
  rows->addWidget(layoutArea, 1);
  buildMenu();
  resize(layout::pixels(layout::kClientWidth),
         layout::pixels(layout::kClientHeight) + rows->menuBar()->sizeHint().height());

  const WindowControls controls = buildWindowControls(layoutArea);
  m_monitor = controls.monitor;
  m_portList = controls.portList;
  m_portList->installEventFilter(this);

  m_engine = new ControllerEngine(discoverPorts(), this);
  m_radios = new RadioPages(this);
  m_profile = new ProfileDocument(*m_radios, *m_questions, this);
  m_title = new WindowTitle(this);
  connect(m_title, &WindowTitle::changed, this, &QWidget::setWindowTitle);
  connect(m_profile, &ProfileDocument::changed, this, &Programador::showProfileState);
  connect(m_profile, &ProfileDocument::failed, this, &Programador::noteFailure);
  connect(m_profile, &ProfileDocument::portNamed, this, [this](const PortChoice& port) {
    m_portList->setEditText(port.text());
    takePortFromList();
  });
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    m_radios->bind(radio, controls.pages.at(std::size_t(radio - 1)));
    connect(controls.sendButtons.at(std::size_t(radio - 1)), &QPushButton::clicked, this, [this, radio] {
      request([this, radio] { return m_engine->sendRadioProgram(radio, m_radios->program(radio)); });
    });
  }
  for (const auto& [button, action] : controls.actions)
    connect(button, &QPushButton::clicked, this, [this, action = action] { runAction(action); });
  connectEngine();

  // Shows the first port found; with none the list stays empty, no text.
  listPorts();
  m_profile->setPortText(m_portList->currentText());
  connect(m_portList, &QComboBox::editTextChanged, m_profile, &ProfileDocument::setPortText);
  m_engine->startPolling();
  controls.tabs->setFocus(Qt::OtherFocusReason);
}

Programador::~Programador() = default;

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

bool Programador::openProfile(const QString& path) { return m_profile->open(path); }

bool Programador::saveProfileTo(const QString& path) { return m_profile->saveAs(path); }

void Programador::askAndOpenProfile() {
  if (m_engine->isBusy())
    return;
  const QString path =
      QFileDialog::getOpenFileName(this, QStringLiteral("Abrir perfil"), QFileInfo(m_profile->path()).path(),
                                   QStringLiteral("Perfis ZELQON (*.zelqon);;Todos os arquivos (*)"));
  if (!path.isEmpty())
    (void)m_profile->open(path);
}

void Programador::saveProfile() {
  if (!m_profile->isOpen())
    askAndSaveProfile();
  else if (!m_engine->isBusy())
    (void)m_profile->save();
}

void Programador::askAndSaveProfile() {
  if (m_engine->isBusy())
    return;
  const QString suggested = m_profile->isOpen() ? m_profile->path() : QStringLiteral("perfil.zelqon");
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Salvar perfil como"), suggested,
                                              QStringLiteral("Perfis ZELQON (*.zelqon)"));
  if (path.isEmpty())
    return;
  if (QFileInfo(path).suffix().isEmpty())
    path += QLatin1Char('.') + kSiteProfileSuffix;
  (void)m_profile->saveAs(path);
}

void Programador::reloadProfile() {
  if (!m_engine->isBusy())
    (void)m_profile->reload();
}

void Programador::fillRecentMenu() {
  m_recentMenu->clear();
  const QStringList paths = m_profile->recentPaths();
  for (qsizetype i = 0; i < paths.size(); ++i) {
    QAction* entry =
        m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(paths.at(i)), this, [this, path = paths.at(i)] {
          if (!m_engine->isBusy())
            (void)m_profile->openRecent(path);
        });
    entry->setData(paths.at(i));
  }
  if (paths.isEmpty())
    m_recentMenu->addAction(QStringLiteral("(nenhum)"))->setEnabled(false);
}

void Programador::openRecordFolder() {
  const QString folder = sessionRecordFolder();
  QDir().mkpath(folder);
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
    noteFailure(QStringLiteral("A pasta de registros não pôde ser aberta.\nEla fica em %1.").arg(folder));
}

void Programador::showProfileState() {
  setWindowModified(m_profile->isModified());
  m_reloadAction->setEnabled(m_profile->isOpen());
  m_title->setProfileName(m_profile->isOpen() ? m_profile->fileName() : QString());
}

void Programador::runAction(layout::Action action) {
  switch (action) {
    case layout::Action::SendAll:
      request([this] { return m_engine->sendAllRadioPrograms(m_radios->programs()); });
      break;
    case layout::Action::Factory:
      request([this] { return m_engine->sendFactoryProgramming(); });
      break;
    case layout::Action::Atualizar:
      request([this] { return m_engine->sendAtualizarCommand(); });
      break;
    case layout::Action::ClearMonitor:
      m_monitor->clear();
      break;
    case layout::Action::Exit:
      if (!m_profile->mayLeave())
        break;
      m_engine->closePort();
      emit endRequested();
      break;
    case layout::Action::None:
      break;
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
  connect(m_engine, &ControllerEngine::failed, this, [this](const OperationFailure& failure) {
    // A server met for the first time is asked about once the sequence has
    // ended, not told as a failure.
    const auto& refused = failure.error.serverRefused();
    if (refused && refused->cause == TrustRefusal::NotTrusted && refused->file.isEmpty() &&
        !refused->presented.pem.isEmpty())
      m_firstContact = *refused;
    else
      noteFailure(describeFailure(failure));
  });
  connect(m_engine, &ControllerEngine::connectionLost, this,
          [this](const LinkError& error) { noteFailure(describeConnectionLost(error, m_engine->afterLoss())); });
  connect(m_engine, &ControllerEngine::progress, this, [this](const SequenceProgress& progress) {
    if (progress.count > 1 && !m_title->showsProgress())
      QApplication::setOverrideCursor(Qt::BusyCursor);
    m_title->showProgress(progress);
  });
  connect(m_engine, &ControllerEngine::busyChanged, this, &Programador::onBusyChanged);
  connect(m_engine, &ControllerEngine::portStateChanged, this,
          [this](PortState state) { m_title->setPort(state, m_engine->portName()); });
  connect(m_engine, &ControllerEngine::recordFailed, this,
          [this](const RecordFailure& failure) { noteFailure(describeRecordFailure(failure)); });
  connect(m_engine, &ControllerEngine::portsChanged, this, &Programador::listPorts);
  // Looked for again when the operator opens the list, and whenever a device
  // node comes or goes.
  connect(m_portList, &PortList::aboutToShowPopup, m_engine, &ControllerEngine::refreshPorts);
  m_engine->watchPorts();
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
  const std::optional<PortChoice> choice = portChoiceIn(text, PortReading::Lenient);
  if (const NetworkAddress* address = choice ? choice->network() : nullptr;
      address && address->security == NetworkSecurity::Tls)
    m_engine->setTlsCredentials(tlsCredentials());
  (void)m_engine->changePort(choice, text);
}

SharedTlsCredentials Programador::tlsCredentials() {
  TlsFiles named;
  if (m_profile->isOpen())
    named = profileTlsFiles(m_profile->current(), m_profile->path());
  // Without the network module the port's own failure tells why.
  const auto module = networkModule();
  if (!std::holds_alternative<const NetworkModule*>(module))
    return {};
  auto credentials =
      std::get<const NetworkModule*>(module)->readTlsCredentials(chooseTlsFiles({}, named, userClientPair()));
  if (const auto* refusal = std::get_if<TlsFilesRefusal>(&credentials)) {
    noteFailure(describeTlsFilesRefusal(*refusal));
    return {};
  }
  return std::get<SharedTlsCredentials>(std::move(credentials));
}

void Programador::request(const std::function<OperationStart()>& operation) {
  m_lastRequest = operation;
  (void)operation();
}

void Programador::askAboutFirstContact() {
  const ServerRefused refused = *std::exchange(m_firstContact, std::nullopt);
  QMessageBox question(QMessageBox::Question, kProgramName, describeFirstContact(refused, m_engine->portName()),
                       QMessageBox::Cancel, this);
  question.setObjectName(QStringLiteral("perguntaConfiar"));
  question.setTextFormat(Qt::PlainText);
  QPushButton* trust = question.addButton(QStringLiteral("Confiar neste servidor"), QMessageBox::AcceptRole);
  question.setDefaultButton(QMessageBox::Cancel);
  question.exec();
  if (question.clickedButton() != trust)
    return;
  // Asked only of a server the network module met: it is loaded.
  const NetworkModule& module = *std::get<const NetworkModule*>(networkModule());
  const auto kept =
      module.keepServerCertificate(trustedServersFolder(), refused.host, refused.port, refused.presented.pem);
  if (const auto* failure = std::get_if<KeepFailure>(&kept)) {
    noteFailure(describeKeepFailure(*failure));
    return;
  }
  // Kept: what the operator asked for goes on, as if asked again.
  if (m_lastRequest)
    m_lastRequest();
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
  if (m_title->showsProgress()) {
    m_title->endProgress();
    QApplication::restoreOverrideCursor();
  }
  if (m_closeRequested)
    QTimer::singleShot(0, this, &QWidget::close);
  else if (m_firstContact)
    QTimer::singleShot(0, this, &Programador::askAboutFirstContact);
}

void Programador::noteFailure(const QString& text) { m_notices->add(text); }

void Programador::showFailureNotice(const QString& text) {
  if (!m_notice) {
    // Not modal: the operator can fix the cause (plug the adapter, pick
    // another port) with the notice still open.
    m_notice = new QMessageBox(QMessageBox::Warning, kProgramName, QString(), QMessageBox::Ok, this);
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
  if (!m_profile->mayLeave()) {
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
  QTimer::singleShot(0, this, [this, path] { (void)m_profile->open(path); });
}

}  // namespace zelqon
