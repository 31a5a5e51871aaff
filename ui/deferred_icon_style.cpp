#include "ui/deferred_icon_style.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>

namespace zelqon {

namespace {

// The style's icon, asked for on first use.
class DeferredIconEngine final : public QIconEngine {
 public:
  DeferredIconEngine(QStyle* style, QStyle::StandardPixmap which) : m_style(style), m_which(which) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    icon().paint(painter, rect, Qt::AlignCenter, mode, state);
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon().pixmap(size, mode, state);
  }
  QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return icon().actualSize(size, mode, state);
  }
  QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
    return icon().availableSizes(mode, state);
  }
  [[nodiscard]] QIconEngine* clone() const override { return new DeferredIconEngine(m_style, m_which); }
  [[nodiscard]] QString key() const override { return QStringLiteral("DeferredIconEngine"); }

 private:
  const QIcon& icon() {
    if (m_icon.isNull())
      m_icon = (m_style ? m_style.data() : QApplication::style())->standardIcon(m_which);
    return m_icon;
  }

  QPointer<QStyle> m_style;
  QStyle::StandardPixmap m_which;
  QIcon m_icon;
};

}  // namespace

DeferredIconStyle::DeferredIconStyle() : QProxyStyle(QApplication::style()->name()) {}

QIcon DeferredIconStyle::standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const {
  if (which == SP_ToolBarHorizontalExtensionButton || which == SP_ToolBarVerticalExtensionButton)
    return QIcon(new DeferredIconEngine(baseStyle(), which));
  return QProxyStyle::standardIcon(which, option, widget);
}

}  // namespace zelqon
