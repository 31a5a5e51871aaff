#pragma once

#include "ui/layout_tables.h"

#include <QComboBox>
#include <QFont>
#include <QList>
#include <QPushButton>
#include <QTabBar>
#include <QWidget>

#include <optional>

namespace zelqon {

// The layout's fonts at their pixel size at 96 dpi, so that text keeps its
// proportion to the pixel geometry on any screen. Each asks for the layout's
// family first and falls back to metric-alike faces.
[[nodiscard]] QFont layoutFont(layout::Face face);

// A push button whose caption wraps at word boundaries, as a square COR
// button needs for "ATIVO BAIXO". Space, Enter and Return press it once per
// key press, however long the key is held: X11 repeats a held key as a
// release and a press with the same time, which Qt does not always mark as
// a repeat, and a key pressed in a dialog that has just closed goes on
// repeating into whatever has the focus next.
class CaptionButton final : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  // When a pressing key was last released, to tell a repeat from a new press.
  std::optional<quint64> m_keyReleasedAt;
};

// A pick-only list of delays that the mouse wheel changes only once the
// operator has given it the focus: a wheel turned over it on the way down the
// page scrolls on past it, instead of changing a value that would be sent to
// the controller unseen.
class DelayList final : public QComboBox {
  Q_OBJECT
 public:
  explicit DelayList(QWidget* parent = nullptr);

 protected:
  void wheelEvent(QWheelEvent* event) override;
};

// The editable port list; says when its drop-down is about to open, so that
// the ports can be looked for again first.
class PortList final : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
  void showPopup() override;

 signals:
  void aboutToShowPopup();
};

// A straight one-pixel line in the window-text colour, beneath the controls.
class LineShape final : public QWidget {
  Q_OBJECT
 public:
  LineShape(const layout::TwipLine& line, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

// The tab strip with fixed, equal tabs of the layout's height.
class FixedTabBar final : public QTabBar {
  Q_OBJECT
 public:
  FixedTabBar(int tabCount, int stripWidth, int stripHeight, QWidget* parent);

 protected:
  [[nodiscard]] QSize tabSizeHint(int index) const override;
  [[nodiscard]] QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

 private:
  int m_tabCount;
  int m_stripWidth;
  int m_stripHeight;
};

// A tab control whose pages share its outer top-left corner as their origin,
// so a page control stands at the same spot whatever the style draws around
// the tabs. Only the current page is shown; hidden pages' controls take no
// focus. Its focus goes to the tab strip.
class TabControl final : public QWidget {
  Q_OBJECT
 public:
  TabControl(const QStringList& captions, QSize size, int stripHeight, QWidget* parent);

  [[nodiscard]] QWidget* page(int index) const { return m_pages.at(index); }
  [[nodiscard]] int currentIndex() const { return m_tabs->currentIndex(); }
  void setCurrentIndex(int index) { m_tabs->setCurrentIndex(index); }
  [[nodiscard]] QTabBar* tabBar() const { return m_tabs; }

 private:
  void showPage(int index);

  FixedTabBar* m_tabs;
  QList<QWidget*> m_pages;
};

}  // namespace zelqon
