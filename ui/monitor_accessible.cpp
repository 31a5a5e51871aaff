#include "ui/monitor_accessible.h"

#include "ui/monitor_view.h"

#include <QAccessibleWidget>

namespace zelqon {

namespace {

class MonitorAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit MonitorAccessible(MonitorView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface)
      return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = true;
    state.multiLine = true;
    state.selectableText = true;
    return state;
  }
  [[nodiscard]] QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value)
      return store().readerText(0, store().size());
    return QAccessibleWidget::text(kind);
  }

  void selection(int index, int* startOffset, int* endOffset) const override {
    *startOffset = *endOffset = 0;
    if (index != 0 || selectionCount() == 0)
      return;
    *startOffset = offsetOf(std::min(monitor()->anchorPosition(), monitor()->cursorPosition()));
    *endOffset = offsetOf(std::max(monitor()->anchorPosition(), monitor()->cursorPosition()));
  }
  [[nodiscard]] int selectionCount() const override {
    return monitor()->anchorPosition() != monitor()->cursorPosition() ? 1 : 0;
  }
  void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
  void removeSelection(int) override {
    monitor()->setSelection(monitor()->cursorPosition(), monitor()->cursorPosition());
  }
  void setSelection(int, int startOffset, int endOffset) override {
    monitor()->setSelection(store().positionAtReaderOffset(startOffset), store().positionAtReaderOffset(endOffset));
  }
  [[nodiscard]] int cursorPosition() const override { return offsetOf(monitor()->cursorPosition()); }
  void setCursorPosition(int offset) override {
    const qsizetype position = store().positionAtReaderOffset(offset);
    monitor()->setSelection(position, position);
  }
  [[nodiscard]] QString text(int startOffset, int endOffset) const override {
    return store().readerText(store().positionAtReaderOffset(startOffset), store().positionAtReaderOffset(endOffset));
  }
  [[nodiscard]] int characterCount() const override { return int(store().characterCount()); }
  [[nodiscard]] QRect characterRect(int offset) const override {
    const qsizetype position = store().positionAtReaderOffset(offset);
    QRect rect = monitor()->positionRect(position);
    rect.setRight(std::max(rect.left(), monitor()->positionRect(store().nextPosition(position)).left() - 1));
    return rect.translated(monitor()->viewport()->mapToGlobal(QPoint(0, 0)));
  }
  [[nodiscard]] int offsetAtPoint(const QPoint& point) const override {
    return offsetOf(monitor()->positionAt(monitor()->viewport()->mapFromGlobal(point)));
  }
  void scrollToSubstring(int startIndex, int endIndex) override {
    monitor()->ensureVisible(store().positionAtReaderOffset(endIndex));
    monitor()->ensureVisible(store().positionAtReaderOffset(startIndex));
  }
  [[nodiscard]] QString attributes(int, int* startOffset, int* endOffset) const override {
    *startOffset = 0;  // one plain run: the box has no formats
    *endOffset = characterCount();
    return {};
  }

 private:
  [[nodiscard]] MonitorView* monitor() const { return static_cast<MonitorView*>(widget()); }
  [[nodiscard]] const MonitorTextStore& store() const { return monitor()->content(); }
  [[nodiscard]] int offsetOf(qsizetype position) const { return int(store().readerOffset(position)); }
};

QAccessibleInterface* monitorAccessible(const QString& className, QObject* object) {
  if (className == QLatin1String(MonitorView::staticMetaObject.className()) && object && object->isWidgetType())
    return new MonitorAccessible(static_cast<MonitorView*>(object));
  return nullptr;
}

}  // namespace

void installMonitorAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(monitorAccessible);
    return true;
  }();
  (void)installed;
}

void announceAppend(MonitorView* view, qsizetype oldEnd, qsizetype oldCount,
                    const std::optional<MonitorTextStore::Cut>& cut) {
  const MonitorTextStore& store = view->content();
  qsizetype offset = oldCount;
  qsizetype from = oldEnd;
  if (cut) {
    // The removed text is told by its length, as Qt's own text boxes do.
    announceEdit(view, 0, QString(cut->charactersRemoved, QLatin1Char(' ')), store.readerText(0, cut->keptAt));
    offset = std::max(cut->noteCharacters, oldCount - cut->charactersRemoved + cut->noteCharacters);
    from = cut->moved(oldEnd);
  }
  // An LF that closes a CR already told adds nothing.
  announceEdit(view, offset, QString(), store.readerText(from, store.size()).right(store.characterCount() - offset));
}

void announceEdit(MonitorView* view, qsizetype offset, const QString& removed, const QString& inserted) {
  if (removed.isEmpty() && inserted.isEmpty())
    return;
  if (removed.isEmpty()) {
    QAccessibleTextInsertEvent event(view, int(offset), inserted);
    QAccessible::updateAccessibility(&event);
  } else if (inserted.isEmpty()) {
    QAccessibleTextRemoveEvent event(view, int(offset), removed);
    QAccessible::updateAccessibility(&event);
  } else {
    QAccessibleTextUpdateEvent event(view, int(offset), removed, inserted);
    QAccessible::updateAccessibility(&event);
  }
}

void announceCursor(MonitorView* view) {
  const MonitorTextStore& store = view->content();
  const qsizetype anchor = store.readerOffset(view->anchorPosition());
  const qsizetype cursor = store.readerOffset(view->cursorPosition());
  if (anchor != cursor) {
    QAccessibleTextSelectionEvent selection(view, int(std::min(anchor, cursor)), int(std::max(anchor, cursor)));
    QAccessible::updateAccessibility(&selection);
  }
  QAccessibleTextCursorEvent moved(view, int(cursor));
  QAccessible::updateAccessibility(&moved);
}

}  // namespace zelqon
