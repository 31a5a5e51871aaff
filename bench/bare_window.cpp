// The toolkit's floor: a plain Qt Widgets window with the same kinds and
// number of controls as the programming window, the same lists filled, and
// nothing else: no serial port, no discovery, no timer.

#include "ui/layout_tables.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

using namespace zelqon::layout;

namespace {

QWidget* plainControl(Kind kind, const char* caption, QWidget* parent) {
  switch (kind) {
    case Kind::PictureBox:
    case Kind::Label:
    case Kind::OpaqueLabel:
      return new QLabel(QString::fromUtf8(caption), parent);
    case Kind::PortList:
    case Kind::DelayList: {
      auto* list = new QComboBox(parent);
      list->setEditable(kind == Kind::PortList);
      if (kind == Kind::DelayList)
        for (int ms = 0; ms <= 10000; ms += 100)
          list->addItem(QString::number(ms));
      return list;
    }
    case Kind::Button:
      return new QPushButton(QString::fromUtf8(caption), parent);
    case Kind::CaptionBox:
      return new QLineEdit(QString::fromUtf8(caption), parent);
    case Kind::Monitor:
      return new QPlainTextEdit(parent);
    case Kind::TabControl:
      return new QTabWidget(parent);
  }
  return nullptr;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare"));
  window.resize(pixels(kClientWidth), pixels(kClientHeight));
  QTabWidget* tabs = nullptr;
  for (const WindowControl& control : kWindowControls) {
    QWidget* widget = plainControl(control.kind, control.caption, &window);
    widget->setGeometry(control.rect.toPixels());
    if (control.kind == Kind::TabControl)
      tabs = static_cast<QTabWidget*>(widget);
  }
  for (int radio = 1; radio <= 4; ++radio) {
    auto* page = new QWidget;
    for (const PageControl& control : kPageControls)
      plainControl(control.kind, "Desativado", page)->setGeometry(control.rect.toPixels());
    for (std::size_t line = 0; line < kPageLines.size(); ++line)
      (new QFrame(page))->setFrameShape(QFrame::HLine);
    tabs->addTab(page, QStringLiteral("RÁDIO %1").arg(radio));
  }
  window.show();
  return QApplication::exec();
}
