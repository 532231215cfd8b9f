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

// A browser box as the runtime sees it: the widget it places in the window, and what the
// runtime asks of the box's page.
class EngineBox {
 public:
  virtual QWidget* widget() = 0;
  // The box's window in the window registry, with the document window below it.
  virtual std::int32_t registryHandle() const = 0;
  // The box never takes the keyboard focus, not even from a click into its page.
  virtual void refuseFocus() = 0;
  // The user asked for a call: the calling box's page may take the microphone from now on.
  virtual void allowMicrophone() = 0;
  // Ends the message the box's page shows, as if cancelled; true when one was open.
  virtual bool endMessage() = 0;

 protected:
  ~EngineBox() = default;  // the box belongs to its parent widget
};

class BrowserEngine {
 public:
  virtual ~BrowserEngine() = default;  // destroys the profiles: the boxes must be gone

  struct BoxTraits {
    bool ownProfile;  // a profile, and so a renderer process, of its own; otherwise the
                      // profile shared by the boxes in the window
    bool playsWithoutGesture;
    bool calling;  // holds the calling page
  };
  // A browser box showing address, owned by parent.
  virtual EngineBox* createBox(const QUrl& address, QWidget* parent, const BoxTraits& traits) = 0;
};

// The module's entry point.
using MakeBrowserEngine = std::unique_ptr<BrowserEngine> (*)();
inline constexpr char kMakeBrowserEngine[] = "quillo_make_browser_engine";

}  // namespace quillo::qt
