#pragma once

#include "record/session_record.h"

#include <QString>

namespace zelqon {

// One line for a session record that cannot be written: the file, the
// system's reason, and that the program goes on without a record.
[[nodiscard]] QString describeRecordFailure(const RecordFailure& failure);

}  // namespace zelqon
