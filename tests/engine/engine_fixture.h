// Real pages in the real browser engine, for tests and benchmarks: a browser box that loads
// a page and waits for it, and a way to read the page from its own script world.
#pragma once

#include <QApplication>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

#include "browser_box.h"

namespace quillo::testing {

// Lets the event loop run until done() is true or the time runs out; true when done.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

// Prepares the process for Qt WebEngine (sandbox off as root, shared GL contexts, no
// display unless QT_QPA_PLATFORM asks for one) and makes the application object. Call once, before anything else of Qt.
std::unique_ptr<QApplication> MakeEngineApplication(int& argc, char** argv);

// A shown browser box with a page loaded from HTML. The page is live: it counts as visible
// and its timers run.
class EnginePage {
 public:
  EnginePage();
  ~EnginePage();

  // Loads a whole HTML document and waits until it has loaded (at most timeoutMs).
  bool Load(const QString& html, int timeoutMs = 10000);
  // A page whose body holds these elements, with a click counter per element.
  bool LoadBody(const QString& body);

  // Runs script in a script world (the page's own by default) and waits for its value.
  QVariant Evaluate(const QString& script, quint32 world = 0, int timeoutMs = 5000);

  qt::BrowserBox& box() { return *box_; }

 private:
  std::unique_ptr<QWidget> window_;
  qt::BrowserBox* box_ = nullptr;  // owned by window_
};

// Dials on page as the call button does: binds to its box, fills "phone-number" and clicks
// "ext-gen69". True when all three worked.
bool PressWorks(EnginePage& page);

// Ends the page's renderer as a crash would.
void KillRenderer(QWebEnginePage* page);

// One page for a whole program (a benchmark's), made on first use. ReleaseSharedPage() must
// run before the application goes, so the page never outlives the engine.
EnginePage& SharedPage();
void ReleaseSharedPage();

}  // namespace quillo::testing
