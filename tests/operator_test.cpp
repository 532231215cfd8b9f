// The operator, the automation handle and the Linux window registry, over fake pages.
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

// An empty object, and one whose page rejects every member it is asked for, fail quietly.
TEST(AutomationObjectTest, FailedCallsFailQuietly) {
  FakePage dom({{"input", "text", "n", "i", "t"}});
  for (const char* name : {"body", "all", "tags", "item", "id", "value", "click"}) dom.Reject(name);
  for (const AutomationObject& object : {AutomationObject(), dom.Document()}) {
    EXPECT_TRUE(object.GetObject("body").IsEmpty());
    EXPECT_EQ(object.GetText("id"), "");
    EXPECT_EQ(object.GetNumber("length"), 0);
    EXPECT_FALSE(object.PutText("value", "1"));
    object.Call("click");
    EXPECT_TRUE(object.CallObject("item", 0.0).IsEmpty());
  }
  EXPECT_GT(dom.calls(), 0);
  EXPECT_EQ(dom.clicks(0), 0);
  EXPECT_EQ(dom.liveReferences(), 0);
}

TEST(AutomationObjectTest, ReadsConvertBetweenTextAndNumber) {
  FakePage dom({{"input", "text", "42", "7.5", ""}});
  AutomationObject all = dom.Document().GetObject("body").GetObject("all");
  AutomationObject element = all.CallObject("item", 0.0);
  EXPECT_EQ(element.GetNumber("name"), 42);
  EXPECT_EQ(element.GetNumber("id"), 7.5);
  EXPECT_TRUE(element.GetObject("name").IsEmpty());  // a text is no object
  // A number read as text: the shortest text that reads back as it.
  // clang-format off
  const std::pair<double, const char*> texts[] = {
      {1, "1"},          {-2, "-2"},           {0.5, "0.5"},   {0.1234567, "0.1234567"},
      {1e-7, "1e-07"},   {999999999999999, "999999999999999"}, {1e15, "1e+15"},
      {1e15 + 1, "1000000000000001"},          {9007199254740992.0, "9007199254740992"},
      {-0.0, "0"},       {NAN, ""},            {-INFINITY, ""}};
  // clang-format on
  for (const auto& [number, text] : texts) {
    dom.OverrideLength(number);
    EXPECT_EQ(all.GetText("length"), text) << number;
  }
}

TEST(AutomationObjectTest, CopiesMovesReleasesAndReceivesCountReferences) {
  FakePage dom;
  {
    AutomationObject a = dom.Document(), b = a;
    EXPECT_EQ(dom.liveReferences(), 2);
    AutomationObject c = std::move(b);
    EXPECT_TRUE(b.IsEmpty());  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_EQ(dom.liveReferences(), 2);
    c = a;
    a = a;
    EXPECT_EQ(dom.liveReferences(), 2);
    c.Release();
    c.Release();
    EXPECT_EQ(dom.liveReferences(), 1);
    a = AutomationObject();
    EXPECT_EQ(dom.liveReferences(), 0);
  }
  AutomationObject held = dom.Document();
  {
    AutomationObject::OutSlot slot = held.Receive();  // releases what was held
    EXPECT_EQ(*static_cast<void**>(slot), nullptr);
    EXPECT_EQ(dom.liveReferences(), 0);
  }
  EXPECT_TRUE(held.IsEmpty());
  {
    AutomationObject::OutSlot out = held.Receive();
    AutomationObject fresh = dom.Document();
    *static_cast<void**>(out) = fresh.get();
    fresh.get()->AddRef();
  }
  EXPECT_FALSE(held.IsEmpty());
  EXPECT_EQ(dom.liveReferences(), 1);
  held.Release();
  EXPECT_FALSE(dom.overReleased());
}

TEST(WindowRegistryTest, FindWindowExEnumeratesChildrenInOrder) {
  RegistryWindow parent("Parent"), a("A", parent.get()), b("B", parent.get()), c("A", parent.get());
  RegistryWindow other("Other");
  EXPECT_EQ(FindWindowExA(parent.get(), nullptr, nullptr, nullptr), a.get());
  EXPECT_EQ(FindWindowExA(parent.get(), a.get(), nullptr, nullptr), b.get());
  EXPECT_EQ(FindWindowExA(parent.get(), c.get(), nullptr, nullptr), nullptr);
  EXPECT_EQ(FindWindowExA(parent.get(), a.get(), "A", nullptr), c.get());
  EXPECT_EQ(FindWindowExA(parent.get(), other.get(), nullptr, nullptr), nullptr);
  b.Destroy();
  EXPECT_EQ(FindWindowExA(parent.get(), a.get(), nullptr, nullptr), c.get());
  EXPECT_FALSE(IsWindow(b.get()) || IsWindow(nullptr));
  EXPECT_TRUE(IsWindow(c.get()));
  parent.Destroy();
  EXPECT_FALSE(IsWindow(c.get()));  // descendants go with their parent
}

TEST(WindowRegistryTest, HandlesArePositive32BitAndNeverReused) {
  std::int32_t last = 0;
  for (int i = 0; i < 3; ++i) {
    RegistryWindow w("W");
    EXPECT_GT(w.handle(), last);
    EXPECT_EQ(WindowFromHandle(w.handle()), w.get());
    last = w.handle();
  }
}

TEST(WindowRegistryTest, GetClassNameFillsBufferUpTo49Bytes) {
  char buffer[50];
  for (const size_t length : {48, 49, 50, 60}) {  // either side of the buffer's bound
    const std::string name(length, 'x');
    RegistryWindow w(name);
    EXPECT_EQ(GetClassNameA(w.get(), buffer, 50), static_cast<int>(std::min<size_t>(length, 49)));
    EXPECT_EQ(std::string(buffer), name.substr(0, 49)) << length;
  }
  RegistryWindow gone("Gone");
  gone.Destroy();
  EXPECT_EQ(GetClassNameA(gone.get(), buffer, 50), 0);
}

TEST(WindowRegistryTest, RegisteredMessagesAreStablePerName) {
  const UINT a = RegisterWindowMessageA("WM_HTML_GETOBJECT");
  EXPECT_GE(a, 0xC000u);
  EXPECT_EQ(RegisterWindowMessageA("WM_HTML_GETOBJECT"), a);
  EXPECT_NE(RegisterWindowMessageA("wm_html_getobject"), a);
  EXPECT_EQ(RegisterWindowMessageA(""), 0u);
}

TEST(WindowRegistryTest, SendMessageTimeoutLeavesReplyAloneWithoutAnswer) {
  RegistryWindow answering("A", nullptr, [](const registry::Message& m) -> std::optional<LRESULT> {
    return static_cast<LRESULT>(m.wParam + 1);
  });
  RegistryWindow silent("S", nullptr, [](auto&) -> std::optional<LRESULT> { return {}; });
  RegistryWindow gone("G");
  gone.Destroy();
  for (const auto& [window, sent, expected] :
       {std::tuple(answering.get(), 1, 42), {silent.get(), 0, 0}, {gone.get(), 0, 0}}) {
    DWORD_PTR reply = 0;
    EXPECT_EQ(SendMessageTimeoutA(window, 0xC000, 41, 0, SMTO_ABORTIFHUNG, 1000, &reply), sent);
    EXPECT_EQ(reply, static_cast<DWORD_PTR>(expected));
  }
}

TEST(WindowRegistryTest, ObjectFromLresultChecksInterfaceAnswersOnceAndUnclaimedAreForgotten) {
  FakePage dom;
  const IID other = {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  {
    void* object = &dom;
    EXPECT_NE(ObjectFromLresult(0, IID_IHTMLDocument, 0, &object), S_OK);
    EXPECT_EQ(object, nullptr);
    LRESULT result = registry::LresultFromObject(dom.Document());
    EXPECT_EQ(ObjectFromLresult(result, other, 0, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    result = registry::LresultFromObject(dom.Document());
    AutomationObject document;
    EXPECT_EQ(ObjectFromLresult(result, IID_IHTMLDocument, 0, document.Receive()), S_OK);
    EXPECT_FALSE(document.IsEmpty());
    EXPECT_NE(ObjectFromLresult(result, IID_IHTMLDocument, 0, &object), S_OK);
    EXPECT_EQ(ObjectFromLresult(result, IID_IHTMLDocument, 0, nullptr), E_POINTER);
  }
  EXPECT_EQ(dom.liveReferences(), 0);
  for (int i = 0; i < 100; ++i) registry::LresultFromObject(dom.Document());
  EXPECT_LE(dom.liveReferences(), 16);
  registry::ForgetUnclaimedResults();
  EXPECT_EQ(dom.liveReferences(), 0);
}

class RegistryWindows : public WindowsUnderTest {  // the Bind table's windows, in the registry
 public:
  std::int32_t Make(const char* className, std::int32_t parent, Reply reply) override {
    registry::MessageHandler handler;
    if (reply == Reply::kFirstPage) handler = AnswerDocument(first_);
    if (reply == Reply::kSecondPage) handler = AnswerDocument(second_);
    if (reply == Reply::kNoObject || reply == Reply::kHung)  // a handle no document was made for
      handler = [reply](const registry::Message&) -> std::optional<LRESULT> {
        return reply == Reply::kHung ? std::nullopt : std::optional<LRESULT>(0x7777);
      };
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
