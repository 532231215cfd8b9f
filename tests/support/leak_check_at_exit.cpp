// Has LeakSanitizer's check at exit, which runs after every other exit handler, see the
// process as it was, so that it still reports every real leak and nothing else.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>

// Every shared library stays loaded until the process ends. Otherwise the check runs after
// Qt and Mesa have unloaded their plugins and drivers, and memory that only those
// libraries' own data still pointed to would look leaked.
extern "C" int dlclose(void*) { return 0; }

namespace {

// Whether a thread of this process has one of these names.
bool ThreadRuns(std::initializer_list<std::string_view> names) {
  std::error_code error;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    if (!std::getline(comm, name)) continue;
    for (std::string_view wanted : names) {
      if (name == wanted) return true;
    }
  }
  return false;
}

// The toolkit's D-Bus and X event threads free their bookkeeping in thread-local destructors
// after their owners stop waiting for them; the check waits until they have gone.
void WaitForToolkitThreads() {
  for (int waited = 0; waited < 2000 && ThreadRuns({"QDBusConnection", "QXcbEventQueue"});
       ++waited) {
    usleep(1000);
  }
}

// Registered before main, so it runs after the exit handlers of everything the toolkit
// creates later, and before the sanitizer's, which was registered first of all.
[[maybe_unused]] const int registered = std::atexit(WaitForToolkitThreads);

}  // namespace
