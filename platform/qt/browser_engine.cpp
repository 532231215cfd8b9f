// The module's side of the engine: browser boxes and the profiles they live in.
#include "browser_engine.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <vector>

#include "browser_box.h"

namespace quillo::qt {
namespace {

// Off-the-record profiles: one shared by the boxes in the window, one of its own for each
// box out of the user's sight (its page gets a renderer process of its own, as the engine
// never shares one between profiles).
class Engine : public BrowserEngine {
 public:
  QWidget* createBox(const QUrl& address, QWidget* parent, bool ownProfile,
                     bool playsWithoutGesture) override {
    if (shared_ == nullptr) shared_ = profiles_.emplace_back(std::make_unique<QWebEngineProfile>()).get();
    QWebEngineProfile* profile = shared_;
    if (ownProfile) profile = profiles_.emplace_back(std::make_unique<QWebEngineProfile>()).get();
    auto* box = new BrowserBox(address, parent, profile);
    if (playsWithoutGesture) {
      box->page()->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture,
                                            false);
    }
    return box;
  }

  bool isBox(const QWidget* widget) const override {
    return qobject_cast<const BrowserBox*>(widget) != nullptr;
  }

  std::int32_t windowHandle(const QWidget* box) const override {
    return qobject_cast<const BrowserBox*>(box)->windowHandle();
  }

  void refuseFocus(QWidget* box) override { qobject_cast<BrowserBox*>(box)->refuseFocus(); }

 private:
  std::vector<std::unique_ptr<QWebEngineProfile>> profiles_;
  QWebEngineProfile* shared_ = nullptr;
};

}  // namespace
}  // namespace quillo::qt

extern "C" __attribute__((visibility("default"))) std::unique_ptr<quillo::qt::BrowserEngine>
quillo_make_browser_engine() {
  return std::make_unique<quillo::qt::Engine>();
}
