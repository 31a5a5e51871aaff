#include "ui/notice_queue.h"

#include <QTimer>

namespace zelqon {

void NoticeQueue::add(const QString& text) {
  m_pending.append(text);
  handOutLater();
}

void NoticeQueue::setHold(Hold hold) {
  m_hold = hold;
  handOutLater();
}

void NoticeQueue::handOutLater() {
  if (m_hold == Hold::No && !m_pending.isEmpty())
    QTimer::singleShot(0, this, &NoticeQueue::handOut);
}

void NoticeQueue::handOut() {
  if (m_hold == Hold::Yes || m_pending.isEmpty())
    return;
  const QString text = m_pending.join(QStringLiteral("\n\n"));
  m_pending.clear();
  emit ready(text);
}

}  // namespace zelqon
