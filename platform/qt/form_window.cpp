#include "form_window.h"

#include <QCloseEvent>

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

}  // namespace quillo::qt
