// Registry windows for the tests, and a browser box of them that serves a fake page.
#pragma once

#include <gtest/gtest.h>

#include "fake_page.h"
#include "window_registry.h"

namespace quillo::testing {

// Owns a window (and with it its descendants) in the registry.
class RegistryWindow {
 public:
  RegistryWindow(std::string_view className, HWND parent = nullptr,
                 registry::MessageHandler handler = {})
      : window_(registry::CreateWindow(className, parent, std::move(handler))) {}
  ~RegistryWindow() { Destroy(); }
  RegistryWindow(const RegistryWindow&) = delete;
  RegistryWindow& operator=(const RegistryWindow&) = delete;

  HWND get() const { return window_; }
  std::int32_t handle() const { return HandleFromWindow(window_); }
  void Destroy() { registry::DestroyWindow(window_); }

 private:
  HWND window_ = nullptr;
};

// Answers the document request, which must have no parameters and a bounded wait, with the page.
inline registry::MessageHandler AnswerDocument(FakePage& dom) {
  return [&dom](const registry::Message& message) -> std::optional<LRESULT> {
    if (message.id != RegisterWindowMessageA("WM_HTML_GETOBJECT")) return std::nullopt;
    EXPECT_EQ(std::tuple(message.wParam, message.lParam, message.flags, message.timeoutMs),
              std::tuple(0u, 0, SMTO_ABORTIFHUNG, 1000u));
    return registry::LresultFromObject(dom.Document());
  };
}

class FakeBrowser {
 public:
  explicit FakeBrowser(FakePage& dom)
      : server_("Internet Explorer_Server", view_.get(), AnswerDocument(dom)) {}
  std::int32_t outer() const { return outer_.handle(); }

 private:
  RegistryWindow outer_{"Shell Embedding"}, view_{"Shell DocObject View", outer_.get()}, server_;
};

}  // namespace quillo::testing
