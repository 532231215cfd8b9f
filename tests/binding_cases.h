// Bind over window layouts, run on the Linux window registry and on real windows under Wine.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "web_page_operator.h"
#include "window_api.h"

namespace quillo::testing {

// How a window answers the document request: not at all (0), with a page's document, with
// a reply that is no object, or never (its thread hangs).
enum class Reply { kNothing, kFirstPage, kSecondPage, kNoObject, kHung };

struct LayoutWindow {
  const char* className;
  int parent;  // an earlier row, or -1 for a top-level window
  Reply reply = Reply::kNothing;
};

// The pages a bound operator may hold.
enum class Held { kNone, kFirstPage, kSecondPage, kPageBefore };

// Handles that name no window of the layout.
inline constexpr int kDeadWindow = -1;  // a window that has been destroyed
inline constexpr int kNoWindow = -2;    // handle 0
inline constexpr int kMinusOne = -3;    // handle -1
inline constexpr int kUnused = -4;      // a handle nothing was made for

struct BindCase {
  const char* name;
  std::vector<LayoutWindow> windows;
  int target;         // the row bound to, or one of the handles above
  Held document;      // what a new operator holds afterwards
  int server = -1;    // the row the search finds below the target, or -1
  bool asks = false;  // a document window is asked (the target or one below)
};

inline std::vector<BindCase> BindCases() {
  using enum Reply;
  const char* server = kBrowserServerClass;
  const std::vector<LayoutWindow> browser = {
      {"Shell Embedding", -1}, {"Shell DocObject View", 0}, {server, 1, kFirstPage}};
  // clang-format off
  return {
      {"outer window", browser, 0, Held::kFirstPage, 2, true},
      {"view window", browser, 1, Held::kFirstPage, 2, true},
      {"the server itself, asked directly", browser, 2, Held::kFirstPage, -1, true},
      {"several levels down",
       {{"Outer", -1}, {"A", 0}, {"B", 1}, {"C", 2}, {server, 3, kFirstPage}}, 0,
       Held::kFirstPage, 4, true},
      {"pre-order: deep below an earlier sibling wins",
       {{"Outer", -1}, {"Left", 0}, {server, 1, kFirstPage}, {server, 0, kSecondPage}}, 0,
       Held::kFirstPage, 2, true},
      {"a window before its descendants",
       {{"Outer", -1}, {server, 0, kSecondPage}, {server, 1, kFirstPage}}, 0, Held::kSecondPage,
       1, true},
      {"a later sibling server",
       {{"Outer", -1}, {"View", 0}, {server, 0, kSecondPage}}, 0, Held::kSecondPage, 2, true},
      {"class name in lower case",
       {{"Outer", -1}, {"internet explorer_server", 0, kFirstPage}}, 0, Held::kNone},
      {"class name with a blank after it",
       {{"Outer", -1}, {"Internet Explorer_Server ", 0, kFirstPage}}, 0, Held::kNone},
      {"class name cut short",
       {{"Outer", -1}, {"Internet Explorer_Serve", 0, kFirstPage}}, 0, Held::kNone},
      {"asked directly, in another case", {{"internet explorer_server", -1, kFirstPage}}, 0,
       Held::kNone},
      {"no server below", {{"Shell Embedding", -1}, {"Shell DocObject View", 0}}, 0,
       Held::kNone},
      {"a reply that is no object", {{"Outer", -1}, {server, 0, kNoObject}}, 0, Held::kNone, 1,
       true},
      {"no reply", {{"Outer", -1}, {server, 0, kNothing}}, 0, Held::kNone, 1, true},
      {"a server that never answers", {{server, -1, kHung}}, 0, Held::kNone, -1, true},
      {"a destroyed window", browser, kDeadWindow, Held::kNone},
      {"handle 0", browser, kNoWindow, Held::kNone},
      {"handle -1", browser, kMinusOne, Held::kNone},
      {"a handle nothing was made for", browser, kUnused, Held::kNone},
  };
  // clang-format on
}

inline void PrintTo(const BindCase& c, std::ostream* out) { *out << c.name; }

// What a case needs of a window backend.
class WindowsUnderTest {
 public:
  virtual ~WindowsUnderTest() = default;
  // A window of the class below parent (0: top-level; a hung one always) that answers as told.
  virtual std::int32_t Make(const char* className, std::int32_t parent, Reply reply) = 0;
  // The handle of a window that has been destroyed.
  virtual std::int32_t Destroyed() = 0;
  // A browser serving the page the operator held before.
  virtual std::int32_t BrowserBefore() = 0;
  virtual bool Holds(const AutomationObject& document, Held page) = 0;
  // References to the pages handed out and not given back.
  virtual int LiveReferences() = 0;
};

// The windows of the system the tests run on; each system's tests define it.
std::unique_ptr<WindowsUnderTest> MakeWindowsUnderTest();

}  // namespace quillo::testing
