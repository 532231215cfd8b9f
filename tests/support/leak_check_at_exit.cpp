// Has LeakSanitizer's check at exit, which runs after every other exit handler, see the
// process as it was: every real leak and nothing else.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

// Every shared library stays loaded until the process ends, so memory that only Qt's and
// Mesa's plugins and drivers still point to does not look leaked.
extern "C" int dlclose(void*) { return 0; }

namespace {

// The toolkit's D-Bus and X event threads free their bookkeeping in thread-local destructors
// after their owners stop waiting for them; the check waits until they have gone.
void WaitForToolkitThreads() {
  for (int waited = 0; waited < 2000; ++waited, usleep(1000)) {
    bool running = false;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
      std::string name;
      std::getline(std::ifstream(task.path() / "comm"), name);
      running = running || name == "QDBusConnection" || name == "QXcbEventQueue";
    }
    if (!running) return;
  }
}

// Registered before main, so it runs after the exit handlers of everything the toolkit
// creates later, and before the sanitizer's, which was registered first of all.
[[maybe_unused]] const int registered = std::atexit(WaitForToolkitThreads);

}  // namespace
