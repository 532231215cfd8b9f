// The program's top-level window: a plain widget with a fixed client area that tells the
// runtime when it has been closed through its frame. It holds no state of its own; what it
// shows comes from the window's table.
#pragma once

#include <QWidget>

namespace quillo::qt {

class FormWindow : public QWidget {
  Q_OBJECT

 public:
  explicit FormWindow(QWidget* parent = nullptr);

 signals:
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
};

}  // namespace quillo::qt
