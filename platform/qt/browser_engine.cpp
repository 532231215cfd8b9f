// The module's side of the engine: browser boxes and the profiles they live in.
#include "browser_engine.h"

#include <QWebEngineDownloadRequest>
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
  EngineBox* createBox(const QUrl& address, QWidget* parent, const BoxTraits& traits) override {
    if (shared_ == nullptr) shared_ = NewProfile();
    QWebEngineProfile* profile = traits.ownProfile ? NewProfile() : shared_;
    auto* box = new BrowserBox(address, parent, profile,
                               traits.calling ? BoxPage::Role::Calling : BoxPage::Role::Other);
    if (traits.playsWithoutGesture) {
      box->page()->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    }
    return box;
  }

 private:
  // Each download goes to the page that started it, which answers it.
  QWebEngineProfile* NewProfile() {
    QWebEngineProfile* profile =
        profiles_.emplace_back(std::make_unique<QWebEngineProfile>()).get();
    QObject::connect(profile, &QWebEngineProfile::downloadRequested, profile,
                     [](QWebEngineDownloadRequest* download) {
                       if (auto* page = qobject_cast<BoxPage*>(download->page())) {
                         page->answerDownload(download);
                       } else {
                         download->cancel();
                       }
                     });
    return profile;
  }

  std::vector<std::unique_ptr<QWebEngineProfile>> profiles_;
  QWebEngineProfile* shared_ = nullptr;
};

}  // namespace
}  // namespace quillo::qt

extern "C" __attribute__((visibility("default"))) std::unique_ptr<quillo::qt::BrowserEngine>
quillo_make_browser_engine() {
  return std::make_unique<quillo::qt::Engine>();
}
