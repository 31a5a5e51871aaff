#pragma once

#include "protocol/site_profile.h"
#include "ui/open_profile.h"
#include "ui/recent_profiles.h"

#include <QObject>

namespace zelqon {

class RadioPages;

// What the profile document asks the operator before it overwrites or drops
// anything; the window asks with dialogs.
class ProfileQuestions {
 public:
  enum class UnsavedChanges { Save, Discard, Cancel };
  enum class ChangedFile { Overwrite, Cancel };

  virtual ~ProfileQuestions() = default;
  // The pages differ from the open profile `fileName` and are about to be left.
  [[nodiscard]] virtual UnsavedChanges askAboutUnsavedChanges(const QString& fileName) = 0;
  // The file changed outside the program since it was read or written here.
  [[nodiscard]] virtual ChangedFile askAboutChangedFile(const QString& fileName) = 0;

 protected:
  ProfileQuestions() = default;
  ProfileQuestions(const ProfileQuestions&) = default;
  ProfileQuestions& operator=(const ProfileQuestions&) = default;
};

// The site profile the window shows: the four radios' pages and the port
// box's text against the file they were read from or written to. Opening
// sets the pages and names the port as the operator would by hand, and sends
// nothing; with changes not yet saved it asks first, and Cancel changes
// nothing. Each failure is told by failed() and changes nothing; the
// functions that act say whether they did.
class ProfileDocument final : public QObject {
  Q_OBJECT

 public:
  ProfileDocument(RadioPages& radios, ProfileQuestions& questions, QObject* parent = nullptr);

  [[nodiscard]] bool isOpen() const { return m_file.isOpen(); }
  [[nodiscard]] const QString& path() const { return m_file.path(); }
  [[nodiscard]] QString fileName() const { return m_file.fileName(); }
  // Whether the pages or the port differ from the open profile; never with
  // none open.
  [[nodiscard]] bool isModified() const { return m_file.differsFrom(current()); }
  [[nodiscard]] QStringList recentPaths() const { return m_recent.paths(); }

  // The port box's text as it reads now.
  void setPortText(const QString& text);
  // What a save would write now: the pages, the port, and the site's name
  // and notes of the open profile.
  [[nodiscard]] SiteProfile current() const;

  bool open(const QString& path);
  // A recent entry whose file has gone leaves the list.
  bool openRecent(const QString& path);
  bool reload();
  // To the open profile's own file, asking first when it changed outside
  // the program; false with none open, which needs a path.
  bool save();
  bool saveAs(const QString& path);
  // True when the pages may be left: nothing unsaved, or the operator saved
  // or discarded it when asked.
  [[nodiscard]] bool mayLeave();

 signals:
  // Opened, saved, or the pages and port now differ or agree with the file.
  void changed();
  // An opened profile names this port: the port box shows it as typed.
  void portNamed(const PortChoice& port);
  void failed(const QString& text);

 private:
  // Another file open or saved is told in any case: its name may be new.
  enum class Telling { IfMarkChanged, Always };
  void noteChange(Telling telling);

  RadioPages& m_radios;
  ProfileQuestions& m_questions;
  OpenProfile m_file;
  RecentProfiles m_recent;
  QString m_portText;
  QString m_portAsNamed;    // the box's text that stands for the profile's own port
  bool m_modified = false;  // as last told
};

}  // namespace zelqon
