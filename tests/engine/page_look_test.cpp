// The walk over one look at the page finds what the in-memory page finds, reads what the page
// reads, and fills or clicks the chosen element or, once the page has changed, none.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "engine_fixture.h"
#include "fake_browser.h"
#include "fake_page.h"
#include "page_bridge.h"
#include "web_page_operator.h"

namespace quillo::testing {
namespace {

class PageLookTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { page_ = std::make_unique<EnginePage>(); }
  static void TearDownTestSuite() { page_.reset(); }
  // Each element's value and clicks, as "value/clicks" joined by blanks.
  static std::string State(int count) {
    return page_
        ->Evaluate(QStringLiteral("Array.from({length: %1}, (_, i) => {"
                                  "  const e = document.querySelector(`[data-index=\"${i}\"]`);"
                                  "  return (e && e.value || '') + '/' + (clicks[i] || 0);"
                                  "}).join(' ')")
                       .arg(count))
        .toString()
        .toStdString();
  }
  static std::unique_ptr<EnginePage> page_;
};

std::unique_ptr<EnginePage> PageLookTest::page_;

TEST_F(PageLookTest, FindsWhatTheInMemoryPageFinds) {
  const std::vector<std::string> tags = {"input", "input", "button", "textarea", "select", "a"};
  const std::vector<std::string> types = {"",      "text",   "TEXT",   "Password", "file",  "tel",
                                          "bogus", "button", "Submit", "reset",    "hidden"};
  const std::vector<std::string> keys = {"", "k", "K", "x", "1", "2", "3", "02", "-1"};
  std::mt19937 random(20261208);
  const auto pick = [&random](const auto& from) -> const auto& {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
  };
  for (int pageNumber = 0; pageNumber < 300; ++pageNumber) {
    std::vector<PageElement> elements(std::uniform_int_distribution<size_t>(0, 8)(random));
    for (PageElement& e : elements)
      e = {pick(tags), pick(types), pick(keys), pick(keys), pick(keys)};
    SCOPED_TRACE(ToHtml(elements));
    ASSERT_TRUE(page_->LoadBody(QString::fromStdString(ToHtml(elements))));
    FakePage dom(elements);
    FakeBrowser browser(dom);
    WebPageOperator engine;
    WebPageOperator fake;
    ASSERT_TRUE(engine.Bind(page_->box().registryHandle()) && fake.Bind(browser.outer()));
    for (int query = 0; query < 4; ++query) {
      const std::string_view filter = query % 2 ? kButtonTypes : kTextBoxTypes;
      const std::string& key = pick(keys);
      const int skip = std::uniform_int_distribution<int>(0, 2)(random);
      std::int32_t positions[2] = {0, 0};
      EXPECT_EQ(IndexOf(engine.FindFormElement(filter, key, skip, positions[0])),
                dom.IndexOf(fake.FindFormElement(filter, key, skip, positions[1])))
          << filter << " key " << key << " skip " << skip;
      EXPECT_EQ(positions[0], positions[1]) << filter << " key " << key << " skip " << skip;
    }
    const std::string& key = pick(keys);
    const int skip = std::uniform_int_distribution<int>(0, 1)(random);
    EXPECT_EQ(engine.FillTextBox(key, "v", skip), fake.FillTextBox(key, "v", skip));
    EXPECT_EQ(engine.ClickButton(key, skip), fake.ClickButton(key, skip));
    std::string expected;
    for (int i = 0; i < static_cast<int>(elements.size()); ++i) {
      expected += (i ? " " : "") + dom.value(i) + "/" + std::to_string(dom.clicks(i));
    }
    EXPECT_EQ(State(static_cast<int>(elements.size())), expected)
        << "key " << key << " skip " << skip;
  }
}

// Every kind of element reads the same from a look as from the page, until our own write.
TEST_F(PageLookTest, LookReadsAsThePageReads) {
  ASSERT_TRUE(page_->LoadBody(QStringLiteral(
      "<div title=\"a&#1;b&#2;c&#2;&#4;\"></div><input name=\"&#2;&#4;x\" type=\"Email\">"
      "<form id=\"f\"><input name=\"id\"><input name=\"title\"></form><select></select>"
      "<textarea name=\"&#1;\"></textarea><a name=\"\xF0\x9F\x98\x80\"></a><button></button>"
      "<svg><title>t</title></svg>")));
  const AutomationObject all = page_->box().bridge().Document().GetObject("body").GetObject("all");
  const AutomationObject looked = all.CallObject("tags", "*");  // all.item reads the page
  ASSERT_EQ(looked.GetNumber("length"), 11);
  std::vector<std::string> reads[2];
  for (int from = 0; from < 2; ++from) {  // first all from the look, then from the page
    for (int i = 0; i < 11; ++i) {
      const AutomationObject element = (from ? all : looked).CallObject("item", double(i));
      for (const char* name : {"type", "name", "id", "title"}) {
        reads[from].push_back(element.GetText(name) +
                              (element.GetObject(name).IsEmpty() ? "" : "|o"));
      }
    }
  }
  EXPECT_EQ(reads[0], reads[1]);
  // After our own write or call to an element of a fresh look, its reads come from the page.
  const struct {
    const char* how;
    std::function<void(const AutomationObject&)> change;
    const char* expected;  // the element's title afterwards
  } ours[] = {
      {"write", [](const AutomationObject& e) { ASSERT_TRUE(e.PutText("title", "renamed")); },
       "renamed"},
      {"call", [](const AutomationObject& e) { e.Call("click"); }, "clicked"},
  };
  for (const auto& row : ours) {
    ASSERT_TRUE(
        page_
            ->Evaluate(QStringLiteral(
                "document.body.firstChild.onclick = function () { this.title = 'clicked'; };"
                "document.body.firstChild.title = 'a'"))
            .isValid());
    const AutomationObject first = all.CallObject("tags", "*").CallObject("item", 0.0);
    ASSERT_EQ(first.GetText("title"), "a") << row.how;
    row.change(first);
    EXPECT_EQ(first.GetText("title"), row.expected) << row.how;
  }
}

// A change between the search and the fill or click; the page holds two text boxes and two
// buttons of id "k", and the search finds the first of each.
struct Change {
  const char* name;
  const char* script;  // run in the page's own world; none: the page is loaded again
  bool click;          // click the button found, else fill the text box found
  const char* state;   // each element's value and clicks afterwards
  bool done;           // what the fill or click reports
};

void PrintTo(const Change& change, std::ostream* out) { *out << change.name; }

class PageChangeTest : public PageLookTest, public ::testing::WithParamInterface<Change> {};

TEST_P(PageChangeTest, FillOrClickReachesTheChosenElementOrNone) {
  const QString body = QStringLiteral(
      "<input data-index=\"0\" id=\"k\"><input data-index=\"1\" id=\"k\">"
      "<button data-index=\"2\" id=\"k\"></button><button data-index=\"3\" id=\"k\"></button>");
  ASSERT_TRUE(page_->LoadBody(body));
  WebPageOperator op;
  ASSERT_TRUE(op.Bind(page_->box().registryHandle()));
  const AutomationObject element =
      GetParam().click ? op.FindButton("k", 0) : op.FindTextBox("k", 0);
  ASSERT_FALSE(element.IsEmpty());
  if (GetParam().script != nullptr) {
    page_->Evaluate(QString::fromLatin1(GetParam().script));
  } else {
    ASSERT_TRUE(page_->LoadBody(body));
  }
  const bool done = GetParam().click ? element.get()->Call("click", {}).has_value()
                                     : element.PutText("value", "v");
  EXPECT_EQ(State(4), GetParam().state);
  EXPECT_EQ(done, GetParam().done);
  // An element that is gone reads nothing, and after a load the old document reads nothing.
  if (!done) {
    EXPECT_EQ(element.GetText("id"), "");
  }
  EXPECT_EQ(op.GetDocument().GetObject("body").IsEmpty(), GetParam().script == nullptr);
}

#define FIRST(i) "document.querySelector('[data-index=\"" #i "\"]')"
// A frame of the same origin, made for the row.
#define FRAME "document.body.appendChild(document.createElement('iframe'))"
const Change kChanges[] = {
    {"Renamed", FIRST(0) ".id = 'other'", false, "v/0 /0 /0 /0", true},
    {"MovedToTheEnd", "document.body.append(" FIRST(0) ")", false, "v/0 /0 /0 /0", true},
    {"OtherInsertedBefore",
     "const e = document.createElement('input'); e.id = 'k'; document.body.prepend(e)", false,
     "v/0 /0 /0 /0", true},
    {"Removed", FIRST(0) ".remove()", false, "/0 /0 /0 /0", false},
    {"AdoptedIntoAFrame", FRAME ".contentDocument.body.append(" FIRST(0) ")", false, "/0 /0 /0 /0",
     false},
    {"ButtonAdoptedIntoAFrame", FRAME ".contentDocument.body.append(" FIRST(2) ")", true,
     "/0 /0 /0 /0", false},
    {"ReplacedByItsTwin", FIRST(0) ".outerHTML = " FIRST(0) ".outerHTML", false, "/0 /0 /0 /0",
     false},
    {"BodyRewritten", "document.body.innerHTML = document.body.innerHTML", false, "/0 /0 /0 /0",
     false},
    {"DocumentRewritten",
     "const html = document.body.innerHTML; document.open();"
     "document.write('<body>' + html + '</body>'); document.close()",
     false, "/0 /0 /0 /0", false},
    {"PageLoadedAgain", nullptr, false, "/0 /0 /0 /0", false},
    {"ButtonRenamed", FIRST(2) ".id = 'x'", true, "/0 /0 /1 /0", true},
    {"ButtonReplacedByItsTwin", FIRST(2) ".outerHTML = " FIRST(2) ".outerHTML", true, "/0 /0 /0 /0",
     false},
    {"PageLoadedAgainBeforeClick", nullptr, true, "/0 /0 /0 /0", false},
};
#undef FIRST
#undef FRAME

INSTANTIATE_TEST_SUITE_P(RealPage, PageChangeTest, ::testing::ValuesIn(kChanges),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quillo::testing
