// The table of Bind over window layouts, on the windows of the system the tests run on.
#include <gtest/gtest.h>

#include <chrono>

#include "binding_cases.h"

namespace quillo::testing {
namespace {

void RunBindCase(const BindCase& c, WindowsUnderTest& windows) {
  std::vector<std::int32_t> made;
  for (const LayoutWindow& w : c.windows) {
    made.push_back(windows.Make(w.className, w.parent < 0 ? 0 : made[w.parent], w.reply));
  }
  const bool live = c.target >= 0;
  const std::int32_t target = live                      ? made[c.target]
                              : c.target == kDeadWindow ? windows.Destroyed()
                              : c.target == kNoWindow   ? 0
                              : c.target == kMinusOne   ? -1
                                                        : 12345;
  for (const bool boundBefore : {false, true}) {
    SCOPED_TRACE(boundBefore ? "bound before" : "new operator");
    {
      WebPageOperator op;
      const std::int32_t before = boundBefore ? windows.BrowserBefore() : 0;
      if (boundBefore) {
        ASSERT_TRUE(op.Bind(before));
      }
      // A failed request empties the document; without one the document stays.
      const Held held = boundBefore && !(live && c.asks) ? Held::kPageBefore : c.document;
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(op.Bind(target), live && held != Held::kNone);
      // The request's wait is bounded (with a margin for a loaded machine).
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
      EXPECT_EQ(op.boundWindow(), live ? target : before);
      EXPECT_TRUE(windows.Holds(op.GetDocument(), held));
      EXPECT_EQ(windows.LiveReferences(), held == Held::kNone ? 0 : 1);
      if (live) {
        EXPECT_EQ(op.FindBrowserServerWindow(target), c.server < 0 ? 0 : made[c.server]);
      }
    }
    EXPECT_EQ(windows.LiveReferences(), 0);
  }
}

class BindCaseTest : public ::testing::TestWithParam<BindCase> {};

TEST_P(BindCaseTest, BindsTheDocumentWindowTheLayoutHolds) {
  const std::unique_ptr<WindowsUnderTest> windows = MakeWindowsUnderTest();
  RunBindCase(GetParam(), *windows);
}

INSTANTIATE_TEST_SUITE_P(Layouts, BindCaseTest, ::testing::ValuesIn(BindCases()));

}  // namespace
}  // namespace quillo::testing
