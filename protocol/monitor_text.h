#pragma once

#include <QString>

namespace zelqon {

// The monitor's whole text: command echoes and whatever the controller sends.
// It only ever grows at its end, until it is cleared.
class MonitorText {
 public:
  virtual ~MonitorText() = default;
  [[nodiscard]] virtual QString text() const = 0;
  virtual void append(const QString& tail) = 0;
  virtual void clear() = 0;
};

// A monitor held in memory, for callers without a window.
class MemoryMonitor final : public MonitorText {
 public:
  [[nodiscard]] QString text() const override { return m_text; }
  void append(const QString& tail) override { m_text += tail; }
  void clear() override { m_text.clear(); }

 private:
  QString m_text;
};

}  // namespace zelqon
