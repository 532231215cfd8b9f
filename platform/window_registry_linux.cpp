#include "window_registry.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillo::registry {
namespace {

struct Window {
  std::string className;
  HWND parent = nullptr;
  std::vector<HWND> children;
  std::shared_ptr<MessageHandler> handler;
};

struct Registry {
  std::map<std::int32_t, Window> windows;
  std::vector<HWND> topLevel;
  std::int32_t nextHandle = 0x10010;
  std::map<std::string, UINT, std::less<>> messages;
  UINT nextMessage = 0xC000;  // registered messages live in 0xC000..0xFFFF
  std::deque<std::pair<LRESULT, AutomationObject>> results;
  LRESULT nextResult = 1;
  int coInitialize = 0;
  int coUninitialize = 0;
};

Registry& state() {
  static Registry instance;
  return instance;
}

constexpr size_t kKeptResults = 16;

Window* Find(HWND window) {
  auto it = state().windows.find(quillo::HandleFromWindow(window));
  return it == state().windows.end() ? nullptr : &it->second;
}

std::vector<HWND>* ChildrenOf(HWND parent) {
  if (parent == nullptr) return &state().topLevel;
  Window* window = Find(parent);
  return window ? &window->children : nullptr;
}

}  // namespace

HWND CreateWindow(std::string_view className, HWND parent, MessageHandler handler) {
  Registry& r = state();
  std::vector<HWND>* siblings = ChildrenOf(parent);
  if (siblings == nullptr) return nullptr;
  const std::int32_t handle = r.nextHandle;
  // Handles start above 0x10000, clear of 0 and of small numbers that read like counts, and
  // step by 4 as the system's do (their low two bits are free); none is ever reused, so a
  // stale handle never names a newer window.
  r.nextHandle += 4;
  HWND window = quillo::WindowFromHandle(handle);
  Window& created = r.windows[handle];
  created.className = std::string(className);
  created.parent = parent;
  if (handler) created.handler = std::make_shared<MessageHandler>(std::move(handler));
  siblings->push_back(window);
  return window;
}

void DestroyWindow(HWND window) {
  Window* found = Find(window);
  if (found == nullptr) return;
  const std::vector<HWND> children = found->children;
  for (HWND child : children) DestroyWindow(child);
  if (std::vector<HWND>* siblings = ChildrenOf(found->parent)) {
    siblings->erase(std::remove(siblings->begin(), siblings->end(), window), siblings->end());
  }
  state().windows.erase(quillo::HandleFromWindow(window));
}

void SetMessageHandler(HWND window, MessageHandler handler) {
  if (Window* found = Find(window)) {
    found->handler = handler ? std::make_shared<MessageHandler>(std::move(handler)) : nullptr;
  }
}

LRESULT LresultFromObject(const AutomationObject& document) {
  Registry& r = state();
  if (document.IsEmpty()) return 0;
  const LRESULT result = r.nextResult++;
  r.results.emplace_back(result, document);
  while (r.results.size() > kKeptResults) r.results.pop_front();
  return result;
}

void ForgetUnclaimedResults() { state().results.clear(); }

int CoInitializeCount() { return state().coInitialize; }
int CoUninitializeCount() { return state().coUninitialize; }

}  // namespace quillo::registry

using quillo::registry::Find;
using quillo::registry::state;

namespace quillo {

// The registry's ObjectFromLresult delivers the Dispatch itself.
Dispatch* AdoptInterface(void* raw) noexcept { return static_cast<Dispatch*>(raw); }

}  // namespace quillo

BOOL IsWindow(HWND window) { return Find(window) != nullptr ? 1 : 0; }

HWND FindWindowExA(HWND parent, HWND childAfter, LPCSTR className, LPCSTR windowName) {
  (void)windowName;  // our windows have no titles to match
  const std::vector<HWND>* siblings = quillo::registry::ChildrenOf(parent);
  if (siblings == nullptr) return nullptr;
  auto it = siblings->begin();
  if (childAfter != nullptr) {
    it = std::find(siblings->begin(), siblings->end(), childAfter);
    if (it == siblings->end()) return nullptr;
    ++it;
  }
  for (; it != siblings->end(); ++it) {
    if (className == nullptr || Find(*it)->className == className) return *it;
  }
  return nullptr;
}

int GetClassNameA(HWND window, LPSTR buffer, int bufferSize) {
  const auto* found = Find(window);
  if (found == nullptr || buffer == nullptr || bufferSize <= 0) return 0;
  const size_t length = std::min(found->className.size(), static_cast<size_t>(bufferSize) - 1);
  std::memcpy(buffer, found->className.data(), length);
  buffer[length] = '\0';
  return static_cast<int>(length);
}

UINT RegisterWindowMessageA(LPCSTR name) {
  if (name == nullptr || *name == '\0') return 0;
  auto& r = state();
  auto it = r.messages.find(std::string_view(name));
  if (it != r.messages.end()) return it->second;
  if (r.nextMessage > 0xFFFF) return 0;
  return r.messages.emplace(name, r.nextMessage++).first->second;
}

LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeoutMs, DWORD_PTR* result) {
  const auto* found = Find(window);
  if (found == nullptr || !found->handler) return 0;
  // The handler may destroy the window; keep it alive for the length of the call.
  const std::shared_ptr<quillo::registry::MessageHandler> handler = found->handler;
  const std::optional<LRESULT> reply = (*handler)({message, wParam, lParam, flags, timeoutMs});
  if (!reply) return 0;
  if (result != nullptr) *result = static_cast<DWORD_PTR>(*reply);
  return 1;
}

HRESULT ObjectFromLresult(LRESULT lResult, REFIID riid, WPARAM wParam, void** object) {
  (void)wParam;
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  auto& results = state().results;
  auto it = std::find_if(results.begin(), results.end(),
                         [&](const auto& entry) { return entry.first == lResult; });
  if (lResult == 0 || it == results.end()) return E_INVALIDARG;
  quillo::AutomationObject document = std::move(it->second);
  results.erase(it);
  if (!(riid == IID_IHTMLDocument)) return E_NOINTERFACE;
  document.get()->AddRef();
  *object = document.get();
  return S_OK;
}

HRESULT CoInitialize(void* reserved) {
  (void)reserved;
  return state().coInitialize++ - state().coUninitialize == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() { ++state().coUninitialize; }
