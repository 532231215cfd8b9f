// The window registry behind window_api.h where the system has no such windows of its own.
// Each window has a 32-bit handle, a class name, an ordered list of children and a message
// handler. The GUI runtime registers its windows here; tests build windows of their own.
// Everything runs on the GUI thread; nothing here is thread-safe.
#pragma once

#include <functional>
#include <optional>
#include <string_view>

#include "automation.h"
#include "window_api.h"

namespace quillo::registry {

struct Message {
  UINT id;
  WPARAM wParam;
  LPARAM lParam;
  UINT flags;
  UINT timeoutMs;
};

// Answers one message. std::nullopt means the window did not answer (it is hung, or the
// wait ran out), which leaves the sender's reply at 0.
using MessageHandler = std::function<std::optional<LRESULT>(const Message&)>;

// Creates a window as the last child of parent (nullptr: a top-level window).
HWND CreateWindow(std::string_view className, HWND parent = nullptr, MessageHandler handler = {});

// Destroys the window and all its descendants; their handles are never given out again.
void DestroyWindow(HWND window);

void SetMessageHandler(HWND window, MessageHandler handler);

// Turns a document object into an LRESULT that ObjectFromLresult turns back into a new
// reference to it, once. The registry keeps only the most recent results that were never
// turned back, so unanswered requests cannot make it grow.
LRESULT LresultFromObject(const AutomationObject& document);

// Drops the results that were never turned back, releasing their references; for shut-down,
// before the pages they refer to go away.
void ForgetUnclaimedResults();

// How often CoInitialize and CoUninitialize have been called since the process started.
int CoInitializeCount();
int CoUninitializeCount();

}  // namespace quillo::registry
