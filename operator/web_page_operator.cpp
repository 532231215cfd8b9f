#include "web_page_operator.h"

#include <array>
#include <climits>
#include <cmath>

#include "gui_runtime.h"
#include "window_api.h"

namespace quillo {

int ToInt32OrFallback(double value, int fallback) {
  if (!std::isfinite(value)) return fallback;
  const double truncated = std::trunc(value);
  if (truncated < static_cast<double>(INT_MIN) || truncated > static_cast<double>(INT_MAX)) {
    return fallback;
  }
  return static_cast<int>(truncated);
}

int ClampLength(double length) {
  if (std::isnan(length) || length <= 0.0) return 0;
  if (length >= static_cast<double>(INT_MAX)) return INT_MAX;
  return static_cast<int>(std::trunc(length));
}

bool IsLiveWindow(std::int32_t window) { return IsWindow(WindowFromHandle(window)) != 0; }

Text GetWindowClassName(std::int32_t window) {
  // At most 49 bytes and the terminator: room for the browser's class name (24), and a longer
  // name, cut here, still never matches it.
  std::array<char, 50> buffer{};
  GetClassNameA(WindowFromHandle(window), buffer.data(), static_cast<int>(buffer.size()));
  buffer.back() = '\0';
  return Text(buffer.data());
}

WebPageOperator::WebPageOperator() { CoInitialize(nullptr); }

WebPageOperator::WebPageOperator(const WebPageOperator& other)
    : document_(other.document_), boundWindow_(other.boundWindow_) {
  CoInitialize(nullptr);
}

WebPageOperator::~WebPageOperator() {
  // The document goes first, while this thread's COM initialisation still holds.
  document_.Release();
  CoUninitialize();
}

std::unique_ptr<WebPageOperator> WebPageOperator::Copy() const {
  return std::make_unique<WebPageOperator>(*this);
}

bool WebPageOperator::Bind(std::int32_t window) {
  if (!IsLiveWindow(window)) return false;
  boundWindow_ = window;
  AcquireDocument(boundWindow_, document_);
  return !document_.IsEmpty();
}

AutomationObject WebPageOperator::GetDocument() const { return document_; }

void WebPageOperator::ReleaseDocument() { document_.Release(); }

std::int32_t WebPageOperator::FindBrowserServerWindow(std::int32_t parent) {
  const HWND parentWindow = WindowFromHandle(parent);
  std::int32_t child = HandleFromWindow(FindWindowExA(parentWindow, nullptr, nullptr, nullptr));
  while (child > 0) {
    if (GetWindowClassName(child) == kBrowserServerClass) return child;
    if (const std::int32_t found = FindBrowserServerWindow(child); found != 0) return found;
    child =
        HandleFromWindow(FindWindowExA(parentWindow, WindowFromHandle(child), nullptr, nullptr));
    // A deep search takes a while: between siblings the window answers what is waiting, user
    // input included, so a dial pad key or a second press may run in the middle of a bind.
    ProcessPendingMessages();
  }
  return 0;
}

bool WebPageOperator::AcquireDocument(std::int32_t window, AutomationObject& document) {
  if (GetWindowClassName(window) != kBrowserServerClass) {
    window = FindBrowserServerWindow(window);
    if (window == 0) return false;
  }
  const UINT message = RegisterWindowMessageA(kDocumentRequestMessage);
  DWORD_PTR reply = 0;
  SendMessageTimeoutA(WindowFromHandle(window), message, 0, 0, SMTO_ABORTIFHUNG,
                      kDocumentRequestTimeoutMs, &reply);
  // The held reference is given up before the new one is stored, so a failed request leaves
  // the document object empty and a repeated one leaks nothing.
  return ObjectFromLresult(static_cast<LRESULT>(reply), IID_IHTMLDocument, 0, document.Receive()) ==
         S_OK;
}

AutomationObject WebPageOperator::FindFormElement(std::string_view typeFilter, std::string_view key,
                                                  std::int32_t skip, std::int32_t& position) {
  // A key beyond the 32-bit range never matches by position; 0 never does.
  const std::int32_t keyNumber = ToInt32OrFallback(TextToNumber(key), 0);
  AutomationObject found = WalkCollection("input", typeFilter, key, keyNumber, skip, position);
  if (found.IsEmpty() && FindText(typeFilter, "button") != -1) {
    found = WalkCollection("button", typeFilter, key, keyNumber, skip, position);
  }
  if (found.IsEmpty()) position = -1;
  return found;
}

AutomationObject WebPageOperator::WalkCollection(std::string_view tag, std::string_view typeFilter,
                                                 std::string_view key, std::int32_t keyNumber,
                                                 std::int32_t& skip, std::int32_t& position) {
  AutomationObject collection;
  {
    const AutomationObject body = document_.GetObject("body");
    const AutomationObject all = body.GetObject("all");
    collection = all.CallObject("tags", tag);
  }
  const int length = ClampLength(collection.GetNumber("length"));
  for (int i = 1; i <= length; ++i) {
    AutomationObject element = collection.CallObject("item", static_cast<double>(i - 1));
    if (FindText(typeFilter, element.GetText("type")) == -1) continue;
    // Saturates rather than overflow on a walk longer than the counter can count.
    if (position < INT32_MAX) ++position;
    const bool matches = element.GetText("name") == key || element.GetText("id") == key ||
                         element.GetText("title") == key;
    if (matches) {
      if (skip > 0) {
        --skip;
        continue;
      }
      return element;
    }
    if (position == keyNumber) return element;
  }
  return {};
}

AutomationObject WebPageOperator::FindTextBox(std::string_view key, std::int32_t skip) {
  std::int32_t position = 0;
  return FindFormElement(kTextBoxTypes, key, skip, position);
}

bool WebPageOperator::FillTextBox(std::string_view key, std::string_view text, std::int32_t skip) {
  const AutomationObject element = FindTextBox(key, skip);
  if (!element.PutText("value", text)) return false;
  for (const std::string_view type : kEditEvents) element.RaiseEvent(type);
  ProcessMessagesFor(kPageTurn);
  return true;
}

AutomationObject WebPageOperator::FindButton(std::string_view key, std::int32_t skip) {
  std::int32_t position = 0;
  return FindFormElement(kButtonTypes, key, skip, position);
}

bool WebPageOperator::ClickButton(std::string_view key, std::int32_t skip) {
  const AutomationObject element = FindButton(key, skip);
  element.Call("click");
  return !element.IsEmpty();
}

}  // namespace quillo
