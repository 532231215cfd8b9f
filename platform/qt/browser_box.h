// A browser box: a Qt WebEngine view that loads its page when it is created, and whose
// windows stand in the window registry as a browser control's do: the box's own window,
// a view window below it, and below that the document window of class
// "Internet Explorer_Server", which answers "WM_HTML_GETOBJECT" with the document of the
// page the box shows at that moment. It does not decide where it stands or whether it shows:
// the GUI runtime does.
#pragma once

#include <QUrl>
#include <QWebEngineView>
#include <cstdint>
#include <memory>

#include "box_page.h"
#include "browser_engine.h"
#include "window_api.h"

class QWebEngineProfile;

namespace quillo::qt {

class PageBridge;
class PageKeeper;

class BrowserBox : public QWebEngineView, public EngineBox {
  Q_OBJECT

 public:
  // The page lives in profile, which must outlive the box; nullptr: the engine's default.
  BrowserBox(const QUrl& address, QWidget* parent = nullptr, QWebEngineProfile* profile = nullptr,
             BoxPage::Role role = BoxPage::Role::Other);
  ~BrowserBox() override;

  QWidget* widget() override { return this; }
  // The box's own window in the registry (what "control window handle" gives).
  std::int32_t registryHandle() const override { return HandleFromWindow(outer_); }

  BoxPage& boxPage() { return *static_cast<BoxPage*>(page()); }
  PageBridge& bridge() { return *bridge_; }
  PageKeeper& keeper() { return *keeper_; }

  // Keeps the keyboard focus out of the box for good: no Tab, click, page script or
  // reactivated window gives it the focus. For a box the user cannot see.
  void refuseFocus() override;
  void allowMicrophone() override { boxPage().allowMicrophone(); }
  bool endMessage() override { return boxPage().endMessage(); }

 private:
  std::unique_ptr<PageBridge> bridge_;
  std::unique_ptr<PageKeeper> keeper_;  // goes before the bridge it watches
  HWND outer_ = nullptr;
  HWND view_ = nullptr;
  HWND server_ = nullptr;
};

}  // namespace quillo::qt
