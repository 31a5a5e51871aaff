#include "engine/record_text.h"

#include <QDir>

namespace zelqon {

QString describeRecordFailure(const RecordFailure& failure) {
  return QStringLiteral("Não foi possível gravar o registro da sessão em %1: %2. O programa continua sem registro.")
      .arg(QDir::toNativeSeparators(failure.fileName), failure.reason);
}

}  // namespace zelqon
