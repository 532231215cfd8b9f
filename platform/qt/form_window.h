// The program's top-level window: a plain widget with a fixed client area that tells the
// runtime when it has been closed through its frame. It holds no state of its own; what it
// shows comes from the window's table.
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

namespace quillo::qt {

class FormWindow : public QWidget {
  Q_OBJECT

 public:
  explicit FormWindow(QWidget* parent = nullptr);

  // The controls Tab and Shift+Tab move among, in order; empty: Qt's own chain. A control
  // that is hidden, disabled or takes no Tab focus is passed over.
  void setTabChain(std::vector<QPointer<QWidget>> chain) { chain_ = std::move(chain); }

 signals:
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  std::vector<QPointer<QWidget>> chain_;
};

}  // namespace quillo::qt
