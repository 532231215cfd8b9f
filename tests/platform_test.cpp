// The automation handle over the fake page, and the Linux window registry.
#include <gtest/gtest.h>

#include <cmath>

#include "fake_browser.h"

namespace quillo::testing {
namespace {

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
    AutomationObject a = dom.Document();
    AutomationObject b = a;
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
  // Receive releases what was held.
  AutomationObject held = dom.Document();
  {
    AutomationObject::OutSlot slot = held.Receive();
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
  // (window, result, reply)
  for (const auto& [window, sent, expected] :
       {std::tuple(answering.get(), 1, 42), {silent.get(), 0, 0}, {gone.get(), 0, 0}}) {
    DWORD_PTR reply = 0;
    EXPECT_EQ(SendMessageTimeoutA(window, 0xC000, 41, 0, SMTO_ABORTIFHUNG, 1000, &reply), sent);
    EXPECT_EQ(reply, static_cast<DWORD_PTR>(expected));
  }
}

TEST(WindowRegistryTest, ObjectFromLresultChecksInterfaceAndAnswersOnce) {
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
}

TEST(WindowRegistryTest, UnclaimedResultsAreNotKeptForever) {
  FakePage dom;
  for (int i = 0; i < 100; ++i) registry::LresultFromObject(dom.Document());
  EXPECT_LE(dom.liveReferences(), 16);
  registry::ForgetUnclaimedResults();
  EXPECT_EQ(dom.liveReferences(), 0);
}

}  // namespace
}  // namespace quillo::testing
