#pragma once

#include <QTranslator>

namespace zelqon::cli {

// The few texts of QCommandLineParser (usage headings, the built-in options,
// its error messages) in Portuguese, with no translation files to install.
class ParserText final : public QTranslator {
  Q_OBJECT

 public:
  using QTranslator::QTranslator;

  [[nodiscard]] QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                                  int n = -1) const override;
  [[nodiscard]] bool isEmpty() const override { return false; }
};

}  // namespace zelqon::cli
