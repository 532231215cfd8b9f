// Pages that fight back: hung, crashing, navigating, changing under the walk, huge, or
// hostile to the bridge. Each press must end, without a crash, with its case's result.
#include <gtest/gtest.h>

#include <QTimer>

#include "engine_fixture.h"
#include "page_bridge.h"
#include "web_page_operator.h"

namespace quillo::testing {
namespace {

QString Inputs(int count) {
  QString html;
  for (int i = 0; i < count - 1; ++i) html += QStringLiteral("<input name=\"n%1\">").arg(i);
  return html + QStringLiteral("<input id=\"phone-number\"><button id=\"ext-gen69\">x</button>");
}

QString CallingPage(const QString& extraScript = {}) {
  return QStringLiteral(
             "<!doctype html><meta charset=\"utf-8\"><input type=\"text\" id=\"phone-number\">"
             "<input type=\"button\" id=\"ext-gen69\"><script>window.clicks = 0;"
             "document.getElementById('ext-gen69').addEventListener('click', () => clicks++);") +
         extraScript + QStringLiteral("</script>");
}

QString PhoneValue(EnginePage& page) {
  // Read from the bridge's world, where the page cannot have changed the value getter.
  return page
      .Evaluate(QStringLiteral("document.getElementById('phone-number').value"),
                qt::PageBridge::kWorld)
      .toString();
}

TEST(HostilePageTest, BoxThatGoesDuringARequestEndsItQuietly) {
  auto page = std::make_unique<EnginePage>();
  ASSERT_TRUE(page->Load(CallingPage()));
  const std::int32_t box = page->box().registryHandle();
  page->KeepBusy(3000);
  QTimer::singleShot(300, [&page] { page.reset(); });  // while the request waits on the page
  WebPageOperator op;
  EXPECT_FALSE(op.Bind(box));
  ASSERT_EQ(page, nullptr);
  EXPECT_FALSE(op.Bind(box));  // what the box left: its windows went with it
}

TEST(HostilePageTest, RendererKilledDuringPressFailsQuietlyAndReloadRecovers) {
  EnginePage page;
  ASSERT_TRUE(page.LoadBody(Inputs(300)));
  WebPageOperator op;
  page.KeepBusy(500);
  QTimer::singleShot(30, [&page] { page.KillRenderer(); });
  const Pressed killed = page.Press(op);
  EXPECT_FALSE(killed.filled && killed.clicked);
  QTest::qWait(300);  // let the engine notice the crash
  EXPECT_FALSE(page.Press(op).bound);
  ASSERT_TRUE(page.Load(CallingPage()));
  EXPECT_TRUE(page.Press(op).works());
  EXPECT_EQ(PhoneValue(page), QString::fromLatin1(kNumber));
}

TEST(HostilePageTest, NavigationDuringPressNeverReachesTheNewPage) {
  EnginePage page;
  ASSERT_TRUE(page.LoadBody(Inputs(300)));
  WebPageOperator op;
  // The new page has the same elements; what the press found on the old page must not
  // reach them.
  QTimer::singleShot(
      30, [&page] { page.box().setHtml(CallingPage(), QUrl("https://calling.test/b")); });
  page.Press(op);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return page.Evaluate(QStringLiteral("typeof clicks")) == "number"; }, 5000));
  AutomationObject stale = op.GetDocument();
  EXPECT_EQ(PhoneValue(page), QString());
  if (!stale.IsEmpty()) {
    EXPECT_TRUE(stale.GetObject("body").IsEmpty());
  }
  EXPECT_TRUE(page.Press(op).works());
  EXPECT_EQ(PhoneValue(page), QString::fromLatin1(kNumber));
}

TEST(HostilePageTest, ElementsRemovedDuringWalk) {
  EnginePage page;
  ASSERT_TRUE(page.LoadBody(
      Inputs(400) + QStringLiteral("<script>setInterval(() => {"
                                   "  const first = document.querySelector('input');"
                                   "  if (first && first.id !== 'phone-number') first.remove();"
                                   "}, 1);</script>")));
  WebPageOperator op;
  for (int i = 0; i < 3; ++i) page.Press(op);
  op.ReleaseDocument();
  EXPECT_EQ(page.box().bridge().RegistrySize(), 1);
}

TEST(HostilePageTest, TenThousandInputs) {
  EnginePage page;
  ASSERT_TRUE(page.LoadBody(Inputs(10000)));
  WebPageOperator op;
  EXPECT_TRUE(page.Press(op).works());
  EXPECT_EQ(PhoneValue(page), QString::fromLatin1(kNumber));
}

TEST(HostilePageTest, MainWorldRedefinitionsDoNotReachTheBridge) {
  EnginePage page;
  ASSERT_TRUE(page.Load(CallingPage(
      QStringLiteral("HTMLElement.prototype.click = function () { window.hijackedClick = true; };"
                     "Object.defineProperty(HTMLInputElement.prototype, 'value', {"
                     "  get() { return 'fake'; }, set(v) { window.hijackedValue = v; } });"
                     "Element.prototype.getElementsByTagName = () => [];"
                     "Map.prototype.get = () => null; JSON.parse = () => ({});"))));
  WebPageOperator op;
  EXPECT_TRUE(page.Press(op).works());
  EXPECT_EQ(PhoneValue(page), QString::fromLatin1(kNumber));
  EXPECT_EQ(page.Evaluate(QStringLiteral("clicks")).toInt(), 1);
  EXPECT_EQ(
      page.Evaluate(QStringLiteral("String(window.hijackedClick) + String(window.hijackedValue)")),
      "undefinedundefined");
}

TEST(HostilePageTest, NumbersTravelAsDataNeverAsScript) {
  const char* numbers[] = {
      "'\");alert(1)//</script>",
      "\"});globalThis.pwned=1;({\"",
      "`${globalThis.pwned=1}`",
      "\\\"\\\\\\n",
      "\xE2\x80\xA8\xE2\x80\xA9",  // line and paragraph separators
      // Each character the wire escapes, alone, and those either side of the control range.
      // clang-format off
      "\"", "\\", "\n", "\r", "\x01", "\x1F", " ", "\x7F", "\xE2\x80\xA8", "\xE2\x80\xA9",
      // clang-format on
      "\xE6\x8B\xA8\xE5\x8F\xB7 \xF0\x9F\x98\x80 \xF0\xA0\x80\x80",  // 拨号, an emoji, CJK Ext B
      "",
  };
  EnginePage page;
  ASSERT_TRUE(
      page.Load(CallingPage(QStringLiteral("window.alert = () => { window.pwned = 1; };"))));
  WebPageOperator op;
  for (const char* utf8 : numbers) {
    const Pressed press = page.Press(op, TextFromUtf8(utf8));
    EXPECT_TRUE(press.filled) << utf8;
    // A text input strips line breaks from its value (HTML's value sanitization algorithm).
    std::string shown(utf8);
    std::erase_if(shown, [](char c) { return c == '\n' || c == '\r'; });
    EXPECT_EQ(PhoneValue(page), QString::fromStdString(shown));
    ASSERT_TRUE(op.Bind(page.box().registryHandle()));
    const AutomationObject input = op.FindTextBox("phone-number", 0);
    EXPECT_EQ(TextToUtf8(input.GetText("value")), shown);
  }
  for (quint32 world : {0u, qt::PageBridge::kWorld}) {
    EXPECT_EQ(page.Evaluate(QStringLiteral("typeof pwned"), world), "undefined") << world;
  }
}

TEST(HostilePageTest, RegistryReturnsToBaselineAfterManyPresses) {
  EnginePage page;
  ASSERT_TRUE(page.Load(CallingPage()));
  WebPageOperator op;
  for (int i = 0; i < 1000; ++i) {
    const Pressed press = page.Press(op);
    ASSERT_TRUE(press.clicked) << i;
  }
  EXPECT_EQ(page.Evaluate(QStringLiteral("clicks")).toInt(), 1000);
  op.ReleaseDocument();
  EXPECT_EQ(page.box().bridge().RegistrySize(), 1);
}

}  // namespace
}  // namespace quillo::testing
