// Runs the window's tests against the real MainWindow, loaded once by the GUI runtime.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "gui_runtime.h"
#include "gui_runtime_qt.h"
#include "gui_support.h"
#include "main_window.h"
#include "process_switches.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  quillo::qt::PrepareToolkit();  // as the program does
  QApplication application(argc, argv);
  quillo::LoadWindow(quillo::app::MainWindow());
  if (!QTest::qWaitFor(quillo::qt::BrowserBoxesStarted, 30000)) return 1;
  const int code = RUN_ALL_TESTS();
  return quillo::Exit(code);
}
