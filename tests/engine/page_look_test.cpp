// The walk over one look at the page: it finds what the in-memory page finds on random
// pages, and a fill or click after the page has changed reaches the chosen element or none.
#include <gtest/gtest.h>

#include <random>

#include "engine_fixture.h"
#include "fake_browser.h"
#include "fake_dom.h"
#include "page_bridge.h"
#include "web_page_operator.h"

namespace quillo::testing {
namespace {

class PageLookTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { page_ = std::make_unique<EnginePage>(); }
  static void TearDownTestSuite() { page_.reset(); }

  static int IndexOf(const AutomationObject& element) {
    if (element.IsEmpty()) return -1;
    const Text index = element.GetObject("dataset").GetText("index");
    return index.empty() ? -2 : static_cast<int>(TextToNumber(index));
  }
  // The value of each element of the page (empty for those without one) and its clicks.
  static std::string State(int count) {
    return page_->Evaluate(QStringLiteral("Array.from({length: %1}, (_, i) => {"
                                          "  const e = document.querySelector(`[data-index=\"${i}\"]`);"
                                          "  return (e && e.value || '') + '/' + (clicks[i] || 0);"
                                          "}).join(' ')").arg(count))
        .toString()
        .toStdString();
  }
  static std::string State(const FakeDom& dom, int count) {
    std::string state;
    for (int i = 0; i < count; ++i) {
      state += (i ? " " : "") + dom.value(i) + "/" + std::to_string(dom.clicks(i));
    }
    return state;
  }
  static std::unique_ptr<EnginePage> page_;
};

std::unique_ptr<EnginePage> PageLookTest::page_;

template <typename T>
const T& Pick(std::mt19937& random, const std::vector<T>& from) {
  return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
}

TEST_F(PageLookTest, FindsWhatTheInMemoryPageFinds) {
  const std::vector<std::string> tags = {"input", "input", "input", "button", "textarea",
                                         "select", "a"};
  const std::vector<std::string> types = {"",     "text",  "TEXT",   "Password", "file",
                                          "tel",  "bogus", "button", "Submit",   "reset",
                                          "hidden"};
  const std::vector<std::string> keys = {"", "k", "K", "x", "1", "2", "3", "02", "-1"};
  const std::vector<std::string_view> filters = {kTextBoxTypes, kButtonTypes};
  std::mt19937 random(20261208);
  for (int pageNumber = 0; pageNumber < 300; ++pageNumber) {
    std::vector<PageElement> elements(std::uniform_int_distribution<size_t>(0, 8)(random));
    for (PageElement& e : elements) {
      e = {Pick(random, tags), Pick(random, types), Pick(random, keys), Pick(random, keys),
           Pick(random, keys)};
    }
    SCOPED_TRACE(ToHtml(elements));
    ASSERT_TRUE(page_->LoadBody(QString::fromStdString(ToHtml(elements))));
    FakeDom dom(elements);
    FakeBrowser browser(dom);
    WebPageOperator engine;
    WebPageOperator fake;
    ASSERT_TRUE(engine.Bind(page_->box().windowHandle()));
    ASSERT_TRUE(fake.Bind(browser.outer()));
    for (int query = 0; query < 4; ++query) {
      const std::string_view filter = Pick(random, filters);
      const std::string key = Pick(random, keys);
      const int skip = std::uniform_int_distribution<int>(0, 2)(random);
      std::int32_t enginePosition = 0;
      std::int32_t fakePosition = 0;
      const int found = IndexOf(engine.FindFormElement(filter, key, skip, enginePosition));
      const int expected =
          dom.IndexOf(fake.FindFormElement(filter, key, skip, fakePosition));
      EXPECT_EQ(found, expected) << filter << " key " << key << " skip " << skip;
      EXPECT_EQ(enginePosition, fakePosition) << filter << " key " << key << " skip " << skip;
    }
    const std::string key = Pick(random, keys);
    const int skip = std::uniform_int_distribution<int>(0, 1)(random);
    EXPECT_EQ(engine.FillTextBox(key, "v", skip), fake.FillTextBox(key, "v", skip));
    EXPECT_EQ(engine.ClickButton(key, skip), fake.ClickButton(key, skip));
    const int count = static_cast<int>(elements.size());
    EXPECT_EQ(State(count), State(dom, count)) << "key " << key << " skip " << skip;
  }
}


// A change to the page between the search and the fill or click.
struct Change {
  const char* name;
  const char* script;   // run in the page's own world after the search; none: load it again
  bool clickAction;     // click the button found instead of filling the text box found
  int expected;         // the data-index that the fill or click reaches; -1 for none
};

class PageChangeTest : public PageLookTest, public ::testing::WithParamInterface<Change> {};

// Two text boxes and two buttons with the same ids; the search finds the first of each.
constexpr char kChangingPage[] =
    "<input data-index=\"0\" id=\"k\"><input data-index=\"1\" id=\"k\">"
    "<button data-index=\"2\" id=\"k\"></button><button data-index=\"3\" id=\"k\"></button>";

TEST_P(PageChangeTest, FillOrClickReachesTheChosenElementOrNone) {
  ASSERT_TRUE(page_->LoadBody(QString::fromLatin1(kChangingPage)));
  WebPageOperator op;
  ASSERT_TRUE(op.Bind(page_->box().windowHandle()));
  const AutomationObject element = GetParam().clickAction ? op.FindButton("k", 0)
                                                          : op.FindTextBox("k", 0);
  ASSERT_FALSE(element.IsEmpty());
  if (GetParam().script != nullptr) {
    page_->Evaluate(QString::fromLatin1(GetParam().script));
  } else {
    ASSERT_TRUE(page_->LoadBody(QString::fromLatin1(kChangingPage)));
  }
  if (GetParam().clickAction) {
    element.Call("click");
  } else {
    EXPECT_EQ(element.PutText("value", "v"), GetParam().expected != -1);
  }
  std::string expected;
  for (int i = 0; i < 4; ++i) {
    const bool reached = i == GetParam().expected;
    expected += (i ? " " : "") + std::string(reached && !GetParam().clickAction ? "v" : "") +
                "/" + (reached && GetParam().clickAction ? "1" : "0");
  }
  EXPECT_EQ(State(4), expected);
}

const Change kChanges[] = {
    {"Renamed", "document.querySelector('[data-index=\"0\"]').id = 'other'; 1", false, 0},
    {"MovedToTheEnd", "document.body.append(document.querySelector('[data-index=\"0\"]')); 1",
     false, 0},
    {"OtherInsertedBefore",
     "const e = document.createElement('input'); e.id = 'k'; document.body.prepend(e); 1", false,
     0},
    {"Removed", "document.querySelector('[data-index=\"0\"]').remove(); 1", false, -1},
    {"ReplacedByItsTwin",
     "const e = document.querySelector('[data-index=\"0\"]'); e.outerHTML = e.outerHTML; 1",
     false, -1},
    {"BodyRewritten", "document.body.innerHTML = document.body.innerHTML; 1", false, -1},
    {"ButtonRemoved", "document.querySelector('[data-index=\"2\"]').remove(); 1", true, -1},
    {"ButtonReplacedByItsTwin",
     "const e = document.querySelector('[data-index=\"2\"]'); e.outerHTML = e.outerHTML; 1",
     true, -1},
    {"ButtonRenamed", "document.querySelector('[data-index=\"2\"]').id = 'x'; 1", true, 2},
    {"PageLoadedAgain", nullptr, false, -1},
    {"PageLoadedAgainBeforeClick", nullptr, true, -1},
    {"DocumentRewritten",
     "const html = document.body.innerHTML; document.open();"
     "document.write('<body>' + html + '</body>'); document.close(); 1",
     false, -1},
};

INSTANTIATE_TEST_SUITE_P(RealPage, PageChangeTest, ::testing::ValuesIn(kChanges),
                         [](const auto& param) { return std::string(param.param.name); });

// The look answers nothing after our own write: a read after it asks the page.
TEST_F(PageLookTest, ReadAfterOwnWriteAsksThePage) {
  ASSERT_TRUE(page_->LoadBody(QString::fromLatin1(kChangingPage)));
  const AutomationObject collection = page_->box().bridge().Document().GetObject("body")
                                          .GetObject("all").CallObject("tags", "input");
  const AutomationObject first = collection.CallObject("item", 0.0);
  const AutomationObject second = collection.CallObject("item", 1.0);
  ASSERT_TRUE(first.PutText("id", "renamed"));
  EXPECT_EQ(first.GetText("id"), "renamed");
  page_->Evaluate(QStringLiteral("document.querySelector('[data-index=\"1\"]').remove(); 1"));
  EXPECT_FALSE(second.PutText("id", "x"));
  EXPECT_EQ(collection.GetNumber("length"), 1);
}

// Every element of a mixed page reads the same from a look as from the page itself.
TEST_F(PageLookTest, LookReadsAsThePageReads) {
  ASSERT_TRUE(page_->LoadBody(QStringLiteral(
      "<div title=\"a&#1;b&#2;c&#2;&#4;\"></div><input name=\"&#2;&#4;x\" type=\"Email\">"
      "<form id=\"f\"><input name=\"id\"><input name=\"title\"></form><select></select>"
      "<textarea name=\"&#1;\"></textarea><a name=\"\xF0\x9F\x98\x80\"></a><button></button>"
      "<svg><title>t</title></svg>")));
  const AutomationObject collection = page_->box().bridge().Document().GetObject("body")
                                          .GetObject("all").CallObject("tags", "*");
  const int length = static_cast<int>(collection.GetNumber("length"));
  ASSERT_EQ(length, 11);
  std::vector<std::string> looked;
  for (int i = 0; i < length; ++i) {
    const AutomationObject element = collection.CallObject("item", static_cast<double>(i));
    for (const char* name : {"type", "name", "id", "title"}) {
      looked.push_back(element.GetText(name) + "|" + (element.GetObject(name).IsEmpty() ? "" : "o"));
    }
  }
  ASSERT_TRUE(page_->box().bridge().Document().PutText("title", "t"));  // the look is old now
  for (int i = 0, at = 0; i < length; ++i) {
    const AutomationObject element = collection.CallObject("item", static_cast<double>(i));
    for (const char* name : {"type", "name", "id", "title"}) {
      EXPECT_EQ(element.GetText(name) + "|" + (element.GetObject(name).IsEmpty() ? "" : "o"),
                looked[static_cast<size_t>(at++)]) << "element " << i << " " << name;
    }
  }
}

}  // namespace
}  // namespace quillo::testing
