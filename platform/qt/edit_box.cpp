#include "edit_box.h"

#include "window_rules.h"

namespace quillo::qt {

void EditBox::replaceText(const QString& text) {
  const int start = selectionStart();
  const int length = selectionLength();
  setText(text);
  if (start < 0) return;
  const auto at = static_cast<std::size_t>(start);
  if (const auto kept = rules::KeptSelection({at, at + static_cast<std::size_t>(length)},
                                             static_cast<std::size_t>(text.size()))) {
    setSelection(static_cast<int>(kept->start), static_cast<int>(kept->end - kept->start));
  }
}

void EditBox::focusOutEvent(QFocusEvent* event) {
  const int start = selectionStart();
  const int length = selectionLength();
  QLineEdit::focusOutEvent(event);  // deselects
  if (start >= 0 && !hasSelectedText()) setSelection(start, length);
}

}  // namespace quillo::qt
