#include "ui/window_builder.h"

#include "ui/app_icon.h"
#include "ui/monitor_view.h"
#include "ui/widgets.h"

#include <QHash>
#include <QLabel>
#include <QLineEdit>

namespace zelqon {

using layout::Kind;
using layout::PageRole;

namespace {

// A page row's text for radio n: %1 is the radio, %2 the radio its route keys.
QString pageText(const char* pattern, int radio, int routeKey) {
  QString text = QString::fromUtf8(pattern);
  text.replace(QLatin1String("%1"), QString::number(radio));
  if (routeKey != 0)
    text.replace(QLatin1String("%2"), QString::number(routedRadio(radio, routeKey)));
  return text;
}

QWidget* createControl(Kind kind, const QString& caption, QRect geometry, QWidget* parent) {
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
      return picture;
    }
    case Kind::Label:
    case Kind::OpaqueLabel: {
      auto* label = new QLabel(caption, parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setAutoFillBackground(kind == Kind::OpaqueLabel);
      return label;
    }
    case Kind::PortList: {
      auto* list = new PortList(parent);
      list->setEditable(true);
      // Typed text stays as typed: no completion, no new entries.
      list->setCompleter(nullptr);
      list->setInsertPolicy(QComboBox::NoInsert);
      return list;
    }
    case Kind::DelayList:
      return new DelayList(parent);
    case Kind::TabControl:
      return new TabControl(
          {QStringLiteral("RÁDIO 1"), QStringLiteral("RÁDIO 2"), QStringLiteral("RÁDIO 3"), QStringLiteral("RÁDIO 4")},
          geometry.size(), layout::pixels(layout::kTabStripHeight), parent);
    case Kind::Button:
      return new CaptionButton(caption, parent);
    case Kind::CaptionBox: {
      auto* box = new QLineEdit(caption, parent);
      box->setAlignment(Qt::AlignCenter);
      box->setFrame(false);
      box->setStyleSheet(
          QStringLiteral("QLineEdit { border: 1px solid palette(window-text); "
                         "background: palette(base); padding: 0px; }"));
      return box;
    }
    case Kind::Monitor:
      return new MonitorView(parent);
  }
  return nullptr;
}

class WindowBuilder {
 public:
  explicit WindowBuilder(QWidget* area) : m_area(area) {}

  WindowControls build() {
    buildFixedArea();
    for (int radio = 1; radio <= kRadioCount; ++radio)
      buildRadioPage(radio, m_controls.tabs->page(radio - 1));
    applyFocusOrder();
    return m_controls;
  }

 private:
  QWidget* place(Kind kind, const QString& name, const QString& caption, QRect geometry, layout::Face face,
                 QWidget* parent) {
    QWidget* widget = createControl(kind, caption, geometry, parent);
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

  void buildFixedArea() {
    for (const layout::WindowControl& control : layout::kWindowControls) {
      QWidget* widget = place(control.kind, QString::fromLatin1(control.name), QString::fromUtf8(control.caption),
                              control.rect.toPixels(), control.face, m_area);
      widget->setEnabled(control.enabled);
      switch (control.kind) {
        case Kind::Monitor:
          m_controls.monitor = static_cast<MonitorView*>(widget);
          m_controls.monitor->setAccessibleName(QStringLiteral("Monitor de envio e recebimento de dados"));
          break;
        case Kind::PortList:
          m_controls.portList = static_cast<PortList*>(widget);
          m_controls.portList->setAccessibleName(QStringLiteral("Porta COM"));
          break;
        case Kind::TabControl:
          m_controls.tabs = static_cast<TabControl*>(widget);
          break;
        default:
          break;
      }
      if (control.action != layout::Action::None)
        m_controls.actions.append({static_cast<QPushButton*>(widget), control.action});
    }
    auto* title = m_area->findChild<QLabel*>(QStringLiteral("Label1"), Qt::FindDirectChildrenOnly);
    QPalette highlighted = title->palette();
    highlighted.setColor(QPalette::WindowText, highlighted.color(QPalette::Highlight));
    title->setPalette(highlighted);
  }

  void buildRadioPage(int radio, QWidget* page) {
    const auto index = std::size_t(radio - 1);
    // Lines first, so that the controls are drawn over them.
    for (const layout::PageLine& line : layout::kPageLines)
      (new LineShape(line.line, page))->setObjectName(QString::fromLatin1(line.names.at(index)));

    RadioPageControls& controls = m_controls.pages.at(index);
    for (const layout::PageControl& row : layout::kPageControls) {
      QWidget* widget =
          place(row.kind, QString::fromLatin1(row.names.at(index)), pageText(row.caption, radio, row.routeKey),
                row.rect.toPixels(), layout::Face::Default, page);
      if (*row.accessibleName != '\0')
        widget->setAccessibleName(pageText(row.accessibleName, radio, row.routeKey));
      auto* button = qobject_cast<QPushButton*>(widget);
      switch (row.role) {
        case PageRole::CorButton:
          controls.cor = button;
          break;
        case PageRole::RouteButton:
          controls.routes.at(std::size_t(row.routeKey - kFirstRouteKey)) = button;
          break;
        case PageRole::SendButton:
          m_controls.sendButtons.at(index) = button;
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

  void applyFocusOrder() const {
    QWidget* previous = nullptr;
    for (const char* name : layout::kFocusOrder) {
      QWidget* widget = m_focusable.value(QString::fromLatin1(name));
      Q_ASSERT(widget);
      if (previous)
        QWidget::setTabOrder(previous, widget);
      previous = widget;
    }
  }

  QWidget* m_area;
  WindowControls m_controls;
  QHash<QString, QWidget*> m_focusable;
};

}  // namespace

WindowControls buildWindowControls(QWidget* area) { return WindowBuilder(area).build(); }

}  // namespace zelqon
