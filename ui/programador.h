#pragma once

#include "engine/controller_engine.h"
#include "serial/port_catalog.h"
#include "ui/layout_tables.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QMessageBox;

namespace zelqon {

class MonitorView;
class NoticeQueue;
class PortList;
class ProfileDocument;
class ProfileQuestions;
class RadioPages;
class WindowTitle;

// The programming window: the program's only window. It wires its controls,
// made from the layout tables, to the radios' values (RadioPages), the open
// site profile (ProfileDocument), its title (WindowTitle) and the engine,
// which every operation is handed to and whose signals it shows.
class Programador final : public QWidget {
  Q_OBJECT

 public:
  // `catalog` numbers the machine's serial ports.
  explicit Programador(PortCatalog catalog, QWidget* parent = nullptr);
  // The same, with the numbering asked for only once the controls are built,
  // so that a discovery running elsewhere overlaps their construction.
  explicit Programador(const std::function<PortCatalog()>& discoverPorts, QWidget* parent = nullptr);
  ~Programador() override;

  [[nodiscard]] ControllerEngine& engine() const { return *m_engine; }
  [[nodiscard]] RadioPages& radios() const { return *m_radios; }
  [[nodiscard]] ProfileDocument& profile() const { return *m_profile; }

  // Opens a site profile as the menu does once a path is chosen; a failure
  // is told in a notice. True when open.
  bool openProfile(const QString& path);
  bool saveProfileTo(const QString& path);

 signals:
  // The exit button was clicked and the port is closed: end the program.
  void endRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildMenu();
  void askAndOpenProfile();
  void saveProfile();
  void askAndSaveProfile();
  void reloadProfile();
  void fillRecentMenu();
  void openRecordFolder();
  void showProfileState();
  void runAction(layout::Action action);
  // The operator left the port list: its text names the port from now on.
  void takePortFromList();
  // The open profile's certificate files, else this user's own pair; a file
  // refused is told, and the port goes on without any.
  [[nodiscard]] SharedTlsCredentials tlsCredentials();
  // Runs an operation the operator asked for and keeps it, to run again once
  // a server met for the first time is trusted.
  void request(const std::function<OperationStart()>& operation);
  void askAboutFirstContact();
  // Puts the ports of the numbering into the port list.
  void listPorts();

  void connectEngine();
  void onBusyChanged(bool busy);
  void noteFailure(const QString& text);
  void showFailureNotice(const QString& text);

  ControllerEngine* m_engine = nullptr;
  RadioPages* m_radios = nullptr;
  std::unique_ptr<ProfileQuestions> m_questions;
  ProfileDocument* m_profile = nullptr;
  WindowTitle* m_title = nullptr;
  NoticeQueue* m_notices = nullptr;

  MonitorView* m_monitor = nullptr;
  PortList* m_portList = nullptr;
  QMenu* m_recentMenu = nullptr;
  QAction* m_reloadAction = nullptr;
  QPointer<QMessageBox> m_notice;
  bool m_closeRequested = false;
  std::function<OperationStart()> m_lastRequest;
  std::optional<ServerRefused> m_firstContact;  // to ask about once the engine is idle
};

}  // namespace zelqon
