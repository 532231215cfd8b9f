#include "edit_box.h"

namespace quillo::qt {

void EditBox::replaceText(const QString& text) {
  const int start = selectionStart();
  const int length = selectionLength();
  setText(text);
  if (start >= 0 && start + length <= text.size()) setSelection(start, length);
}

void EditBox::focusOutEvent(QFocusEvent* event) {
  const int start = selectionStart();
  const int length = selectionLength();
  QLineEdit::focusOutEvent(event);  // deselects
  if (start >= 0 && !hasSelectedText()) setSelection(start, length);
}

}  // namespace quillo::qt
