#include "form_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <algorithm>
#include <optional>

#include "window_rules.h"

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
  std::optional<size_t> at;
  for (QWidget* focus = QApplication::focusWidget(); focus != nullptr && focus != this;
       focus = focus->parentWidget()) {
    auto found = std::find(chain_.begin(), chain_.end(), focus);
    if (found != chain_.end()) {
      at = static_cast<size_t>(found - chain_.begin());
      break;
    }
  }
  const auto to = rules::TabStep(chain_.size(), at, !next, [this](size_t i) {
    const QWidget* candidate = chain_[i];
    return candidate != nullptr && candidate->isVisible() && candidate->isEnabled() &&
           (candidate->focusPolicy() & Qt::TabFocus) != 0;
  });
  if (!to) return false;
  chain_[*to]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
  return true;
}

}  // namespace quillo::qt
