#pragma once

#include <QTranslator>

#include <memory>

namespace zelqon {

// Qt's own Brazilian Portuguese texts (command-line parser, file dialogs,
// standard buttons), installed for the whole application: the program speaks
// Portuguese whatever the system's language. Looked for where Qt keeps its
// translations, then in "translations" beside the program (a Windows
// deployment). Null when neither has them; Qt's texts then stay in English.
[[nodiscard]] std::unique_ptr<QTranslator> installQtPortuguese();

}  // namespace zelqon
