// The shared table of search, fill and click cases, run against the fake page.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "fake_browser.h"
#include "fake_page.h"
#include "operator_case_runner.h"

namespace quillo::testing {
namespace {

class OperatorCaseTest : public ::testing::TestWithParam<OperatorCase> {};

TEST_P(OperatorCaseTest, FindsFillsAndClicksTheExpectedElement) {
  FakePage dom(GetParam().page);
  {
    FakeBrowser browser(dom);
    WebPageOperator op;
    ASSERT_TRUE(op.Bind(browser.outer()));
    FakePageUnderTest page(dom);
    RunOperatorCase(GetParam(), op, page);
    // Only the operator's own document reference is left.
    EXPECT_EQ(dom.liveReferences(), 1);
  }
  EXPECT_EQ(dom.liveReferences(), 0);
  EXPECT_FALSE(dom.overReleased());
}

TEST(ElementSearchNumbers, NeverOverflow) {
  struct Case {
    double value;
    int converted;  // with fallback 0
    int length;
  };
  const Case cases[] = {
      {2.9, 2, 2},
      {-2.9, -2, 0},
      {2147483647.0, INT_MAX, INT_MAX},
      {2147483648.0, 0, INT_MAX},
      {-2147483648.0, INT_MIN, 0},
      {-2147483649.0, 0, 0},
      {1e12, 0, INT_MAX},
      {INFINITY, 0, INT_MAX},
      {-INFINITY, 0, 0},
      {NAN, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToInt32OrFallback(c.value, 0), c.converted) << c.value;
    EXPECT_EQ(ClampLength(c.value), c.length) << c.value;
  }
}

INSTANTIATE_TEST_SUITE_P(FakePage, OperatorCaseTest, ::testing::ValuesIn(OperatorCases()),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quillo::testing
