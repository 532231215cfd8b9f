#include "gui_runtime.h"

#include <memory>
#include <utility>

namespace quillo {
namespace {

std::shared_ptr<std::function<void()>>& hook() {
  static std::shared_ptr<std::function<void()>> instance;
  return instance;
}

}  // namespace

void ProcessPendingMessages() {
  // A copy keeps the routine alive even if it replaces the hook while it runs.
  if (auto current = hook()) (*current)();
}

void SetProcessPendingMessagesHook(std::function<void()> routine) {
  hook() = routine ? std::make_shared<std::function<void()>>(std::move(routine)) : nullptr;
}

}  // namespace quillo
