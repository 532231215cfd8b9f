// Binding to a browser box's window and holding its document.
#include <gtest/gtest.h>

#include <cmath>

#include "fake_browser.h"
#include "fake_dom.h"
#include "gui_runtime.h"
#include "web_page_operator.h"

namespace quillo::testing {
namespace {

// Removes the pending-messages hook a test installed, whatever way the test ends.
struct ScopedPendingHook {
  explicit ScopedPendingHook(std::function<void()> hook) {
    SetProcessPendingMessagesHook(std::move(hook));
  }
  ~ScopedPendingHook() { SetProcessPendingMessagesHook({}); }
};

// A window that answers the document request with a handle no document was made for.
windows::MessageHandler AnswerGarbage() {
  return [](const windows::Message&) -> std::optional<LRESULT> { return 0x7777; };
}

TEST(WebPageOperatorTest, ConstructionAndDestructionInitialiseComOnceEach) {
  const int initialised = windows::CoInitializeCount();
  const int uninitialised = windows::CoUninitializeCount();
  {
    WebPageOperator op;
    EXPECT_EQ(windows::CoInitializeCount(), initialised + 1);
    EXPECT_EQ(windows::CoUninitializeCount(), uninitialised);
    EXPECT_TRUE(op.GetDocument().IsEmpty());
    EXPECT_EQ(op.boundWindow(), 0);
  }
  EXPECT_EQ(windows::CoUninitializeCount(), uninitialised + 1);
}

TEST(WebPageOperatorTest, BindRejectsWhatIsNoWindow) {
  FakeDom dom;
  FakeBrowser browser(dom);
  WebPageOperator op;
  ASSERT_TRUE(op.Bind(browser.outer()));
  std::int32_t destroyed = 0;
  {
    RegistryWindow gone("Internet Explorer_Server");
    destroyed = gone.handle();
  }
  for (std::int32_t handle : {0, destroyed, -1, 12345}) {
    EXPECT_FALSE(op.Bind(handle)) << handle;
    EXPECT_EQ(op.boundWindow(), browser.outer());
    EXPECT_FALSE(op.GetDocument().IsEmpty());
  }
}

TEST(WebPageOperatorTest, BindFindsServerWindowSeveralLevelsDown) {
  FakeDom dom;
  RegistryWindow outer("Outer");
  RegistryWindow a("A", outer.get());
  RegistryWindow b("B", a.get());
  RegistryWindow c("C", b.get());
  RegistryWindow server("Internet Explorer_Server", c.get(), AnswerDocument(dom));
  WebPageOperator op;
  EXPECT_TRUE(op.Bind(outer.handle()));
  EXPECT_EQ(op.boundWindow(), outer.handle());
  EXPECT_EQ(op.FindBrowserServerWindow(outer.handle()), server.handle());
}

TEST(WebPageOperatorTest, BindOnServerWindowAsksItDirectly) {
  FakeDom dom;
  std::optional<windows::Message> sent;
  RegistryWindow server("Internet Explorer_Server", nullptr,
                        [&sent, answer = AnswerDocument(dom)](const windows::Message& message) {
                          sent = message;
                          return answer(message);
                        });
  WebPageOperator op;
  EXPECT_TRUE(op.Bind(server.handle()));
  EXPECT_EQ(op.GetDocument().get(), dom.Document().get());
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

TEST(WebPageOperatorTest, SearchIsPreOrderAndFirstServerWins) {
  FakeDom first;
  FakeDom second;
  // outer: [left: [deep server (first)], right server (second)]
  RegistryWindow outer("Outer");
  RegistryWindow left("Left", outer.get());
  RegistryWindow deep("Internet Explorer_Server", left.get(), AnswerDocument(first));
  RegistryWindow right("Internet Explorer_Server", outer.get(), AnswerDocument(second));
  WebPageOperator op;
  ASSERT_TRUE(op.Bind(outer.handle()));
  EXPECT_EQ(op.GetDocument().get(), first.Document().get());

  // A server that comes first among siblings wins over one deeper under an earlier sibling's
  // later sibling; a window is tested before its own descendants.
  RegistryWindow outer2("Outer");
  RegistryWindow parentServer("Internet Explorer_Server", outer2.get(),
                            AnswerDocument(second));
  RegistryWindow childServer("Internet Explorer_Server", parentServer.get(),
                           AnswerDocument(first));
  EXPECT_EQ(op.FindBrowserServerWindow(outer2.handle()), parentServer.handle());
}

TEST(WebPageOperatorTest, ClassNameMustMatchExactly) {
  FakeDom dom;
  for (const char* name : {"internet explorer_server", "Internet Explorer_Server ",
                           "Internet Explorer_Serve", "INTERNET EXPLORER_SERVER", ""}) {
    RegistryWindow outer("Outer");
    RegistryWindow server(name, outer.get(), AnswerDocument(dom));
    WebPageOperator op;
    EXPECT_FALSE(op.Bind(outer.handle())) << '"' << name << '"';
    EXPECT_EQ(op.boundWindow(), outer.handle());
  }
}

TEST(WebPageOperatorTest, BindWithoutServerWindowKeepsDocumentAndSetsWindow) {
  FakeDom dom;
  FakeBrowser browser(dom);
  RegistryWindow plain("Static");
  WebPageOperator op;
  ASSERT_TRUE(op.Bind(browser.outer()));
  EXPECT_TRUE(op.Bind(plain.handle()));
  EXPECT_EQ(op.boundWindow(), plain.handle());
  EXPECT_EQ(op.GetDocument().get(), dom.Document().get());
}

TEST(WebPageOperatorTest, FailedRequestEmptiesDocument) {
  FakeDom dom;
  FakeBrowser browser(dom);
  struct Case {
    const char* name;
    windows::MessageHandler handler;
  };
  const Case cases[] = {
      {"no answer", [](const windows::Message&) -> std::optional<LRESULT> { return {}; }},
      {"no handler", {}},
      {"answer that is no document", AnswerGarbage()},
  };
  for (const Case& c : cases) {
    WebPageOperator op;
    ASSERT_TRUE(op.Bind(browser.outer()));
    RegistryWindow outer("Outer");
    RegistryWindow server("Internet Explorer_Server", outer.get(), c.handler);
    EXPECT_FALSE(op.Bind(outer.handle())) << c.name;
    EXPECT_TRUE(op.GetDocument().IsEmpty()) << c.name;
    EXPECT_EQ(dom.liveReferences(), 0) << c.name;
  }
}

TEST(WebPageOperatorTest, RepeatedBindsLeakNothingAndFollowNavigation) {
  FakeDom before;
  FakeDom after;
  AutomationObject shown = before.Document();
  RegistryWindow outer("Outer");
  RegistryWindow server("Internet Explorer_Server", outer.get(),
                      [&shown](const windows::Message&) -> std::optional<LRESULT> {
                        return windows::LresultFromObject(shown);
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

TEST(WebPageOperatorTest, DocumentAccessorsAndCopy) {
  FakeDom dom;
  FakeBrowser browser(dom);
  WebPageOperator op;
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
  const int initialised = windows::CoInitializeCount();
  {
    std::unique_ptr<WebPageOperator> copy = op.Copy();
    EXPECT_EQ(windows::CoInitializeCount(), initialised + 1);
    EXPECT_EQ(copy->boundWindow(), op.boundWindow());
    EXPECT_EQ(copy->GetDocument().get(), op.GetDocument().get());
    EXPECT_EQ(dom.liveReferences(), 2);
  }
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
    FakeDom dom({{"input", "text", "phone-number", "", ""}});
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
    FakeDom dom({{"input", "text", "a", "", ""}, {"input", "text", "k", "", ""}});
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
    FakeDom dom({{"input", "text", "a", "", ""},
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
  FakeDom dom;
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
  FakeDom dom;
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
}  // namespace quillo::testing
