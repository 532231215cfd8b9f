// Services of the GUI runtime that the core needs without knowing the toolkit.
#pragma once

#include <functional>

namespace quillo {

// Lets the GUI runtime handle the messages and events that are waiting, once. Does nothing
// until the runtime installs its hook.
void ProcessPendingMessages();

// Installs the routine behind ProcessPendingMessages (an empty one removes it). The GUI
// runtime installs its event processing here; tests install handlers of their own.
void SetProcessPendingMessagesHook(std::function<void()> hook);

}  // namespace quillo
