#include "gui_runtime.h"

#include <memory>
#include <utility>

namespace quillo {
namespace {

using Hook = std::function<void(std::chrono::milliseconds)>;

std::shared_ptr<Hook>& hook() {
  static std::shared_ptr<Hook> instance;
  return instance;
}

}  // namespace

void ProcessPendingMessages() { ProcessMessagesFor(std::chrono::milliseconds(0)); }

void ProcessMessagesFor(std::chrono::milliseconds time) {
  // A copy keeps the routine alive even if it replaces the hook while it runs.
  if (auto current = hook()) (*current)(time);
}

void SetProcessPendingMessagesHook(Hook routine) {
  hook() = routine ? std::make_shared<Hook>(std::move(routine)) : nullptr;
}

}  // namespace quillo
