// The operator over fake pages in the Linux window registry: the shared tables, COM and misuse.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "binding_cases.h"
#include "fake_browser.h"
#include "operator_case_runner.h"

namespace quillo::testing {
namespace {

// Runs body on an operator bound to the page; only its document reference is left, then none.
void WithBoundOperator(FakePage& dom, const std::function<void(WebPageOperator&)>& body) {
  {
    FakeBrowser browser(dom);
    WebPageOperator op;
    ASSERT_TRUE(op.Bind(browser.outer()));
    body(op);
    EXPECT_EQ(dom.liveReferences(), 1);
  }
  EXPECT_EQ(dom.liveReferences(), 0);
  EXPECT_FALSE(dom.overReleased());
}

class OperatorCaseTest : public ::testing::TestWithParam<OperatorCase> {};

TEST_P(OperatorCaseTest, FindsFillsAndClicksTheExpectedElement) {
  FakePage dom(GetParam().page);
  WithBoundOperator(dom, [&](WebPageOperator& op) { RunOperatorCase(GetParam(), op, dom); });
}

INSTANTIATE_TEST_SUITE_P(FakePage, OperatorCaseTest, ::testing::ValuesIn(OperatorCases()),
                         [](const auto& param) { return std::string(param.param.name); });

// The walk's numbers: truncated toward zero, never undefined where they do not fit.
TEST(ElementSearchNumbers, NeverOverflow) {
  // clang-format off
  const std::tuple<double, int, int> rows[] = {  // value, as int32 with fallback 0, as a length
      {2.9, 2, 2},                {-2.9, -2, 0},               {2147483647.0, INT_MAX, INT_MAX},
      {2147483648.0, 0, INT_MAX}, {-2147483648.0, INT_MIN, 0}, {-2147483649.0, 0, 0},
      {1e12, 0, INT_MAX},         {INFINITY, 0, INT_MAX},      {-INFINITY, 0, 0}, {NAN, 0, 0}};
  // clang-format on
  for (const auto& [value, converted, length] : rows) {
    EXPECT_EQ(ToInt32OrFallback(value, 0), converted) << value;
    EXPECT_EQ(ClampLength(value), length) << value;
  }
}

// A page that rejects a member, reports a length that does not fit, or loses an element mid-walk.
TEST(WebPageOperatorTest, MisbehavingPagesFailSafely) {
  const struct {
    const char* rejected;
    std::optional<double> length = {};
    int removed = -1;   // when item 1 is asked for
    int expected = -1;  // the element "k" fills
  } rows[] = {{"body"},      {"all"},   {"tags"},         {"length"},     {"item"},
              {"type"},      {"value"}, {"", NAN},        {"", -5.0},     {"", 1e300, -1, 2},
              {"", -1e300},  {"", 2.7}, {"", 3.7, -1, 2}, {"", {}, 0, 2}, {"", {}, 2, -1},
              {"", {}, 1, 2}};
  WebPageOperator unbound;
  std::int32_t position = 7;
  EXPECT_TRUE(unbound.FindFormElement(kTextBoxTypes, "1", 0, position).IsEmpty());
  EXPECT_EQ(position, -1);
  EXPECT_FALSE(unbound.FillTextBox("k", "1", 0));
  EXPECT_FALSE(unbound.ClickButton("k", 0));
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "rejects '" << row.rejected << "', length "
                                      << row.length.value_or(-0.0) << ", removes " << row.removed);
    FakePage dom({{"input", "text", "a"}, {"input", "text", "b"}, {"input", "text", "k"}});
    if (*row.rejected) dom.Reject(row.rejected);
    if (row.length) dom.OverrideLength(*row.length);
    dom.OnItem([&dom, &row](int index) {
      if (index == 1 && row.removed >= 0) dom.Remove(row.removed);
    });
    WithBoundOperator(dom, [&](WebPageOperator& op) {
      EXPECT_EQ(op.FillTextBox("k", "5", 0), row.expected >= 0);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(dom.value(i), i == row.expected ? "5" : "");
    });
  }
}

TEST(WebPageOperatorTest, RepeatedBindsLeakNothingAndFollowNavigation) {
  FakePage before, after;
  AutomationObject shown = before.Document();
  RegistryWindow outer("Outer");
  RegistryWindow server("Internet Explorer_Server", outer.get(),
                        [&shown](const registry::Message&) -> std::optional<LRESULT> {
                          return registry::LresultFromObject(shown);
                        });
  {
    WebPageOperator op;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(op.Bind(outer.handle()));
    EXPECT_EQ(before.liveReferences(), 2);  // the page's own and the operator's
    shown = after.Document();
    ASSERT_TRUE(op.Bind(outer.handle()));
    EXPECT_EQ(op.GetDocument().get(), after.Document().get());
    EXPECT_EQ(before.liveReferences(), 0);
  }
  EXPECT_EQ(after.liveReferences(), 1);
  shown.Release();
  EXPECT_FALSE(before.overReleased() || after.overReleased());
}

// Each operator, made or copied, initialises COM once and undoes it; a released document lives on.
TEST(WebPageOperatorTest, DocumentAccessorsAndCopy) {
  FakePage dom;
  const int initialised = registry::CoInitializeCount();
  const int uninitialised = registry::CoUninitializeCount();
  WithBoundOperator(dom, [&](WebPageOperator& op) {
    EXPECT_EQ(registry::CoInitializeCount(), initialised + 1);
    AutomationObject kept = op.GetDocument();
    op.ReleaseDocument();
    op.ReleaseDocument();
    EXPECT_TRUE(op.GetDocument().IsEmpty());
    EXPECT_FALSE(kept.GetObject("body").IsEmpty());
    kept.Release();
    EXPECT_EQ(dom.liveReferences(), 0);
    ASSERT_TRUE(op.Bind(op.boundWindow()));
    {
      std::unique_ptr<WebPageOperator> copy = op.Copy();
      EXPECT_EQ(registry::CoInitializeCount(), initialised + 2);
      EXPECT_EQ(copy->boundWindow(), op.boundWindow());
      EXPECT_EQ(copy->GetDocument().get(), op.GetDocument().get());
      EXPECT_EQ(dom.liveReferences(), 2);
      EXPECT_EQ(registry::CoUninitializeCount(), uninitialised);
    }
    EXPECT_EQ(registry::CoUninitializeCount(), uninitialised + 1);
  });
  EXPECT_EQ(registry::CoUninitializeCount(), uninitialised + 2);
}

// A handler run mid-search binds again (a second press) or destroys the document window's branch.
TEST(WebPageOperatorTest, HandlersDuringTheSearchAreSafe) {
  for (const bool destroys : {false, true}) {
    FakePage dom;
    RegistryWindow outer("Outer"), a("A", outer.get());
    auto b = std::make_unique<RegistryWindow>("B", outer.get());
    RegistryWindow server("Internet Explorer_Server", b->get(), AnswerDocument(dom));
    {
      WebPageOperator op;
      int ran = 0;
      SetProcessPendingMessagesHook([&](auto) {
        if (destroys) b.reset();
        if (!destroys && ran++ < 3) op.Bind(outer.handle());
      });
      EXPECT_EQ(op.Bind(outer.handle()), !destroys) << destroys;
      SetProcessPendingMessagesHook({});
      EXPECT_EQ(b == nullptr, destroys);
      EXPECT_EQ(ran > 0, !destroys);
      EXPECT_EQ(dom.liveReferences(), destroys ? 0 : 1);
    }
    EXPECT_EQ(dom.liveReferences(), 0);
    EXPECT_FALSE(dom.overReleased());
  }
}

// The Bind table's windows, in the registry.
class RegistryWindows : public WindowsUnderTest {
 public:
  std::int32_t Make(const char* className, std::int32_t parent, Reply reply) override {
    registry::MessageHandler handler;
    if (reply == Reply::kFirstPage) handler = AnswerDocument(first_);
    if (reply == Reply::kSecondPage) handler = AnswerDocument(second_);
    if (reply == Reply::kNoObject || reply == Reply::kHung) {  // a handle no document was made for
      handler = [reply](const registry::Message&) -> std::optional<LRESULT> {
        return reply == Reply::kHung ? std::nullopt : std::optional<LRESULT>(0x7777);
      };
    }
    made_.push_back(
        std::make_unique<RegistryWindow>(className, WindowFromHandle(parent), std::move(handler)));
    return made_.back()->handle();
  }
  std::int32_t Destroyed() override { return RegistryWindow("Gone").handle(); }
  std::int32_t BrowserBefore() override { return browserBefore_.outer(); }
  bool Holds(const AutomationObject& document, Held page) override {
    FakePage* const pages[] = {nullptr, &first_, &second_, &before_};  // in Held's order
    FakePage* dom = pages[static_cast<int>(page)];
    return dom == nullptr ? document.IsEmpty() : document.get() == dom->Document().get();
  }
  int LiveReferences() override {
    return first_.liveReferences() + second_.liveReferences() + before_.liveReferences();
  }

 private:
  FakePage first_, second_, before_;
  FakeBrowser browserBefore_{before_};
  std::vector<std::unique_ptr<RegistryWindow>> made_;
};

}  // namespace

std::unique_ptr<WindowsUnderTest> MakeWindowsUnderTest() {
  return std::make_unique<RegistryWindows>();
}

}  // namespace quillo::testing
