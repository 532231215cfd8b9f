// A single-line edit box that keeps its selection when the focus moves elsewhere, as a
// classic edit control does, so a dial pad key can be pressed without losing what the user
// selected. It does not decide what its text is.
#pragma once

#include <QLineEdit>

namespace quillo::qt {

class EditBox : public QLineEdit {
  Q_OBJECT

 public:
  using QLineEdit::QLineEdit;

  // Replaces the text and keeps the selection where the new text still holds it.
  void replaceText(const QString& text);

 protected:
  void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace quillo::qt
