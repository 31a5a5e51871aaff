#include "cli/parser_text.h"

#include <cstring>
#include <utility>

namespace zelqon::cli {

QString ParserText::translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                              int /*n*/) const {
  static constexpr std::pair<const char*, const char*> kTexts[] = {
      {"Usage: %1", "Uso: %1"},
      {"[options]", "[opções]"},
      {"Options:", "Opções:"},
      {"Arguments:", "Argumentos:"},
      {"Displays help on commandline options.", "Mostra esta ajuda."},
      {"Displays help including Qt specific options.", "Mostra esta ajuda e as opções próprias do Qt."},
      {"Displays version information.", "Mostra a versão."},
      {"Unknown option '%1'.", "opção desconhecida: %1 (veja --help)."},
      {"Unknown options: %1.", "opções desconhecidas: %1 (veja --help)."},
      {"Missing value after '%1'.", "falta o valor da opção %1."},
      {"Unexpected value after '%1'.", "a opção %1 não aceita valor."},
  };
  if (context == nullptr || sourceText == nullptr || std::strcmp(context, "QCommandLineParser") != 0)
    return {};
  for (const auto& [english, portuguese] : kTexts) {
    if (std::strcmp(sourceText, english) == 0)
      return QString::fromUtf8(portuguese);
  }
  return {};
}

}  // namespace zelqon::cli
