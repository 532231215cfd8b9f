// WebPageOperator drives an HTML page shown in an embedded browser box, as a user would. It
// binds to the box's window, holds the page's document object, finds input and button
// elements by name, id, title or position, writes a text box's value and clicks a button.
// It does not wait for pages to load, retry, report errors or watch the page: every failure
// is a false, a 0 or an empty object.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>

#include "automation.h"

namespace quillo {

// How long the document request waits for the browser's document window.
inline constexpr unsigned kDocumentRequestTimeoutMs = 1000;

// What a fill tells the page after the write, in this order, as a person's typing tells it:
// frameworks keep their model from these events, not from the value itself.
inline constexpr std::string_view kEditEvents[] = {"input", "change"};
// The page's turn after a fill, before anything else is done to it: its scripts and timers
// run, as they would between a person's typing and click (some frameworks take a field's
// change a few tens of milliseconds late).
inline constexpr std::chrono::milliseconds kPageTurn{100};

// The two element families and the filters of their types.
inline constexpr std::string_view kTextBoxTypes = "text|password|file";
inline constexpr std::string_view kButtonTypes = "button|submit|reset";

// The element search's numbers. A key read as a number, truncated toward zero to a 32-bit
// integer: a value that does not fit, or that is not finite, gives fallback instead of
// undefined behaviour.
int ToInt32OrFallback(double value, int fallback);
// A collection's length as a count: truncated toward zero and clamped to [0, INT32_MAX]; a
// non-finite or negative length counts as 0, a huge one as INT32_MAX.
int ClampLength(double length);

// True when the handle names a window.
bool IsLiveWindow(std::int32_t window);

// The window's class name, as at most 49 bytes; empty when the window is gone.
Text GetWindowClassName(std::int32_t window);

class WebPageOperator {
 public:
  // Initialises COM on the calling thread (the GUI thread).
  WebPageOperator();
  // Releases the document object, then uninitialises COM once.
  ~WebPageOperator();

  // A new operator that shares the document object and the bound window, with its own COM
  // initialisation.
  std::unique_ptr<WebPageOperator> Copy() const;

  // Binds to a browser box's window: checks the handle, keeps it as the bound window and
  // acquires the document shown at or below it. True when a document object is held after.
  bool Bind(std::int32_t window);
  // A new reference to the held document object (empty when none is held).
  AutomationObject GetDocument() const;
  // Gives up the held document object; the bound window stays.
  void ReleaseDocument();
  // The first browser document window strictly below parent, depth first and pre-order, or
  // 0. Lets the GUI runtime process pending messages between siblings.
  std::int32_t FindBrowserServerWindow(std::int32_t parent);
  // Asks the browser document window at or below window for its document and stores the
  // answer in document. True when the document request succeeded.
  bool AcquireDocument(std::int32_t window, AutomationObject& document);
  // The element search: input elements, then (when typeFilter contains "button") button
  // elements, whose type occurs in typeFilter, matched by name, id or title against key
  // (passing over skip matches) or by their 1-based position among the candidates.
  // position counts the candidates met; it is the found element's position, or -1.
  AutomationObject FindFormElement(std::string_view typeFilter, std::string_view key,
                                   std::int32_t skip, std::int32_t& position);
  AutomationObject FindTextBox(std::string_view key, std::int32_t skip);
  // Writes text unchanged into the text box's value, without focusing it; then tells the
  // page (kEditEvents) and gives it its turn (kPageTurn). True when the write succeeded; a
  // fill that wrote nothing tells nothing and does not wait.
  bool FillTextBox(std::string_view key, std::string_view text, std::int32_t skip);
  AutomationObject FindButton(std::string_view key, std::int32_t skip);
  // Calls the button's own click. True when a button was found.
  bool ClickButton(std::string_view key, std::int32_t skip);

  std::int32_t boundWindow() const { return boundWindow_; }

  // What Copy makes: the same document and bound window, its own COM initialisation.
  WebPageOperator(const WebPageOperator& other);
  WebPageOperator& operator=(const WebPageOperator&) = delete;

 private:
  // Walks one tag's collection; returns the element that matched, or an empty object.
  AutomationObject WalkCollection(std::string_view tag, std::string_view typeFilter,
                                  std::string_view key, std::int32_t keyNumber, std::int32_t& skip,
                                  std::int32_t& position);

  AutomationObject document_;
  std::int32_t boundWindow_ = 0;
};

}  // namespace quillo
