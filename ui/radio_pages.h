#pragma once

#include "protocol/radio_program.h"

#include <QObject>

#include <array>

class QComboBox;
class QPushButton;

namespace zelqon {

// The controls of one radio page that show its values and change them.
struct RadioPageControls {
  QPushButton* cor = nullptr;
  std::array<QPushButton*, 3> routes{};  // R<n>_Cor_PTT2 .. R<n>_Cor_PTT4
  QComboBox* debounce = nullptr;
  QComboBox* hang = nullptr;
};

// The four radios' values, which alone decide what a send carries, and the
// pages' controls, which only show them: a click or a pick changes the value
// through setProgram(), and the page shows the value again.
class RadioPages final : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  [[nodiscard]] const RadioProgram& program(int radio) const { return m_programs.at(index(radio)); }
  [[nodiscard]] const std::array<RadioProgram, kRadioCount>& programs() const { return m_programs; }

  // Radio n (1..4) now holds `program`, less any route to itself, which no
  // button can show; its page shows it.
  void setProgram(int radio, const RadioProgram& program);
  void toggleCorLevel(int radio);
  void togglePttRoute(int radio, int routeKey);

  // Radio n's page: its delay lists get the choices, its controls show the
  // values from now on, and the operator's clicks and picks change them.
  void bind(int radio, const RadioPageControls& controls);

 signals:
  void changed(int radio);

 private:
  [[nodiscard]] static std::size_t index(int radio) { return std::size_t(radio - 1); }
  void showPage(int radio);

  std::array<RadioProgram, kRadioCount> m_programs{};
  std::array<RadioPageControls, kRadioCount> m_controls{};
};

}  // namespace zelqon
