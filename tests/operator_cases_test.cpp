// The shared table of search, fill and click cases, run against the fake page.
#include <gtest/gtest.h>

#include "fake_browser.h"
#include "fake_dom.h"
#include "operator_cases.h"
#include "web_page_operator.h"

namespace quillo::testing {
namespace {

class OperatorCaseTest : public ::testing::TestWithParam<OperatorCase> {};

TEST_P(OperatorCaseTest, FindsFillsAndClicksTheExpectedElement) {
  const OperatorCase& c = GetParam();
  FakeDom dom(c.page);
  {
    FakeBrowser browser(dom);
    WebPageOperator op;
    ASSERT_TRUE(op.Bind(browser.outer()));
    std::int32_t position = 0;
    int found = -1;
    bool result = false;
    switch (c.action) {
      case Action::kFindFormElement:
        found = dom.IndexOf(op.FindFormElement(c.filter, c.key, c.skip, position));
        EXPECT_EQ(position, c.position);
        break;
      case Action::kFindTextBox:
        found = dom.IndexOf(op.FindTextBox(c.key, c.skip));
        break;
      case Action::kFindButton:
        found = dom.IndexOf(op.FindButton(c.key, c.skip));
        break;
      case Action::kFillTextBox:
        result = op.FillTextBox(c.key, c.text, c.skip);
        EXPECT_EQ(result, c.expected != -1);
        for (int i = 0; i < static_cast<int>(c.page.size()); ++i) {
          EXPECT_EQ(dom.value(i), i == c.expected ? c.text : "") << "element " << i;
        }
        found = c.expected;
        break;
      case Action::kClickButton:
        result = op.ClickButton(c.key, c.skip);
        EXPECT_EQ(result, c.expected != -1);
        for (int i = 0; i < static_cast<int>(c.page.size()); ++i) {
          EXPECT_EQ(dom.clicks(i), i == c.expected ? 1 : 0) << "element " << i;
        }
        found = c.expected;
        break;
    }
    EXPECT_EQ(found, c.expected);
    // Only the operator's own document reference is left.
    EXPECT_EQ(dom.liveReferences(), 1);
  }
  EXPECT_EQ(dom.liveReferences(), 0);
  EXPECT_FALSE(dom.overReleased());
}

INSTANTIATE_TEST_SUITE_P(FakePage, OperatorCaseTest, ::testing::ValuesIn(OperatorCases()),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quillo::testing
