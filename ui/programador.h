#pragma once

#include "engine/controller_engine.h"
#include "protocol/radio_program.h"
#include "protocol/site_profile.h"
#include "serial/port_catalog.h"
#include "ui/layout_tables.h"
#include "ui/open_profile.h"
#include "ui/recent_profiles.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QComboBox;
class QMenu;
class QMessageBox;
class QPushButton;
class QTimer;

namespace zelqon {

class MonitorView;
class NoticeQueue;
class PortList;
class TabControl;

// The programming window: the program's only window. It holds the four
// radios' values, shown by its toggles and lists, shows the monitor, and hands
// every operation to the engine, whose signals it shows.
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
  // What a send of radio n (1..4) would carry now, as its page shows it.
  [[nodiscard]] RadioProgram readRadio(int radio) const;
  // Sets radio n's page as the operator would by hand: toggle captions,
  // values and the two lists. Sends nothing.
  void showRadio(int radio, const RadioProgram& program);

  void toggleCorLevel(int radio);
  void togglePttRoute(int radio, int routeKey);

  // Site profiles. Opening sets the four pages and the port as the operator
  // would by hand and sends nothing; with changes not yet saved it first asks
  // whether to save them, and a Cancel changes nothing. Saving writes the
  // pages and the port. Each tells its failure in a notice and changes
  // nothing; true when done. The menu's entries ask the desktop's file dialog
  // for the path first; a file dropped on the window opens as they do.
  bool openProfile(const QString& path);
  bool saveProfileTo(const QString& path);
  // What a save would write now: the pages, the port box, and the site's
  // name and notes of the open profile.
  [[nodiscard]] SiteProfile currentProfile() const;

 signals:
  // The exit button was clicked and the port is closed: end the program.
  void endRequested();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The controls of one radio page that the program reads and writes.
  struct RadioPage {
    QPushButton* cor = nullptr;
    std::array<QPushButton*, 3> routes{};  // R<n>_Cor_PTT2 .. R<n>_Cor_PTT4
    QComboBox* debounce = nullptr;
    QComboBox* hang = nullptr;
  };

  QWidget* createControl(layout::Kind kind, const QString& name, const QString& caption, QRect geometry,
                         layout::Face face, QWidget* parent);
  void buildWindowControls();
  void buildRadioPage(int radio, QWidget* page);
  void buildMenu();
  void askAndOpenProfile();
  void saveProfile();
  void askAndSaveProfile();
  // Ctrl+S to the open profile's own file; asks first when the file changed
  // since it was read or written here. True when written.
  bool saveOpenProfile();
  void reloadProfile();
  void fillRecentMenu();
  void openRecentProfile(const QString& path);
  // True when the pages and port may be left: nothing unsaved, or the
  // operator saved or discarded it when asked.
  bool mayLeaveChanges();
  void openRecordFolder();
  // Whether the pages differ from the open profile, shown in the title.
  void refreshModified();
  // Shows radio n's values on its page.
  void showRadioPage(int radio);
  // A delay list was changed: its value becomes the radio's.
  void takeDelayList(int radio, const QComboBox& list, DelayTime RadioProgram::*field);
  // The port a profile names, set in the port box as if typed and left.
  void takeProfilePort(const PortChoice& port);
  void runAction(layout::Action action);
  // Lists the ports and gives every radio its start-up values.
  void loadStartValues();
  // The operator left the port list: its text names the port from now on.
  void takePortFromList();
  void applyFocusOrder();
  // Puts the ports of the numbering into the port list.
  void listPorts();

  void connectEngine();
  void onBusyChanged(bool busy);
  void showProgress(const SequenceProgress& progress);
  void refreshTitle();
  void noteFailure(const QString& text);
  void showFailureNotice(const QString& text);

  std::array<RadioProgram, kRadioCount> m_radios{};  // the pages' values; the controls show them
  std::array<RadioPage, kRadioCount> m_pages{};
  QHash<QString, QWidget*> m_focusable;
  QWidget* m_layoutArea = nullptr;  // the window's fixed layout, below the menu bar
  MonitorView* m_monitor = nullptr;
  PortList* m_portList = nullptr;
  TabControl* m_tabs = nullptr;
  ControllerEngine* m_engine = nullptr;

  // None open before the first open or save.
  OpenProfile m_profile;
  QString m_profilePortShown;  // the port box's text that stands for the profile's port
  RecentProfiles m_recent;
  QMenu* m_recentMenu = nullptr;
  QAction* m_reloadAction = nullptr;

  bool m_closeRequested = false;
  NoticeQueue* m_notices = nullptr;
  QPointer<QMessageBox> m_notice;

  // The sequence shown in the title, while one runs.
  std::optional<SequenceProgress> m_progress;
  QDeadlineTimer m_nextCommand;
  QTimer* m_progressTimer = nullptr;
};

}  // namespace zelqon
