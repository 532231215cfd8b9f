// The page bridge: automation objects over a Qt WebEngine page. Every by-name call is one
// synchronous call into the page, run in an isolated script world that the page's own
// scripts can neither see nor change. A call waits for its answer in a nested event loop
// that takes no user input, for at most the call's time-out; a page that did not answer in
// time counts as hung, and further calls fail at once until it answers again. Calls into a
// page whose renderer is gone fail at once until the page loads again. It must not be used
// from inside a Qt WebEngine callback or signal, where Chromium refuses the nested wait.
//
// The page side (page_bridge.js) keeps the objects it handed out in a registry under a token
// that is new for every document, so an object of a page that has navigated away fails
// quietly. Releases ride along with the next call, and freed ids are given out again lowest
// first, so the calls of one press read like those of the press before and the engine reuses
// its compiled scripts. An element's "all" and its "tags" are the element's descendants, in
// document order.
//
// Calling "tags" on an "all" answers with a look: the collection, a fixed list of its
// elements kept page-side as one registry entry, and what reading each element's type, name,
// id and title gave at that moment. The collection answers "length" and "item" from the
// look, and the elements it hands out answer those four reads from it; any other name, and
// every write, call and event, goes to the page, and an element's first one picks it from
// the list, only while it is still in the same document (otherwise it fails, and stays
// failed). A look answers nothing once one of our own writes, calls or events, a load, a new
// document token, a hang or a crash has come after it.
#pragma once

#include <QPointer>
#include <QWebEnginePage>
#include <functional>
#include <memory>
#include <optional>

#include "automation.h"
#include "page_channel.h"
#include "window_api.h"

namespace quillo::qt {

class PageBridge {
 public:
  // The script world of the bridge's own calls.
  static constexpr quint32 kWorld = PageChannel::kWorld;
  static constexpr unsigned kCallTimeoutMs = 1000;

  explicit PageBridge(QWebEnginePage* page);
  ~PageBridge();
  PageBridge(const PageBridge&) = delete;
  PageBridge& operator=(const PageBridge&) = delete;

  // The document object of the page shown now, or an empty object when the page does not
  // answer within timeoutMs.
  AutomationObject Document(unsigned timeoutMs = kCallTimeoutMs);

  // Answers the document request: an LRESULT that ObjectFromLresult turns into the
  // document object, or std::nullopt when the page does not answer.
  std::optional<LRESULT> DocumentRequest(unsigned timeoutMs, bool abortIfHung);

  // How many objects the page side holds for the current document (the document itself
  // included), after the releases that were still to be sent; -1 when the page does not
  // answer.
  int RegistrySize();

  // True after a call ran out of time, until the page answers again.
  bool hung() const;
  // Called each time the page comes to count as hung.
  void SetHungHandler(std::function<void()> handler);
  // Asks the page, without waiting, whether it answers; an answer ends its hung state.
  void Probe();

  // How many calls have been sent into the page so far (for measurements).
  long long roundTrips() const;

 private:
  std::shared_ptr<PageChannel> channel_;
};

}  // namespace quillo::qt
