#include "ui/radio_pages.h"

#include "ui/radio_captions.h"

#include <QComboBox>
#include <QPushButton>

namespace zelqon {

void RadioPages::setProgram(int radio, const RadioProgram& program) {
  RadioProgram shown = program;
  shown.keyedRadios.set(radio, false);
  RadioProgram& held = m_programs.at(index(radio));
  if (held == shown)
    return;
  held = shown;
  showPage(radio);
  emit changed(radio);
}

void RadioPages::toggleCorLevel(int radio) {
  RadioProgram program = this->program(radio);
  program.corLevel = program.corLevel == CorLevel::ActiveLow ? CorLevel::ActiveHigh : CorLevel::ActiveLow;
  setProgram(radio, program);
}

void RadioPages::togglePttRoute(int radio, int routeKey) {
  RadioProgram program = this->program(radio);
  const int routed = routedRadio(radio, routeKey);
  program.keyedRadios.set(routed, !program.keyedRadios.contains(routed));
  setProgram(radio, program);
}

void RadioPages::bind(int radio, const RadioPageControls& controls) {
  m_controls.at(index(radio)) = controls;
  const std::array lists{std::pair{controls.debounce, &RadioProgram::debounce},
                         std::pair{controls.hang, &RadioProgram::hang}};
  static const QStringList delays = delayChoiceList();  // the same 101 entries for every list
  for (const auto& [list, field] : lists)
    list->addItems(delays);
  // Shown before the controls speak: filling a list picks its first entry.
  showPage(radio);
  connect(controls.cor, &QPushButton::clicked, this, [this, radio] { toggleCorLevel(radio); });
  for (int key = kFirstRouteKey; key <= kLastRouteKey; ++key) {
    connect(controls.routes.at(std::size_t(key - kFirstRouteKey)), &QPushButton::clicked, this,
            [this, radio, key] { togglePttRoute(radio, key); });
  }
  for (const auto& [list, field] : lists) {
    connect(list, &QComboBox::currentIndexChanged, this, [this, radio, list, field] {
      RadioProgram program = this->program(radio);
      // The lists are pick-only: their text is always one of the entries.
      program.*field = DelayTime::fromListText(list->currentText()).value_or(program.*field);
      setProgram(radio, program);
    });
  }
}

void RadioPages::showPage(int radio) {
  const RadioPageControls& page = m_controls.at(index(radio));
  if (!page.cor)
    return;
  const RadioProgram& program = this->program(radio);
  page.cor->setText(corCaption(program.corLevel));
  for (int key = kFirstRouteKey; key <= kLastRouteKey; ++key)
    page.routes.at(std::size_t(key - kFirstRouteKey))
        ->setText(routeCaption(program.keyedRadios.contains(routedRadio(radio, key))));
  page.debounce->setCurrentText(program.debounce.listText());
  page.hang->setCurrentText(program.hang.listText());
}

}  // namespace zelqon
