#pragma once

#include <QProxyStyle>

namespace zelqon {

// The application's own style, with the icons of the tool bars' and the menu
// bar's extension button read only when one is first painted. Every QMenuBar
// asks for that icon as it is made, and reading it makes Qt load every image
// format plugin to recognise a PNG file: milliseconds and a few hundred KiB
// at each start, for a button this window's menu bar never shows.
class DeferredIconStyle final : public QProxyStyle {
  Q_OBJECT

 public:
  DeferredIconStyle();

  [[nodiscard]] QIcon standardIcon(StandardPixmap which, const QStyleOption* option = nullptr,
                                   const QWidget* widget = nullptr) const override;
};

}  // namespace zelqon
