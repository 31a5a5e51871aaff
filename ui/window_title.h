#pragma once

#include "engine/engine_facts.h"
#include "serial/port_service.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <optional>

namespace zelqon {

// The program's name, as the desktop and every dialog of the window show it.
inline const QString kProgramName = QStringLiteral("ZELQON");

// The window's title: the open profile's name with the modified mark's
// place ("[*]"), and before it what the port is connecting to or how far a
// sequence of several commands has got, with the seconds to its next
// command counted down.
class WindowTitle final : public QObject {
  Q_OBJECT

 public:
  explicit WindowTitle(QObject* parent = nullptr);

  // Empty when no profile is open.
  void setProfileName(const QString& fileName);
  void setPort(PortState state, const QString& name);
  // A one-command sequence is not shown.
  void showProgress(const SequenceProgress& progress);
  void endProgress();
  [[nodiscard]] bool showsProgress() const { return m_progress.has_value(); }

  [[nodiscard]] QString text() const;

 signals:
  void changed(const QString& text);

 private:
  void tell();

  QString m_profileName;
  PortState m_portState = PortState::Closed;
  QString m_portName;
  std::optional<SequenceProgress> m_progress;
  QDeadlineTimer m_nextCommand;
  QTimer m_countdown;
};

}  // namespace zelqon
