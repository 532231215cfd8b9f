#include "startup.h"

#include "dialer.h"
#include "gui_runtime.h"
#include "main_window.h"

namespace quillo::app {

int StartUp() {
  Operator() = std::make_unique<WebPageOperator>();  // initialises COM on this thread
  RegisterEndRoutine([] { Operator().reset(); });
  LoadWindow(MainWindow());
  RunMessageLoop();
  return Exit(0);
}

}  // namespace quillo::app
