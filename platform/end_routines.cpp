// Exit and the end routines, the same for every GUI runtime; the runtime's own teardown
// comes last.
#include <utility>
#include <vector>

#include "gui_runtime.h"

namespace quillo {
namespace {

std::vector<std::function<void()>>& routines() {
  static std::vector<std::function<void()>> instance;
  return instance;
}

}  // namespace

int Exit(int code) {
  std::vector<std::function<void()>> taken = std::exchange(routines(), {});
  for (auto routine = taken.rbegin(); routine != taken.rend(); ++routine) (*routine)();
  SetProcessPendingMessagesHook({});
  TearDownRuntime();
  return code;
}

void RegisterEndRoutine(std::function<void()> routine) { routines().push_back(std::move(routine)); }

}  // namespace quillo
