#pragma once

#include "ui/layout_tables.h"
#include "ui/radio_pages.h"

#include <QList>

#include <array>
#include <utility>

class QPushButton;
class QWidget;

namespace zelqon {

class MonitorView;
class PortList;
class TabControl;

// The controls the window wires, as made from the layout tables.
struct WindowControls {
  MonitorView* monitor = nullptr;
  PortList* portList = nullptr;
  TabControl* tabs = nullptr;
  std::array<RadioPageControls, kRadioCount> pages{};
  std::array<QPushButton*, kRadioCount> sendButtons{};  // EnviaR1 .. EnviaR4
  QList<std::pair<QPushButton*, layout::Action>> actions;
};

// Makes every control of the fixed layout inside `area`, each with its name,
// caption, place, face and accessible name, the four radio pages included,
// and puts them in the layout's focus order.
[[nodiscard]] WindowControls buildWindowControls(QWidget* area);

}  // namespace zelqon
