#pragma once

#include "protocol/programming_commands.h"
#include "protocol/radio_program.h"
#include "serial/port_catalog.h"
#include "ui/layout_tables.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QComboBox;
class QMessageBox;
class QPushButton;
class QTimer;

namespace zelqon {

class MonitorView;
class SerialLink;
class TabControl;

// The programming window: the program's only window and the owner of the
// four radios' values, the controls, the serial link and the poll timer.
// Every operation runs from one of its event handlers, one at a time.
class Programador final : public QWidget {
  Q_OBJECT

 public:
  // `catalog` numbers the machine's serial ports; it is read once, here.
  explicit Programador(PortCatalog catalog, QWidget* parent = nullptr);
  // The same, with the numbering asked for only once the controls are built,
  // so that a discovery running elsewhere overlaps their construction.
  explicit Programador(const std::function<PortCatalog()>& discoverPorts, QWidget* parent = nullptr);
  ~Programador() override;

  // The wait between the commands of a sequence; by default one that keeps
  // the window painted while it holds input.
  void setCommandPause(ProgrammingCommands::Pause pause);

  [[nodiscard]] SerialLink& link() const { return *m_link; }
  [[nodiscard]] const RadioProgram& radioFlags(int radio) const { return m_radios.at(std::size_t(radio - 1)); }
  // What a send of radio n would carry now: its flags and its lists' texts.
  [[nodiscard]] RadioProgram readRadio(int radio) const;

  // Event handlers, named after their control and event.
  void Form_Load();
  void cboComm_LostFocus();
  void Timer1_Timer();
  void toggleCorLevel(int radio);
  void togglePttRoute(int radio, int routeKey);
  void EnviaR_Click(int radio);
  void EnviaProgPadrao_Click();
  void ProgDefa4canais_Click();
  void Command1_Click();
  void Command2_Click();
  void Botao_Sair_Click();

 signals:
  // The exit button was clicked and the port is closed: end the program.
  void endRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* createControl(layout::Kind kind, const QString& name, const QString& caption, QRect geometry,
                         layout::Face face, QWidget* parent);
  void buildWindowControls();
  void buildRadioPage(int radio, QWidget* page);
  void applyFocusOrder();
  [[nodiscard]] QComboBox* delayList(int radio, bool hang) const;
  [[nodiscard]] QPushButton* button(const QString& name) const;

  // Runs an operation the operator started; what failed is shown once it has
  // ended, never from inside it.
  template <typename Steps>
  void runOperatorOperation(Steps&& steps);
  void noteFailure(const QString& text);
  void showFailureNotice();

  PortCatalog m_catalog;
  std::array<RadioProgram, kRadioCount> m_radios{};
  MonitorView* m_monitor = nullptr;
  QComboBox* m_portList = nullptr;
  TabControl* m_tabs = nullptr;
  QTimer* m_pollTimer = nullptr;
  SerialLink* m_link = nullptr;
  std::unique_ptr<ProgrammingCommands> m_commands;
  ProgrammingCommands::Pause m_pause;

  int m_runningOperations = 0;
  bool m_closeRequested = false;
  QStringList m_pendingNotices;
  QPointer<QMessageBox> m_notice;
};

}  // namespace zelqon
