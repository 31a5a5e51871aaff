#include "ui/widgets.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QWheelEvent>

namespace zelqon {

namespace {

// The first of the layout's faces that this machine has; the rest of the list
// are the fallbacks. Giving the font one installed family spares the font
// database a fallback search for each missing one on every control.
QString installedFace(std::initializer_list<QString> candidates) {
  const QStringList installed = QFontDatabase::families();
  for (const QString& family : candidates) {
    if (installed.contains(family, Qt::CaseInsensitive))
      return family;
  }
  return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

}  // namespace

QFont layoutFont(layout::Face face) {
  static const QString kSansSerif =
      installedFace({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                     QStringLiteral("Liberation Sans"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
  static const QString kArial =
      installedFace({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  static const QString kTahoma =
      installedFace({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});

  QFont font;
  switch (face) {
    case layout::Face::Default:
      font.setFamily(kSansSerif);
      font.setPixelSize(11);  // 8.25 pt
      // The fallbacks run a little wider than the layout's bitmap face; a
      // slightly tighter tracking keeps every caption inside its control.
      font.setLetterSpacing(QFont::PercentageSpacing, 95);
      break;
    case layout::Face::Title:
      font.setFamily(kArial);
      font.setPixelSize(24);  // 18 pt
      font.setBold(true);
      font.setItalic(true);
      break;
    case layout::Face::TahomaLabel:
      font.setFamily(kTahoma);
      font.setPixelSize(13);  // 9.75 pt
      break;
    case layout::Face::TahomaList:
      font.setFamily(kTahoma);
      font.setPixelSize(11);  // 8.25 pt
      break;
  }
  font.setStyleHint(QFont::SansSerif);
  return font;
}

void CaptionButton::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  QStyleOptionButton option;
  initStyleOption(&option);
  option.text.clear();
  painter.drawControl(QStyle::CE_PushButtonBevel, option);

  const int inset = 3;
  QRect textArea = rect().adjusted(inset, inset, -inset, -inset);
  if (isDown())
    textArea.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
  painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  painter.drawText(textArea, Qt::AlignCenter | Qt::TextWordWrap, text());
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(inset, inset, -inset, -inset);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
}

namespace {

bool pressesButton(const QKeyEvent& event) {
  const int key = event.key();
  return (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) &&
         (event.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

void CaptionButton::keyPressEvent(QKeyEvent* event) {
  if (!pressesButton(*event)) {
    QPushButton::keyPressEvent(event);
    return;
  }
  // click() does nothing on a disabled button.
  const bool repeat = event->isAutoRepeat() || m_keyReleasedAt == event->timestamp();
  if (!repeat)
    click();
  event->accept();
}

void CaptionButton::keyReleaseEvent(QKeyEvent* event) {
  if (!pressesButton(*event)) {
    QPushButton::keyReleaseEvent(event);
    return;
  }
  m_keyReleasedAt = event->timestamp();
  event->accept();
}

DelayList::DelayList(QWidget* parent) : QComboBox(parent) {
  // Not Qt::WheelFocus: the wheel alone must not give the list the focus.
  setFocusPolicy(Qt::StrongFocus);
}

void DelayList::wheelEvent(QWheelEvent* event) {
  if (!hasFocus()) {
    event->ignore();  // on to the parent
    return;
  }
  QComboBox::wheelEvent(event);
}

void PortList::showPopup() {
  emit aboutToShowPopup();
  QComboBox::showPopup();
}

LineShape::LineShape(const layout::TwipLine& line, QWidget* parent) : QWidget(parent) {
  const int x1 = layout::pixels(std::min(line.x1, line.x2));
  const int y1 = layout::pixels(std::min(line.y1, line.y2));
  const int x2 = layout::pixels(std::max(line.x1, line.x2));
  const int y2 = layout::pixels(std::max(line.y1, line.y2));
  setGeometry(x1, y1, x2 - x1 + 1, y2 - y1 + 1);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void LineShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::WindowText));
}

FixedTabBar::FixedTabBar(int tabCount, int stripWidth, int stripHeight, QWidget* parent)
    : QTabBar(parent), m_tabCount(tabCount), m_stripWidth(stripWidth), m_stripHeight(stripHeight) {
  setExpanding(false);
  setDrawBase(false);
  setUsesScrollButtons(false);
  setElideMode(Qt::ElideNone);
}

QSize FixedTabBar::tabSizeHint(int index) const {
  // Equal tabs filling the strip; the last takes the rounding remainder.
  const int width = m_stripWidth / m_tabCount;
  const int last = m_stripWidth - width * (m_tabCount - 1);
  return {index == m_tabCount - 1 ? last : width, m_stripHeight};
}

namespace {

// A white page below the tab strip, framed; transparent over the strip.
class TabPage final : public QWidget {
 public:
  TabPage(int stripHeight, QWidget* parent) : QWidget(parent), m_stripHeight(stripHeight) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const QRect body = rect().adjusted(0, m_stripHeight, 0, 0);
    painter.fillRect(body, Qt::white);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(body.adjusted(0, 0, -1, -1));
  }

 private:
  int m_stripHeight;
};

}  // namespace

TabControl::TabControl(const QStringList& captions, QSize size, int stripHeight, QWidget* parent)
    : QWidget(parent), m_tabs(new FixedTabBar(int(captions.size()), size.width(), stripHeight, this)) {
  resize(size);
  for (const QString& caption : captions) {
    m_tabs->addTab(caption);
    auto* page = new TabPage(stripHeight, this);
    page->setGeometry(0, 0, size.width(), size.height());
    m_pages.append(page);
  }
  m_tabs->setGeometry(0, 0, size.width(), stripHeight);
  m_tabs->raise();
  setFocusPolicy(Qt::StrongFocus);
  m_tabs->setFocusPolicy(Qt::StrongFocus);
  setFocusProxy(m_tabs);
  connect(m_tabs, &QTabBar::currentChanged, this, &TabControl::showPage);
  showPage(0);
}

void TabControl::showPage(int index) {
  for (int i = 0; i < m_pages.size(); ++i)
    m_pages[i]->setVisible(i == index);
  m_tabs->raise();
}

}  // namespace zelqon
