#pragma once

#include "ui/monitor_text_store.h"

#include <optional>

namespace zelqon {

class MonitorView;

// Screen readers get the monitor as an editable text of many lines, named by
// its accessible name, whose text is what the box shows: control characters
// as their symbols and each line break, whatever it was, as one "\n".
void installMonitorAccessibility();

// What changed, told to a screen reader (only called while one listens).
void announceAppend(MonitorView* view, qsizetype oldEnd, qsizetype oldCount,
                    const std::optional<MonitorTextStore::Cut>& cut);
void announceEdit(MonitorView* view, qsizetype offset, const QString& removed, const QString& inserted);
void announceCursor(MonitorView* view);

}  // namespace zelqon
