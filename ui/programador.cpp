#include "ui/programador.h"

#include "serial/detecta_com.h"
#include "serial/serial_link.h"
#include "serial/serial_port_service.h"
#include "ui/app_icon.h"
#include "ui/failure_text.h"
#include "ui/monitor_view.h"
#include "ui/page_layout.h"
#include "ui/widgets.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

namespace zelqon {

using layout::Kind;
using layout::PageRole;

namespace {

constexpr int kPollIntervalMs = 1000;

QString accessibleNameOf(int radio, PageRole role) {
  switch (role) {
    case PageRole::CorButton:
      return QStringLiteral("Nível ativo do COR do RÁDIO %1").arg(radio);
    case PageRole::RouteButton1:
    case PageRole::RouteButton2:
    case PageRole::RouteButton3:
      return QStringLiteral("RÁDIO %1 aciona o PTT%2").arg(radio).arg(routedRadio(radio, layout::routeKeyOf(role)));
    case PageRole::DebounceList:
      return QStringLiteral("Debounce Timer do RÁDIO %1, em milissegundos").arg(radio);
    case PageRole::HangList:
      return QStringLiteral("Hang Timer do RÁDIO %1, em milissegundos").arg(radio);
    default:
      return {};
  }
}

}  // namespace

Programador::Programador(PortCatalog catalog, QWidget* parent)
    : Programador([&catalog] { return std::move(catalog); }, parent) {}

Programador::Programador(const std::function<PortCatalog()>& discoverPorts, QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Programador"));
  setWindowTitle(QStringLiteral("ZELQON"));
  setWindowIcon(QIcon(QPixmap::fromImage(drawAppIcon(layout::kIconSize))));
  setFont(designFont(layout::Face::Default));
  resize(layout::pixels(layout::kClientWidth), layout::pixels(layout::kClientHeight));

  buildWindowControls();

  m_catalog = discoverPorts();
  m_link = new SerialLink(std::make_unique<SerialPortService>(m_catalog), *m_monitor, this);
  m_link->setFailureObserver([this](const OperationFailure& failure) { noteFailure(describeFailure(failure)); });
  connect(m_link, &SerialLink::connectionLost, this, [this](const QString& port, const QString& reason) {
    noteFailure(describeConnectionLost(port, reason));
    if (m_runningOperations == 0)
      QTimer::singleShot(0, this, &Programador::showFailureNotice);
  });

  m_pause = [this](std::chrono::milliseconds duration) { m_link->pauseKeepingDisplay(duration); };
  m_commands = std::make_unique<ProgrammingCommands>(
      *m_link, *m_monitor, [this](int radio) { return readRadio(radio); },
      [this](std::chrono::milliseconds duration) { m_pause(duration); });
  m_commands->setFailureObserver([this](const OperationFailure& failure) { noteFailure(describeFailure(failure)); });

  m_pollTimer = new QTimer(this);
  m_pollTimer->setObjectName(QStringLiteral("Timer1"));
  m_pollTimer->setInterval(kPollIntervalMs);
  connect(m_pollTimer, &QTimer::timeout, this, &Programador::Timer1_Timer);
  m_pollTimer->start();

  Form_Load();
  m_tabs->setFocus(Qt::OtherFocusReason);
}

Programador::~Programador() = default;

void Programador::setCommandPause(ProgrammingCommands::Pause pause) { m_pause = std::move(pause); }

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
    case Kind::PortList:
    case Kind::DelayList: {
      auto* list = new QComboBox(parent);
      list->setEditable(kind == Kind::PortList);
      if (kind == Kind::PortList) {
        // Typed text stays as typed: no completion, no new entries.
        list->setCompleter(nullptr);
        list->setInsertPolicy(QComboBox::NoInsert);
      }
      widget = list;
      break;
    }
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
    widget->setFont(designFont(face));
  widget->setGeometry(geometry);
  return widget;
}

void Programador::buildWindowControls() {
  for (const layout::WindowControl& control : layout::kWindowControls) {
    QWidget* widget = createControl(control.kind, QString::fromLatin1(control.name), QString::fromUtf8(control.caption),
                                    control.rect.toPixels(), control.face, this);
    widget->setEnabled(control.enabled);
  }
  auto* title = findChild<QLabel*>(QStringLiteral("Label1"));
  QPalette highlighted = title->palette();
  highlighted.setColor(QPalette::WindowText, highlighted.color(QPalette::Highlight));
  title->setPalette(highlighted);

  m_monitor = findChild<MonitorView*>(QStringLiteral("Tela_Recebto"));
  m_monitor->setAccessibleName(QStringLiteral("Monitor de envio e recebimento de dados"));
  m_portList = findChild<QComboBox*>(QStringLiteral("cboComm"));
  m_portList->setAccessibleName(QStringLiteral("Porta COM"));
  m_portList->installEventFilter(this);
  m_tabs = findChild<TabControl*>(QStringLiteral("SSTab1"));
  for (int radio = 1; radio <= kRadioCount; ++radio)
    buildRadioPage(radio, m_tabs->page(radio - 1));

  connect(button(QStringLiteral("EnviaProgPadrao")), &QPushButton::clicked, this, &Programador::EnviaProgPadrao_Click);
  connect(button(QStringLiteral("ProgDefa4canais")), &QPushButton::clicked, this, &Programador::ProgDefa4canais_Click);
  connect(button(QStringLiteral("Command1")), &QPushButton::clicked, this, &Programador::Command1_Click);
  connect(button(QStringLiteral("Command2")), &QPushButton::clicked, this, &Programador::Command2_Click);
  connect(button(QStringLiteral("Botao_Sair")), &QPushButton::clicked, this, &Programador::Botao_Sair_Click);
  applyFocusOrder();
}

void Programador::buildRadioPage(int radio, QWidget* page) {
  // Lines first, so that the controls are drawn over them.
  const layout::PageNames& names = layout::kPageNames.at(std::size_t(radio - 1));
  for (std::size_t i = 0; i < layout::kPageLines.size(); ++i)
    (new LineShape(layout::kPageLines[i], page))->setObjectName(QString::fromLatin1(names.lines[i]));

  for (const layout::PageControl& control : layout::kPageControls) {
    QWidget* widget =
        createControl(control.kind, layout::pageControlName(radio, control.role),
                      layout::pageCaption(radio, control.role), control.rect.toPixels(), layout::Face::Default, page);
    if (const QString accessible = accessibleNameOf(radio, control.role); !accessible.isEmpty())
      widget->setAccessibleName(accessible);
    auto* pushButton = qobject_cast<QPushButton*>(widget);
    if (!pushButton)
      continue;
    if (control.role == PageRole::CorButton) {
      connect(pushButton, &QPushButton::clicked, this, [this, radio] { toggleCorLevel(radio); });
    } else if (const int key = layout::routeKeyOf(control.role); key != 0) {
      connect(pushButton, &QPushButton::clicked, this, [this, radio, key] { togglePttRoute(radio, key); });
    } else {
      connect(pushButton, &QPushButton::clicked, this, [this, radio] { EnviaR_Click(radio); });
    }
  }
}

void Programador::applyFocusOrder() {
  QWidget* previous = nullptr;
  for (const char* name : layout::kFocusOrder) {
    auto* widget = findChild<QWidget*>(QString::fromLatin1(name));
    Q_ASSERT(widget);
    if (previous)
      setTabOrder(previous, widget);
    previous = widget;
  }
}

QComboBox* Programador::delayList(int radio, bool hang) const {
  return findChild<QComboBox*>(layout::pageControlName(radio, hang ? PageRole::HangList : PageRole::DebounceList));
}

QPushButton* Programador::button(const QString& name) const { return findChild<QPushButton*>(name); }

RadioProgram Programador::readRadio(int radio) const {
  RadioProgram program = radioFlags(radio);
  program.Cor_Delay_DT = delayList(radio, false)->currentText();
  program.Cor_Delay_HT = delayList(radio, true)->currentText();
  return program;
}

void Programador::Form_Load() {
  m_portList->clear();
  for (const QString& entry : DetectaCOM::listedPorts(m_catalog)) {
    const int number = entry.toInt();
    const auto device = m_catalog.device(number);
    m_portList->addItem(entry);
    QString tip = QStringLiteral("COM%1: %2").arg(entry, device->systemLocation);
    if (!device->description.isEmpty())
      tip += QStringLiteral(" (%1)").arg(device->description);
    m_portList->setItemData(m_portList->count() - 1, tip, Qt::ToolTipRole);
  }
  // With no port at all the list stays empty and shows no text.
  if (m_portList->count() > 0)
    m_portList->setCurrentIndex(0);

  const QStringList delays = delayChoiceList();
  for (int radio = 1; radio <= kRadioCount; ++radio) {
    for (const bool hang : {false, true}) {
      QComboBox* const list = delayList(radio, hang);
      list->addItems(delays);
      list->setCurrentText(kDefaultDelay);
    }
    m_radios.at(std::size_t(radio - 1)) = RadioProgram{};
  }
}

bool Programador::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_portList && event->type() == QEvent::FocusOut) {
    // Opening the drop-down or switching to another program is no loss of
    // focus within the window.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
      cboComm_LostFocus();
  }
  return QWidget::eventFilter(watched, event);
}

void Programador::cboComm_LostFocus() {
  runOperatorOperation([this] { m_link->changePort(m_portList->currentText()); });
}

void Programador::Timer1_Timer() { m_link->pollReceive(); }

void Programador::toggleCorLevel(int radio) {
  QPushButton* corButton = button(layout::pageControlName(radio, PageRole::CorButton));
  const FlagDisplay next = nextCorLevel(corButton->text());
  corButton->setText(next.caption);
  m_radios.at(std::size_t(radio - 1)).Cor = next.flag;
}

void Programador::togglePttRoute(int radio, int routeKey) {
  QPushButton* routeButton = button(QStringLiteral("R%1_Cor_PTT%2").arg(radio).arg(routeKey));
  const FlagDisplay next = nextPttRoute(routeButton->text());
  routeButton->setText(next.caption);
  m_radios.at(std::size_t(radio - 1)).routeFlag(routeKey) = next.flag;
}

void Programador::EnviaR_Click(int radio) {
  runOperatorOperation([this, radio] { m_commands->sendRadioProgram(radio); });
}

void Programador::EnviaProgPadrao_Click() {
  runOperatorOperation([this] { m_commands->sendAllRadioPrograms(); });
}

void Programador::ProgDefa4canais_Click() {
  runOperatorOperation([this] { m_commands->sendFactoryProgramming(); });
}

void Programador::Command1_Click() {
  runOperatorOperation([this] { m_commands->sendAtualizarCommand(); });
}

void Programador::Command2_Click() { m_link->clearMonitor(); }

void Programador::Botao_Sair_Click() {
  m_link->closePort();
  emit endRequested();
}

template <typename Steps>
void Programador::runOperatorOperation(Steps&& steps) {
  ++m_runningOperations;
  steps();
  --m_runningOperations;
  if (m_runningOperations > 0)
    return;
  if (!m_pendingNotices.isEmpty())
    QTimer::singleShot(0, this, &Programador::showFailureNotice);
  if (m_closeRequested)
    QTimer::singleShot(0, this, &QWidget::close);
}

void Programador::noteFailure(const QString& text) { m_pendingNotices.append(text); }

void Programador::showFailureNotice() {
  if (m_pendingNotices.isEmpty() || m_runningOperations > 0)
    return;
  if (!m_notice) {
    // Not modal: the operator can fix the cause (plug the adapter, pick
    // another port) with the notice still open.
    m_notice = new QMessageBox(QMessageBox::Warning, QStringLiteral("ZELQON"), QString(), QMessageBox::Ok, this);
    m_notice->setObjectName(QStringLiteral("avisoFalha"));
    m_notice->setWindowModality(Qt::NonModal);
    m_notice->setTextFormat(Qt::PlainText);
  }
  m_notice->setText(m_pendingNotices.join(QStringLiteral("\n\n")));
  m_pendingNotices.clear();
  m_notice->show();
}

void Programador::closeEvent(QCloseEvent* event) {
  if (m_runningOperations > 0) {
    // A sequence is pausing between commands: finish it, then close.
    m_closeRequested = true;
    event->ignore();
    return;
  }
  m_pollTimer->stop();
  m_link->closePort();
  event->accept();
}

}  // namespace zelqon
