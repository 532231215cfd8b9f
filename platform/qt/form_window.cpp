#include "form_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <algorithm>

namespace quillo::qt {

FormWindow::FormWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint) {}

void FormWindow::closeEvent(QCloseEvent* event) {
  // The window is hidden, not destroyed: its controls stay readable until the program ends.
  QWidget::closeEvent(event);
  if (event->isAccepted()) emit closed();
}

bool FormWindow::focusNextPrevChild(bool next) {
  if (chain_.empty()) return QWidget::focusNextPrevChild(next);
  // The control that holds the focus, or holds the widget that does (a page's render widget).
  const auto n = static_cast<std::ptrdiff_t>(chain_.size());
  std::ptrdiff_t at = next ? -1 : 0;
  for (QWidget* focus = QApplication::focusWidget(); focus != nullptr && focus != this;
       focus = focus->parentWidget()) {
    auto found = std::find(chain_.begin(), chain_.end(), focus);
    if (found != chain_.end()) {
      at = found - chain_.begin();
      break;
    }
  }
  for (std::ptrdiff_t step = 1; step <= n; ++step) {
    QWidget* candidate = chain_[static_cast<size_t>(((at + (next ? step : -step)) % n + n) % n)];
    if (candidate != nullptr && candidate->isVisible() && candidate->isEnabled() &&
        (candidate->focusPolicy() & Qt::TabFocus) != 0) {
      candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return true;
    }
  }
  return false;
}

}  // namespace quillo::qt
