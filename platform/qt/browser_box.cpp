#include "browser_box.h"

#include "page_bridge.h"
#include "page_keeper.h"
#include "window_registry.h"

namespace quillo::qt {

BrowserBox::BrowserBox(const QUrl& address, QWidget* parent)
    : QWebEngineView(parent), bridge_(std::make_unique<PageBridge>(page())) {
  keeper_ = std::make_unique<PageKeeper>(page(), *bridge_);
  outer_ = windows::CreateWindow("Shell Embedding");
  view_ = windows::CreateWindow("Shell DocObject View", outer_);
  server_ = windows::CreateWindow(
      "Internet Explorer_Server", view_,
      [bridge = bridge_.get()](const windows::Message& message) -> std::optional<LRESULT> {
        if (message.id != RegisterWindowMessageA("WM_HTML_GETOBJECT")) return std::nullopt;
        return bridge->DocumentRequest(message.timeoutMs, (message.flags & SMTO_ABORTIFHUNG) != 0);
      });
  load(address);
}

BrowserBox::~BrowserBox() {
  // The windows go first, so no request can reach the bridge while it is torn down.
  windows::DestroyWindow(outer_);
}

}  // namespace quillo::qt
