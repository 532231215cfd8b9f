// Binding to a browser box's window and holding its document.
#include <gtest/gtest.h>

#include <cmath>

#include "binding_cases.h"
#include "fake_browser.h"
#include "fake_page.h"
#include "gui_runtime.h"
#include "web_page_operator.h"

namespace quillo::testing {
namespace {

// Removes the pending-messages hook a test installed, whatever way the test ends.
struct ScopedPendingHook {
  explicit ScopedPendingHook(std::function<void()> hook) {
    SetProcessPendingMessagesHook([hook = std::move(hook)](auto) { hook(); });
  }
  ~ScopedPendingHook() { SetProcessPendingMessagesHook({}); }
};

// The shared table of Bind over window layouts, in the window registry.
class RegistryWindows : public WindowsUnderTest {
 public:
  std::int32_t Make(const char* className, std::int32_t parent, Reply reply) override {
    registry::MessageHandler handler;
    if (reply == Reply::kFirstPage) handler = AnswerDocument(first_);
    if (reply == Reply::kSecondPage) handler = AnswerDocument(second_);
    if (reply == Reply::kNoObject) {  // a handle no document was made for
      handler = [](const registry::Message&) -> std::optional<LRESULT> { return 0x7777; };
    }
    if (reply == Reply::kHung) {
      handler = [](const registry::Message&) -> std::optional<LRESULT> { return {}; };
    }
    made_.push_back(
        std::make_unique<RegistryWindow>(className, WindowFromHandle(parent), std::move(handler)));
    return made_.back()->handle();
  }
  std::int32_t Destroyed() override { return RegistryWindow("Gone").handle(); }
  std::int32_t BrowserBefore() override { return browserBefore_.outer(); }
  bool Holds(const AutomationObject& document, Held page) override {
    FakePage* dom = page == Held::kFirstPage    ? &first_
                    : page == Held::kSecondPage ? &second_
                    : page == Held::kPageBefore ? &before_
                                                : nullptr;
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

TEST(WebPageOperatorTest, BindOnServerWindowAsksItDirectly) {
  FakePage dom;
  std::optional<registry::Message> sent;
  RegistryWindow server("Internet Explorer_Server", nullptr,
                        [&sent, answer = AnswerDocument(dom)](const registry::Message& message) {
                          sent = message;
                          return answer(message);
                        });
  WebPageOperator op;
  EXPECT_TRUE(op.Bind(server.handle()));
  // The request: no parameters, no wait for a hung window, and at most a second otherwise.
  ASSERT_TRUE(sent.has_value());
  EXPECT_EQ(sent->id, RegisterWindowMessageA("WM_HTML_GETOBJECT"));
  EXPECT_EQ(sent->wParam, 0u);
  EXPECT_EQ(sent->lParam, 0);
  EXPECT_EQ(sent->flags, SMTO_ABORTIFHUNG);
  EXPECT_EQ(sent->timeoutMs, 1000u);
  // The search itself never tests the parent.
  EXPECT_EQ(op.FindBrowserServerWindow(server.handle()), 0);
}

TEST(WebPageOperatorTest, RepeatedBindsLeakNothingAndFollowNavigation) {
  FakePage before;
  FakePage after;
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

// Each operator, made or copied, initialises COM once and undoes it as it goes.
TEST(WebPageOperatorTest, DocumentAccessorsAndCopy) {
  FakePage dom;
  FakeBrowser browser(dom);
  const int initialised = registry::CoInitializeCount();
  const int uninitialised = registry::CoUninitializeCount();
  WebPageOperator op;
  EXPECT_EQ(registry::CoInitializeCount(), initialised + 1);
  EXPECT_TRUE(op.GetDocument().IsEmpty());
  ASSERT_TRUE(op.Bind(browser.outer()));
  AutomationObject kept = op.GetDocument();
  op.ReleaseDocument();
  op.ReleaseDocument();
  EXPECT_TRUE(op.GetDocument().IsEmpty());
  EXPECT_EQ(op.boundWindow(), browser.outer());
  EXPECT_FALSE(kept.GetObject("body").IsEmpty());  // still usable
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
  EXPECT_EQ(dom.liveReferences(), 1);
}

TEST(WebPageOperatorTest, SearchOnEmptyDocumentOrRejectingPageFindsNothing) {
  WebPageOperator unbound;
  std::int32_t position = 7;
  EXPECT_TRUE(unbound.FindFormElement(kTextBoxTypes, "1", 0, position).IsEmpty());
  EXPECT_EQ(position, -1);
  EXPECT_FALSE(unbound.FillTextBox("phone-number", "1", 0));
  EXPECT_FALSE(unbound.ClickButton("ext-gen69", 0));

  for (const char* rejected : {"body", "all", "tags", "length", "item", "type", "value"}) {
    FakePage dom({{"input", "text", "phone-number", "", ""}});
    dom.Reject(rejected);
    {
      FakeBrowser browser(dom);
      WebPageOperator op;
      ASSERT_TRUE(op.Bind(browser.outer()));
      EXPECT_FALSE(op.FillTextBox("phone-number", "5", 0)) << rejected;
      EXPECT_EQ(dom.liveReferences(), 1) << rejected;
    }
    EXPECT_EQ(dom.liveReferences(), 0) << rejected;
  }
}

TEST(WebPageOperatorTest, LengthsThatDoNotFitAreClamped) {
  for (double length : {std::nan(""), -5.0, 1e300, -1e300, 2.7}) {
    FakePage dom({{"input", "text", "a", "", ""}, {"input", "text", "k", "", ""}});
    dom.OverrideLength(length);
    FakeBrowser browser(dom);
    WebPageOperator op;
    ASSERT_TRUE(op.Bind(browser.outer()));
    // Items past the page's end read as nothing; the walk ends on the match or the page.
    const int found = dom.IndexOf(op.FindTextBox("k", 0));
    EXPECT_EQ(found, length >= 2 ? 1 : -1) << length;
  }
}

TEST(WebPageOperatorTest, ElementsRemovedDuringWalkAreSkippedSafely) {
  struct Case {
    int removed;   // removed when item 1 is asked for
    int expected;  // the element found for key "k"
  };
  // The collection is live: it shifts under the walk, and the length was read once.
  for (const Case c : {Case{0, 2}, Case{2, -1}, Case{1, 2}}) {
    FakePage dom({{"input", "text", "a", "", ""},
                  {"input", "text", "b", "", ""},
                  {"input", "text", "k", "", ""}});
    dom.OnItem([&dom, &c](int index) {
      if (index == 1) dom.Remove(c.removed);
    });
    {
      FakeBrowser browser(dom);
      WebPageOperator op;
      ASSERT_TRUE(op.Bind(browser.outer()));
      EXPECT_EQ(dom.IndexOf(op.FindTextBox("k", 0)), c.expected) << c.removed;
      EXPECT_EQ(dom.liveReferences(), 1);
    }
    EXPECT_EQ(dom.liveReferences(), 0);
  }
}

TEST(WebPageOperatorTest, HandlerThatBindsAgainDuringSearchIsSafe) {
  FakePage dom;
  RegistryWindow outer("Outer");
  RegistryWindow a("A", outer.get());
  RegistryWindow b("B", outer.get());
  RegistryWindow server("Internet Explorer_Server", b.get(), AnswerDocument(dom));
  {
    WebPageOperator op;
    int reentered = 0;
    ScopedPendingHook hook([&] {
      if (reentered++ < 3) op.Bind(outer.handle());  // a second press in the middle
    });
    EXPECT_TRUE(op.Bind(outer.handle()));
    EXPECT_GT(reentered, 0);
    EXPECT_EQ(dom.liveReferences(), 1);
  }
  EXPECT_EQ(dom.liveReferences(), 0);
  EXPECT_FALSE(dom.overReleased());
}

TEST(WebPageOperatorTest, HandlerThatDestroysWindowsDuringSearchIsSafe) {
  FakePage dom;
  RegistryWindow outer("Outer");
  RegistryWindow a("A", outer.get());
  auto b = std::make_unique<RegistryWindow>("B", outer.get());
  RegistryWindow server("Internet Explorer_Server", b->get(), AnswerDocument(dom));
  ScopedPendingHook hook([&] { b.reset(); });
  WebPageOperator op;
  EXPECT_FALSE(op.Bind(outer.handle()));
  EXPECT_EQ(dom.liveReferences(), 0);
}

}  // namespace

std::unique_ptr<WindowsUnderTest> MakeWindowsUnderTest() {
  return std::make_unique<RegistryWindows>();
}

}  // namespace quillo::testing
