// The start-up routine run in this process, its window closed through the frame by the
// window manager (WM_DELETE_WINDOW, as a close button sends): the operator lives once, and
// the end routine runs once, after the message loop has returned.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <QThread>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "gui_runtime.h"
#include "gui_runtime_qt.h"
#include "main_window.h"
#include "startup.h"
#include "window_registry.h"

namespace quillo {
namespace {

constexpr const char* kCaption = "Quillo BY中国人，中国范~";

// Asks the window manager to close the window once it is managed; a shell that could not start
// (127) never sent the request, so it is sent again, while wmctrl's own failure counts.
void CloseThroughTheFrame() {
  const std::string listed = std::string("wmctrl -l | grep -qF '") + kCaption + "'";
  for (int i = 0; i < 600 && std::system(listed.c_str()) != 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const std::string close = std::string("wmctrl -c '") + kCaption + "'";
  int status = std::system(close.c_str());
  for (int i = 0; i < 50 && (status == -1 || WEXITSTATUS(status) == 127); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    status = std::system(close.c_str());
  }
  EXPECT_EQ(status, 0) << "wmctrl could not ask the window manager to close the window";
}

TEST(StartUp, ClosingTheWindowEndsTheProgramCleanlyAndOnce) {
  const int initialised = registry::CoInitializeCount();
  const int uninitialised = registry::CoUninitializeCount();
  struct AtEnd {
    int runs = 0;
    int loopLevel = -1;
    int uninitialised = -1;
    bool windowThere = false;
    Text number = "unread";
  } atEnd;
  // Registered before the program's own routine, so it runs after it.
  RegisterEndRoutine([&] {
    ++atEnd.runs;
    atEnd.loopLevel = QThread::currentThread()->loopLevel();
    atEnd.uninitialised = registry::CoUninitializeCount();
    atEnd.windowThere = qt::LoadedWindow() != nullptr;
    atEnd.number = ReadControlText(app::kNumberBox);
  });

  std::thread closer(CloseThroughTheFrame);
  const int code = app::StartUp();
  closer.join();

  EXPECT_EQ(code, 0);
  EXPECT_EQ(registry::CoInitializeCount() - initialised, 1);
  EXPECT_EQ(registry::CoUninitializeCount() - uninitialised, 1);
  EXPECT_EQ(atEnd.runs, 1);
  EXPECT_EQ(atEnd.loopLevel, 0) << "the end routines run once the message loop has returned";
  EXPECT_EQ(atEnd.uninitialised - uninitialised, 1) << "the program's end routine ran first";
  EXPECT_TRUE(atEnd.windowThere) << "services still work in the end routines";
  EXPECT_EQ(atEnd.number, "");
  EXPECT_EQ(qt::LoadedWindow(), nullptr);
}

}  // namespace
}  // namespace quillo
