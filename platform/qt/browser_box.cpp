#include "browser_box.h"

#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include "page_bridge.h"
#include "page_keeper.h"
#include "window_registry.h"

namespace quillo::qt {

BrowserBox::BrowserBox(const QUrl& address, QWidget* parent, QWebEngineProfile* profile,
                       BoxPage::Role role)
    : QWebEngineView(parent) {
  // The page is the view's child, so it goes right after the view, before the profile.
  setPage(new BoxPage(profile, role, this));
  bridge_ = std::make_unique<PageBridge>(page());
  keeper_ = std::make_unique<PageKeeper>(page(), *bridge_);
  outer_ = registry::CreateWindow("Shell Embedding");
  view_ = registry::CreateWindow("Shell DocObject View", outer_);
  server_ = registry::CreateWindow(
      kBrowserServerClass, view_,
      [bridge = bridge_.get()](const registry::Message& message) -> std::optional<LRESULT> {
        if (message.id != RegisterWindowMessageA(kDocumentRequestMessage)) return std::nullopt;
        return bridge->DocumentRequest(message.timeoutMs, (message.flags & SMTO_ABORTIFHUNG) != 0);
      });
  load(address);
}

BrowserBox::~BrowserBox() {
  // The windows go first, so no request can reach the bridge while it is torn down.
  registry::DestroyWindow(outer_);
}

void BrowserBox::refuseFocus() {
  page()->settings()->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
  // A disabled widget never takes the focus, whoever asks: Tab, a click, the engine's render
  // widget on a page script's focus() or on the window's activation. The page still runs.
  setFocusPolicy(Qt::NoFocus);
  clearFocus();
  setEnabled(false);
}

}  // namespace quillo::qt
