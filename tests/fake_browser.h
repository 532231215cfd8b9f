// A browser box in the window registry, built per test: an outer window, a window between,
// and the browser's document window, which answers the document request with a page.
#pragma once

#include <string>

#include "automation.h"
#include "fake_page.h"
#include "window_registry.h"

namespace quillo::testing {

// Owns a window (and with it its descendants) in the registry; destroys it when it goes.
class RegistryWindow {
 public:
  RegistryWindow(std::string_view className, HWND parent = nullptr,
                 registry::MessageHandler handler = {})
      : window_(registry::CreateWindow(className, parent, std::move(handler))) {}
  ~RegistryWindow() { registry::DestroyWindow(window_); }
  RegistryWindow(const RegistryWindow&) = delete;
  RegistryWindow& operator=(const RegistryWindow&) = delete;

  HWND get() const { return window_; }
  std::int32_t handle() const { return HandleFromWindow(window_); }
  void Destroy() { registry::DestroyWindow(window_); }

 private:
  HWND window_ = nullptr;
};

// A handler for the browser's document window: answers "WM_HTML_GETOBJECT" with the
// page's document, and nothing else. It holds no reference between requests.
inline registry::MessageHandler AnswerDocument(FakePage& dom) {
  return [&dom](const registry::Message& message) -> std::optional<LRESULT> {
    if (message.id != RegisterWindowMessageA("WM_HTML_GETOBJECT")) return std::nullopt;
    return registry::LresultFromObject(dom.Document());
  };
}

class FakeBrowser {
 public:
  explicit FakeBrowser(FakePage& dom)
      : outer_("Shell Embedding"),
        view_("Shell DocObject View", outer_.get()),
        server_("Internet Explorer_Server", view_.get(), AnswerDocument(dom)) {}

  std::int32_t outer() const { return outer_.handle(); }

 private:
  RegistryWindow outer_;
  RegistryWindow view_;
  RegistryWindow server_;
};

}  // namespace quillo::testing
