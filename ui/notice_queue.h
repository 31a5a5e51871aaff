#pragma once

#include <QObject>
#include <QStringList>

namespace zelqon {

// Notices for the operator, held while a sequence runs and handed out
// together once it ends: never from inside the handler that added them, so
// that no dialog opens in the middle of an operation.
class NoticeQueue final : public QObject {
  Q_OBJECT

 public:
  enum class Hold { No, Yes };

  using QObject::QObject;

  void add(const QString& text);
  void setHold(Hold hold);
  [[nodiscard]] bool isEmpty() const { return m_pending.isEmpty(); }

 signals:
  // Every notice added since the last one, blank-line separated.
  void ready(const QString& text);

 private:
  void handOut();
  void handOutLater();

  QStringList m_pending;
  Hold m_hold = Hold::No;
};

}  // namespace zelqon
