// Bind over window layouts, on the windows of the system the tests run on.
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "binding_cases.h"

namespace quillo::testing {
namespace {

struct LayoutWindow {
  const char* className;
  int parent;  // an earlier row, or -1 for a top-level window
  Reply reply = Reply::kNothing;
};

// Targets that name no window of the layout: destroyed, 0, -1, and one nothing was made for.
enum : int { kDeadWindow = -1, kNoWindow = -2, kMinusOne = -3, kUnused = -4 };

struct BindCase {
  const char* name;
  std::vector<LayoutWindow> windows;
  int target;                   // the row bound to, or one of the handles above
  Held document = Held::kNone;  // what a new operator holds afterwards
  int server = -1;              // the row the search finds below the target, or -1
  bool asks = false;            // a document window is asked (the target or one below)
};
void PrintTo(const BindCase& c, std::ostream* out) { *out << c.name; }

std::vector<BindCase> BindCases() {
  using enum Reply;
  const char* server = "Internet Explorer_Server";
  const std::vector<LayoutWindow> browser = {
      {"Shell Embedding", -1}, {"Shell DocObject View", 0}, {server, 1, kFirstPage}};
  // clang-format off
  return {
      {"outer window", browser, 0, Held::kFirstPage, 2, true},
      {"view window", browser, 1, Held::kFirstPage, 2, true},
      {"the server itself, asked directly", browser, 2, Held::kFirstPage, -1, true},
      {"several levels down", {{"O", -1}, {"A", 0}, {"B", 1}, {"C", 2}, {server, 3, kFirstPage}}, 0,
       Held::kFirstPage, 4, true},
      {"pre-order: deep below an earlier sibling wins",
       {{"O", -1}, {"L", 0}, {server, 1, kFirstPage}, {server, 0, kSecondPage}}, 0,
       Held::kFirstPage, 2, true},
      {"a window before its descendants",
       {{"O", -1}, {server, 0, kSecondPage}, {server, 1, kFirstPage}}, 0, Held::kSecondPage, 1,
       true},
      {"a later sibling server", {{"O", -1}, {"View", 0}, {server, 0, kSecondPage}}, 0,
       Held::kSecondPage, 2, true},
      {"class name in lower case", {{"O", -1}, {"internet explorer_server", 0, kFirstPage}}, 0},
      {"class name, blank after", {{"O", -1}, {"Internet Explorer_Server ", 0, kFirstPage}}, 0},
      {"class name cut short", {{"O", -1}, {"Internet Explorer_Serve", 0, kFirstPage}}, 0},
      {"asked directly, in another case", {{"internet explorer_server", -1, kFirstPage}}, 0},
      {"no server below", {{"Shell Embedding", -1}, {"Shell DocObject View", 0}}, 0},
      {"a reply that is no object", {{"O", -1}, {server, 0, kNoObject}}, 0, Held::kNone, 1, true},
      {"no reply", {{"O", -1}, {server, 0, kNothing}}, 0, Held::kNone, 1, true},
      {"a server that never answers", {{server, -1, kHung}}, 0, Held::kNone, -1, true},
      {"a destroyed window", browser, kDeadWindow},
      {"handle 0", browser, kNoWindow},
      {"handle -1", browser, kMinusOne},
      {"a handle nothing was made for", browser, kUnused},
  };
  // clang-format on
}

class BindCaseTest : public ::testing::TestWithParam<BindCase> {};

TEST_P(BindCaseTest, BindsTheDocumentWindowTheLayoutHolds) {
  const BindCase& c = GetParam();
  const std::unique_ptr<WindowsUnderTest> windows = MakeWindowsUnderTest();
  std::vector<std::int32_t> made;
  for (const LayoutWindow& w : c.windows)
    made.push_back(windows->Make(w.className, w.parent < 0 ? 0 : made[w.parent], w.reply));
  const bool live = c.target >= 0;
  const std::int32_t target = live                      ? made[c.target]
                              : c.target == kDeadWindow ? windows->Destroyed()
                              : c.target == kNoWindow   ? 0
                              : c.target == kMinusOne   ? -1
                                                        : 12345;
  for (const bool boundBefore : {false, true}) {
    SCOPED_TRACE(boundBefore ? "bound before" : "new operator");
    {
      WebPageOperator op;
      const std::int32_t before = boundBefore ? windows->BrowserBefore() : 0;
      ASSERT_TRUE(!boundBefore || op.Bind(before));
      // A failed request empties the document; without one the document stays.
      const Held held = boundBefore && !(live && c.asks) ? Held::kPageBefore : c.document;
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(op.Bind(target), live && held != Held::kNone);
      // The request's wait is bounded (with a margin for a loaded machine).
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
      EXPECT_EQ(op.boundWindow(), live ? target : before);
      EXPECT_TRUE(windows->Holds(op.GetDocument(), held));
      EXPECT_EQ(windows->LiveReferences(), held == Held::kNone ? 0 : 1);
      if (live) {
        EXPECT_EQ(op.FindBrowserServerWindow(target), c.server < 0 ? 0 : made[c.server]);
      }
    }
    EXPECT_EQ(windows->LiveReferences(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, BindCaseTest, ::testing::ValuesIn(BindCases()));

}  // namespace
}  // namespace quillo::testing
