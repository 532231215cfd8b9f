// The browser engine as the GUI runtime sees it: it makes the browser boxes and owns the
// engine's profiles. It lives in a module of its own (lib/quillo/quillo_engine.so beside
// bin/), loaded after the window's first paint, so that the engine's libraries stay out of
// the program until then.
#pragma once

#include <QUrl>
#include <QWidget>
#include <cstdint>
#include <memory>

namespace quillo::qt {

class BrowserEngine {
 public:
  virtual ~BrowserEngine() = default;  // destroys the profiles: the boxes must be gone

  struct BoxTraits {
    bool ownProfile;  // a profile, and so a renderer process, of its own; otherwise the
                      // profile shared by the boxes in the window
    bool playsWithoutGesture;
    bool calling;  // holds the calling page
  };
  // A browser box showing address.
  virtual QWidget* createBox(const QUrl& address, QWidget* parent, const BoxTraits& traits) = 0;
  // Whether widget is one of the boxes.
  virtual bool isBox(const QWidget* widget) const = 0;
  virtual std::int32_t registryHandle(const QWidget* box) const = 0;
  virtual void refuseFocus(QWidget* box) = 0;
  // The user asked for a call: the calling box's page may take the microphone from now on.
  virtual void allowMicrophone(QWidget* box) = 0;
  // Ends the message the box's page shows, as if cancelled; true when one was open.
  virtual bool endMessage(QWidget* box) = 0;
};

// The module's entry point.
using MakeBrowserEngine = std::unique_ptr<BrowserEngine> (*)();
inline constexpr char kMakeBrowserEngine[] = "quillo_make_browser_engine";

}  // namespace quillo::qt
