// Real pages in the real browser engine, for tests and benchmarks.
#pragma once

#include <QApplication>
#include <QString>
#include <QTest>
#include <QVariant>
#include <memory>
#include <string_view>

#include "browser_box.h"
#include "web_page_operator.h"

namespace quillo::testing {

inline constexpr char kNumber[] = "+8613800138000";

// What one press of the call button achieved: bind, fill "phone-number", click "ext-gen69".
struct Pressed {
  bool bound = false;
  bool filled = false;
  bool clicked = false;
  bool works() const { return bound && filled && clicked; }
};

// Prepares the process for Qt WebEngine and makes the application object, before anything else.
std::unique_ptr<QApplication> MakeEngineApplication(int& argc, char** argv);

// A shown browser box with a page loaded from HTML, live: visible, its timers running.
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

  // Dials number on the page as the call button does, with op.
  Pressed Press(WebPageOperator& op, std::string_view number = kNumber);
  // The same with an operator of its own.
  Pressed Press();
  // Keeps the page's own thread busy for ms from now (a negative ms: for ever).
  void KeepBusy(int ms);
  // The script that does so, for a page of a test's own.
  static QString BusyScript(int ms);
  // Ends the page's renderer as a crash would.
  void KillRenderer();

  qt::BrowserBox& box() { return *box_; }

 private:
  std::unique_ptr<QWidget> window_;
  qt::BrowserBox* box_ = nullptr;  // owned by window_
};

// The data-index of the element an object refers to; -1 for no object, -2 for none.
int IndexOf(const AutomationObject& element);

// One page for a whole benchmark, made on first use; released before the application goes.
EnginePage& SharedPage();
void ReleaseSharedPage();

}  // namespace quillo::testing
