#include "ui/profile_document.h"

#include "engine/profile_text.h"
#include "ui/radio_pages.h"

#include <QFileInfo>

namespace zelqon {

ProfileDocument::ProfileDocument(RadioPages& radios, ProfileQuestions& questions, QObject* parent)
    : QObject(parent), m_radios(radios), m_questions(questions) {
  connect(&m_radios, &RadioPages::changed, this, [this] { noteChange(Telling::IfMarkChanged); });
}

void ProfileDocument::setPortText(const QString& text) {
  m_portText = text.trimmed();
  noteChange(Telling::IfMarkChanged);
}

SiteProfile ProfileDocument::current() const {
  const std::optional<SiteProfile>& saved = m_file.saved();
  SiteProfile profile = saved.value_or(SiteProfile{});
  profile.radios = m_radios.programs();
  // The port as the file has it while the box still shows what it set there.
  profile.port = saved && m_portText == m_portAsNamed ? saved->port : portChoiceIn(m_portText, PortReading::Lenient);
  return profile;
}

bool ProfileDocument::open(const QString& path) {
  // Asked before reading, so that what is shown is the file as it is after
  // any save the answer made.
  if (!mayLeave())
    return false;
  const ProfileReadResult read = m_file.read(path);
  if (!read.profile) {
    emit failed(QStringLiteral("O perfil não foi aberto.\n%1").arg(describeProfileProblem(read.problem)));
    return false;
  }
  m_file.adopt(path, *read.profile);
  for (int radio = 1; radio <= kRadioCount; ++radio)
    m_radios.setProgram(radio, read.profile->radios.at(std::size_t(radio - 1)));
  m_portAsNamed = m_portText;
  if (read.profile->port) {
    // The box takes every form a profile holds: a device path opens that device.
    m_portAsNamed = read.profile->port->text();
    emit portNamed(*read.profile->port);
  }
  m_recent.add(path);
  noteChange(Telling::Always);
  return true;
}

bool ProfileDocument::openRecent(const QString& path) {
  if (!QFileInfo::exists(path)) {
    m_recent.remove(path);
    emit failed(QStringLiteral("O perfil %1 não existe mais e saiu da lista de recentes.").arg(path));
    return false;
  }
  return open(path);
}

bool ProfileDocument::reload() { return isOpen() && open(path()); }

bool ProfileDocument::save() {
  if (!isOpen())
    return false;
  if (m_file.changedOnDisk() && m_questions.askAboutChangedFile(fileName()) != ProfileQuestions::ChangedFile::Overwrite)
    return false;
  return saveAs(path());
}

bool ProfileDocument::saveAs(const QString& path) {
  SiteProfile profile = current();
  if (isOpen())
    moveProfileFiles(profile, this->path(), path);
  if (const auto failure = m_file.save(path, profile)) {
    emit failed(QStringLiteral("O perfil não foi salvo.\n%1").arg(describeProfileProblem(*failure)));
    return false;
  }
  m_recent.add(path);
  m_portAsNamed = m_portText;
  noteChange(Telling::Always);
  return true;
}

bool ProfileDocument::mayLeave() {
  if (!isModified())
    return true;
  switch (m_questions.askAboutUnsavedChanges(fileName())) {
    case ProfileQuestions::UnsavedChanges::Save:
      return save();
    case ProfileQuestions::UnsavedChanges::Discard:
      return true;
    case ProfileQuestions::UnsavedChanges::Cancel:
      return false;
  }
  return false;
}

void ProfileDocument::noteChange(Telling telling) {
  const bool modified = isModified();
  if (modified == m_modified && telling == Telling::IfMarkChanged)
    return;
  m_modified = modified;
  emit changed();
}

}  // namespace zelqon
