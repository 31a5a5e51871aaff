#include "ui/window_title.h"

#include "engine/operator_text.h"

namespace zelqon {

WindowTitle::WindowTitle(QObject* parent) : QObject(parent) {
  m_countdown.setInterval(1000);
  connect(&m_countdown, &QTimer::timeout, this, &WindowTitle::tell);
}

void WindowTitle::setProfileName(const QString& fileName) {
  m_profileName = fileName;
  tell();
}

void WindowTitle::setPort(PortState state, const QString& name) {
  m_portState = state;
  m_portName = name;
  tell();
}

void WindowTitle::showProgress(const SequenceProgress& progress) {
  if (progress.count <= 1)
    return;
  m_progress = progress;
  m_nextCommand = QDeadlineTimer(progress.nextIn);
  if (!m_countdown.isActive())
    m_countdown.start();
  tell();
}

void WindowTitle::endProgress() {
  m_countdown.stop();
  if (std::exchange(m_progress, std::nullopt))
    tell();
}

QString WindowTitle::text() const {
  // The title ends with the program's name, so the desktop adds it no second
  // time.
  QString title =
      m_profileName.isEmpty() ? kProgramName : QStringLiteral("%1[*] — %2").arg(m_profileName, kProgramName);
  const QString connecting = describeConnecting(m_portState, m_portName);
  if (!connecting.isEmpty())
    return QStringLiteral("%1 — %2").arg(connecting, title);
  if (m_progress) {
    const auto left = std::chrono::milliseconds(m_nextCommand.remainingTime());
    return QStringLiteral("%1 — %2").arg(describeProgress(*m_progress, left), title);
  }
  return title;
}

void WindowTitle::tell() { emit changed(text()); }

}  // namespace zelqon
