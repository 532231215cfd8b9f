// The shared table of search, fill and click cases, run against real pages.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "operator_case_runner.h"
#include "page_bridge.h"
#include "page_element.h"

namespace quillo::testing {
namespace {

class EnginePageUnderTest : public PageUnderTest {
 public:
  explicit EnginePageUnderTest(EnginePage& page) : page_(page) {}
  int IndexOf(const AutomationObject& element) override { return testing::IndexOf(element); }
  std::string ValueOf(int index) override {
    return page_
        .Evaluate(QStringLiteral("document.querySelector('[data-index=\"%1\"]').value").arg(index))
        .toString()
        .toStdString();
  }
  int ClicksOf(int index) override {
    return page_.Evaluate(QStringLiteral("clicks[%1] || 0").arg(index)).toInt();
  }
  std::vector<std::string> EventsOf(int index) override {
    std::vector<std::string> events;
    for (const QVariant& event :
         page_.Evaluate(QStringLiteral("events[%1] || []").arg(index)).toList()) {
      events.push_back(event.toString().toStdString());
    }
    return events;
  }

 private:
  EnginePage& page_;
};

class OperatorEngineTest : public ::testing::TestWithParam<OperatorCase> {
 protected:
  static void SetUpTestSuite() { page_ = std::make_unique<EnginePage>(); }
  static void TearDownTestSuite() { page_.reset(); }
  static std::unique_ptr<EnginePage> page_;
};

std::unique_ptr<EnginePage> OperatorEngineTest::page_;

TEST_P(OperatorEngineTest, FindsFillsAndClicksTheExpectedElement) {
  ASSERT_TRUE(page_->LoadBody(QString::fromStdString(ToHtml(GetParam().page))));
  WebPageOperator op;
  ASSERT_TRUE(op.Bind(page_->box().registryHandle()));
  EnginePageUnderTest page(*page_);
  RunOperatorCase(GetParam(), op, page);
  op.ReleaseDocument();
  // Every object the search handed out has been given back to the page.
  EXPECT_EQ(page_->box().bridge().RegistrySize(), 1);
}

INSTANTIATE_TEST_SUITE_P(RealPage, OperatorEngineTest, ::testing::ValuesIn(OperatorCases()),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quillo::testing
