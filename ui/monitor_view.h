#pragma once

#include "protocol/monitor_text.h"

#include <QPlainTextEdit>

namespace zelqon {

// The monitor text box. It keeps the monitor's exact text (every received
// byte value, CR LF pairs as they came) and shows it as plain text: any of
// CR LF, CR or LF breaks the line, other control characters show as their
// visible symbols, and nothing is ever read as markup.
//
// Appends go to the end of the document without rebuilding it. The view
// follows new text while the operator is at the bottom and stays put when the
// operator has scrolled up. Text the operator types or deletes changes the
// monitor text at that spot; everything else stays byte for byte.
class MonitorView final : public QPlainTextEdit, public MonitorText {
  Q_OBJECT

 public:
  explicit MonitorView(QWidget* parent = nullptr);

  [[nodiscard]] QString text() const override { return m_text; }
  void append(const QString& tail) override;
  void clear() override;

  // The form in which received text is shown; `pendingCarriageReturn` carries
  // a CR at the end of one piece over to the next, so a CR LF split between
  // two polls still makes one line break.
  [[nodiscard]] static QString displayForm(const QString& text, bool& pendingCarriageReturn);

 private:
  [[nodiscard]] qsizetype modelIndex(qsizetype displayPosition) const;
  void takeOperatorEdit(int position, int removed, int added);

  QString m_text;
  bool m_pendingCarriageReturn = false;
  bool m_appending = false;
};

}  // namespace zelqon
