// The operator and the page keeper over real pages in the real browser engine.
#include <gtest/gtest.h>

#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <limits>
#include <optional>
#include <random>

#include "engine_fixture.h"
#include "fake_browser.h"
#include "operator_case_runner.h"
#include "page_bridge.h"
#include "page_keeper.h"

namespace quillo::testing {
namespace {

const auto kRowName = [](const auto& row) { return std::string(row.param.name); };

// The data-index of the element an object refers to; -1 for no object, -2 for none.
int IndexOf(const AutomationObject& element) {
  if (element.IsEmpty()) return -1;
  const Text index = element.GetObject("dataset").GetText("index");
  return index.empty() ? -2 : static_cast<int>(TextToNumber(index));
}

void KeepBusy(EnginePage& page, int ms) { page.Evaluate(EnginePage::BusyScript(ms) + " 1"); }

template <typename Base>
class OnePage : public Base {
 protected:
  static void SetUpTestSuite() { page_ = std::make_unique<EnginePage>(); }
  static void TearDownTestSuite() { page_.reset(); }
  static QVariant Read(const char* script, int i) {
    return page_->Evaluate(QString::fromLatin1(script).arg(i));
  }
  static QString State(int count) {  // each element's "value/clicks"
    const char* script =
        "[...Array(%1).keys()].map((i) => ((document.querySelector("
        "`[data-index='${i}']`) || {}).value || '') + '/' + (clicks[i] || 0))";
    return Read(script, count).toStringList().join(u' ');
  }
  static inline std::unique_ptr<EnginePage> page_;
};

class OperatorEngineTest : public OnePage<::testing::TestWithParam<OperatorCase>> {
 public:  // the page as the operator rows read it
  int IndexOf(const AutomationObject& element) { return testing::IndexOf(element); }
  std::string value(int i) {
    return Read("document.querySelector('[data-index=\"%1\"]').value", i).toString().toStdString();
  }
  int clicks(int i) { return Read("clicks[%1] || 0", i).toInt(); }
  std::vector<std::string> events(int i) {
    std::vector<std::string> events;
    for (const QString& e : Read("events[%1] || []", i).toStringList())
      events.push_back(e.toStdString());
    return events;
  }
};

TEST_P(OperatorEngineTest, FindsFillsAndClicksTheExpectedElement) {
  ASSERT_TRUE(page_->LoadBody(QString::fromStdString(ToHtml(GetParam().page))));
  WebPageOperator op;
  ASSERT_TRUE(op.Bind(page_->box().registryHandle()));
  RunOperatorCase(GetParam(), op, *this);
  op.ReleaseDocument();
  EXPECT_EQ(page_->box().bridge().RegistrySize(), 1);
}

INSTANTIATE_TEST_SUITE_P(RealPage, OperatorEngineTest, ::testing::ValuesIn(OperatorCases()),
                         kRowName);

using PageLookTest = OnePage<::testing::Test>;

// On random pages, the walk finds, fills and clicks what it does on the in-memory page.
TEST_F(PageLookTest, FindsWhatTheInMemoryPageFinds) {
  const std::vector<std::string> tags = {"input", "input", "button", "textarea", "select", "a"};
  const std::vector<std::string> types = {"",      "text",   "TEXT",   "Password", "file",  "tel",
                                          "bogus", "button", "Submit", "reset",    "hidden"};
  const std::vector<std::string> keys = {"", "k", "K", "x", "1", "2", "3", "02", "-1"};
  std::mt19937 random(20261208);
  const auto upTo = [&random](size_t most) {
    return std::uniform_int_distribution<size_t>(0, most)(random);
  };
  const auto pick = [&](const auto& from) -> const auto& { return from[upTo(from.size() - 1)]; };
  for (int pageNumber = 0; pageNumber < 300; ++pageNumber) {
    std::vector<PageElement> elements(upTo(8));
    for (PageElement& e : elements)
      e = {pick(tags), pick(types), pick(keys), pick(keys), pick(keys)};
    SCOPED_TRACE(ToHtml(elements));
    ASSERT_TRUE(page_->LoadBody(QString::fromStdString(ToHtml(elements))));
    FakePage dom(elements);
    FakeBrowser browser(dom);
    WebPageOperator engine, fake;
    ASSERT_TRUE(engine.Bind(page_->box().registryHandle()) && fake.Bind(browser.outer()));
    for (int query = 0; query < 4; ++query) {
      const std::string_view filter = query % 2 ? kButtonTypes : kTextBoxTypes;
      const std::string& key = pick(keys);
      const int skip = static_cast<int>(upTo(2));
      std::int32_t at[2] = {0, 0};
      const int found[2] = {IndexOf(engine.FindFormElement(filter, key, skip, at[0])),
                            dom.IndexOf(fake.FindFormElement(filter, key, skip, at[1]))};
      EXPECT_EQ(std::pair(found[0], at[0]), std::pair(found[1], at[1]))
          << filter << " key " << key << " skip " << skip;
    }
    const std::string& key = pick(keys);
    const int skip = static_cast<int>(upTo(1));
    EXPECT_EQ(engine.FillTextBox(key, "v", skip), fake.FillTextBox(key, "v", skip));
    EXPECT_EQ(engine.ClickButton(key, skip), fake.ClickButton(key, skip));
    std::string expected;
    for (int i = 0; i < static_cast<int>(elements.size()); ++i)
      expected += (i ? " " : "") + dom.value(i) + "/" + std::to_string(dom.clicks(i));
    EXPECT_EQ(State(static_cast<int>(elements.size())).toStdString(), expected)
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
  for (int at = 0; at < 22; ++at) {  // first all from the look, then from the page
    const AutomationObject element = (at < 11 ? looked : all).CallObject("item", at % 11 * 1.0);
    for (const char* name : {"type", "name", "id", "title"})
      reads[at / 11].push_back(element.GetText(name) +
                               (element.GetObject(name).IsEmpty() ? "" : "|o"));
  }
  EXPECT_EQ(reads[0], reads[1]);
  for (const bool call : {false, true}) {  // our own write or call: reads come from the page
    ASSERT_EQ(page_->Evaluate(QStringLiteral("var d = document.body.firstChild;"
                                             "d.onclick = function () { this.title = 'c'; };"
                                             "d.title = 'a'")),
              "a");
    const AutomationObject first = all.CallObject("tags", "*").CallObject("item", 0.0);
    ASSERT_EQ(first.GetText("title"), "a") << call;
    EXPECT_TRUE(call ? first.get()->Call("click", {}).has_value() : first.PutText("title", "w"));
    EXPECT_EQ(first.GetText("title"), call ? "c" : "w");
  }
}

// The page changes between the search (first of two text boxes, two buttons) and the action.
struct Change {
  const char *name, *script;  // no script: the page is loaded again
  bool click;                 // else fill
  const char* state;
};
void PrintTo(const Change& row, std::ostream* out) { *out << row.name; }

using PageChangeTest = OnePage<::testing::TestWithParam<Change>>;

TEST_P(PageChangeTest, FillOrClickReachesTheChosenElementOrNone) {
  const Change& row = GetParam();
  const QString body = QStringLiteral(
      "<input data-index=\"0\" id=\"k\"><input data-index=\"1\" id=\"k\">"
      "<button data-index=\"2\" id=\"k\"></button><button data-index=\"3\" id=\"k\"></button>");
  ASSERT_TRUE(page_->LoadBody(body));
  WebPageOperator op;
  ASSERT_TRUE(op.Bind(page_->box().registryHandle()));
  const AutomationObject element = row.click ? op.FindButton("k", 0) : op.FindTextBox("k", 0);
  ASSERT_FALSE(element.IsEmpty());
  if (row.script)
    page_->Evaluate(QString::fromLatin1(row.script));
  else
    ASSERT_TRUE(page_->LoadBody(body));
  const bool done =
      row.click ? element.get()->Call("click", {}).has_value() : element.PutText("value", "v");
  EXPECT_EQ(State(4), row.state);
  EXPECT_EQ(done, std::string_view(row.state) != "/0 /0 /0 /0");
  EXPECT_TRUE(done || element.GetText("id").empty()) << "what is gone reads nothing";
  EXPECT_EQ(op.GetDocument().GetObject("body").IsEmpty(), row.script == nullptr);
}

#define FIRST(i) "document.querySelector('[data-index=\"" #i "\"]')"
#define FRAME "document.body.appendChild(document.createElement('iframe'))"
const char kNone[] = "/0 /0 /0 /0";
const Change kChanges[] = {
    {"Renamed", FIRST(0) ".id = 'other'", false, "v/0 /0 /0 /0"},
    {"MovedToTheEnd", "document.body.append(" FIRST(0) ")", false, "v/0 /0 /0 /0"},
    {"OtherInsertedBefore", FIRST(0) ".insertAdjacentHTML('beforebegin', '<input id=k>')", false,
     "v/0 /0 /0 /0"},
    {"Removed", FIRST(0) ".remove()", false, kNone},
    {"AdoptedIntoAFrame", FRAME ".contentDocument.body.append(" FIRST(0) ")", false, kNone},
    {"ButtonAdoptedIntoAFrame", FRAME ".contentDocument.body.append(" FIRST(2) ")", true, kNone},
    {"ReplacedByItsTwin", FIRST(0) ".outerHTML = " FIRST(0) ".outerHTML", false, kNone},
    {"BodyRewritten", "document.body.innerHTML = document.body.innerHTML", false, kNone},
    {"DocumentRewritten", "document.write(document.body.outerHTML); document.close()", false,
     kNone},
    {"PageLoadedAgain", nullptr, false, kNone},
    {"ButtonRenamed", FIRST(2) ".id = 'x'", true, "/0 /0 /1 /0"},
    {"ButtonReplacedByItsTwin", FIRST(2) ".outerHTML = " FIRST(2) ".outerHTML", true, kNone},
    {"PageLoadedAgainBeforeClick", nullptr, true, kNone},
};
#undef FIRST
#undef FRAME

INSTANTIATE_TEST_SUITE_P(RealPage, PageChangeTest, ::testing::ValuesIn(kChanges), kRowName);

// Pages that fight back: each press must end, without a crash, with its case's result.
class HostilePageTest : public ::testing::Test {
 protected:
  bool LoadInputs(int count, const QString& script = {}) {
    const QString others = QStringLiteral("<input name=\"n\">").repeated(count - 2);
    return page_->Load(others + EnginePage::CallingPage(script));
  }
  QString Phone() {  // read in the bridge's world, where the page cannot change the getter
    const QString script = QStringLiteral("document.getElementById('phone-number').value");
    return page_->Evaluate(script, qt::PageBridge::kWorld).toString();
  }
  std::unique_ptr<EnginePage> page_ = std::make_unique<EnginePage>();
  WebPageOperator op_;
};

TEST_F(HostilePageTest, BoxThatGoesDuringARequestEndsItQuietly) {
  ASSERT_TRUE(page_->Load(EnginePage::CallingPage()));
  const std::int32_t box = page_->box().registryHandle();
  KeepBusy(*page_, 3000);
  QTimer::singleShot(300, [this] { page_.reset(); });  // while the request waits on the page
  EXPECT_FALSE(op_.Bind(box));
  ASSERT_EQ(page_, nullptr);
  EXPECT_FALSE(op_.Bind(box) || IsWindow(WindowFromHandle(box)));  // its windows went with it
}

TEST_F(HostilePageTest, RendererKilledDuringPressFailsQuietlyAndReloadRecovers) {
  ASSERT_TRUE(LoadInputs(300));
  KeepBusy(*page_, 500);
  QTimer::singleShot(30, [this] { page_->KillRenderer(); });
  const Pressed killed = page_->Press(op_);
  EXPECT_FALSE(killed.filled && killed.clicked);
  QTest::qWait(300);  // the engine notices the crash
  EXPECT_FALSE(page_->Press(op_).bound);
  ASSERT_TRUE(page_->Load(EnginePage::CallingPage()));
  EXPECT_TRUE(page_->Press(op_).works());
  EXPECT_EQ(Phone(), QString::fromLatin1(kNumber));
}

TEST_F(HostilePageTest, NavigationDuringPressNeverReachesTheNewPage) {
  ASSERT_TRUE(LoadInputs(300));
  const QString next = EnginePage::CallingPage(QStringLiteral("window.next = 1;"));
  QTimer::singleShot(30, [&] { page_->box().setHtml(next, QUrl("https://calling.test/b")); });
  page_->Press(op_);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return page_->Evaluate(QStringLiteral("typeof next")) == "number"; }, 5000));
  const AutomationObject stale = op_.GetDocument();
  EXPECT_EQ(Phone(), QString());
  EXPECT_TRUE(stale.IsEmpty() || stale.GetObject("body").IsEmpty());
  EXPECT_TRUE(page_->Press(op_).works());
  EXPECT_EQ(Phone(), QString::fromLatin1(kNumber));
}

// Huge, shrinking under the walk, redefining the bridge's tools, pressed often: all give back.
TEST_F(HostilePageTest, PressesWorkAndGiveBackWhatTheyTook) {
  const struct {
    int inputs, presses;
    const char* script;
  } rows[] = {
      {10000, 1, ""},
      {400, 3,
       "setInterval(() => { const first = document.querySelector('input');"
       "  if (first && first.id !== 'phone-number') first.remove(); }, 1);"},
      {2, 1,
       "HTMLElement.prototype.click = function () { window.hijackedClick = true; };"
       "Object.defineProperty(HTMLInputElement.prototype, 'value', {"
       "  get() { return 'fake'; }, set(v) { window.hijackedValue = v; } });"
       "Element.prototype.getElementsByTagName = () => [];"
       "Map.prototype.get = () => null; JSON.parse = () => ({});"},
      {2, 1000, ""},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(LoadInputs(row.inputs, QString::fromLatin1(row.script)));
    for (int i = 0; i < row.presses; ++i) ASSERT_TRUE(page_->Press(op_).works()) << i;
    EXPECT_EQ(Phone(), QString::fromLatin1(kNumber)) << row.script;
    EXPECT_EQ(page_->Evaluate(
                  QStringLiteral("`${clicks} ${typeof hijackedClick} ${typeof hijackedValue}`")),
              QStringLiteral("%1 undefined undefined").arg(row.presses));
    op_.ReleaseDocument();
    EXPECT_EQ(page_->box().bridge().RegistrySize(), 1) << row.script;
  }
}

TEST_F(HostilePageTest, NumbersTravelAsDataNeverAsScript) {
  ASSERT_TRUE(page_->Load(
      EnginePage::CallingPage(QStringLiteral("window.alert = () => { window.pwned = 1; };"))));
  // Ways out, each escaped character alone and its neighbours, 拨号, emoji, beyond the BMP.
  for (const char* utf8 :
       {"'\");alert(1)//</script>", "\"});globalThis.pwned=1;({\"", "`${globalThis.pwned=1}`",
        "\\\"\\\\\\n", "\xE2\x80\xA8\xE2\x80\xA9", "\"", "\\", "\n", "\r", "\x01", "\x1F", " ",
        "\x7F", "\xE2\x80\xA8", "\xE2\x80\xA9",
        "\xE6\x8B\xA8\xE5\x8F\xB7 \xF0\x9F\x98\x80 \xF0\xA0\x80\x80", ""}) {
    EXPECT_TRUE(page_->Press(op_, TextFromUtf8(utf8)).filled) << utf8;
    std::string shown(utf8);  // a text input strips line breaks from its value
    std::erase_if(shown, [](char c) { return c == '\n' || c == '\r'; });
    EXPECT_EQ(Phone(), QString::fromStdString(shown));
    EXPECT_EQ(TextToUtf8(op_.FindTextBox("phone-number", 0).GetText("value")), shown);
  }
  for (quint32 world : {0u, qt::PageBridge::kWorld})
    EXPECT_EQ(page_->Evaluate(QStringLiteral("typeof pwned"), world), "undefined") << world;
}

// A person's click (from the X server) while a call waits runs after the press, never inside.
TEST(UserInputDuringWaitTest, ClickIsHeldUntilThePressHasEnded) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs X";
  EnginePage page;
  ASSERT_TRUE(page.LoadBody(QStringLiteral("<input id=\"phone-number\">")));
  QPushButton dial(QStringLiteral("拨号"));
  dial.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dial));
  QTest::qWait(300);  // the window manager places it
  bool pressing = false;
  int clicks[2] = {0, 0};  // after the press, inside it
  QObject::connect(&dial, &QPushButton::clicked, [&] { ++clicks[pressing ? 1 : 0]; });
  WebPageOperator op;
  ASSERT_TRUE(op.Bind(page.box().registryHandle()));
  KeepBusy(page, 600);
  QTimer::singleShot(100, [&] {
    const QPoint at = dial.mapToGlobal(dial.rect().center());
    QProcess::execute(QStringLiteral("xdotool"), {"mousemove", "--sync", QString::number(at.x()),
                                                  QString::number(at.y()), "click", "1"});
  });
  pressing = true;
  EXPECT_TRUE(op.FillTextBox("phone-number", "1", 0));
  pressing = false;
  EXPECT_TRUE(QTest::qWaitFor([&] { return clicks[0] > 0; }, 3000));
  EXPECT_EQ(std::pair(clicks[0], clicks[1]), std::pair(1, 0));
}

struct KeeperCase {
  const char* name;
  qt::KeeperTimings timings;
  std::vector<int> killAfterMs;  // a renderer kill this long after each load
  int spinMs;                    // after the first load; -1 for ever
  bool missing;                  // no page file
  std::vector<int> waitsMs;      // from each renderer's end to its reload
  int messageMs = 0;             // a message after the spin, open this long; then a hang for ever
};

void PrintTo(const KeeperCase& row, std::ostream* out) { *out << row.name; }

// Dead or hung pages come back after waits that grow while they die; failed loads stay.
class PageKeeperTest : public OnePage<::testing::TestWithParam<KeeperCase>> {
 protected:
  // The box goes while its page keeps dying and a reload is due: nothing may fire after.
  static void TearDownTestSuite() {
    QWebEnginePage* web = page_->box().page();
    page_->box().keeper().setTimings({50, 100, 60000, 10000, 1000});
    QObject::connect(web, &QWebEnginePage::loadFinished, web, [] { page_->KillRenderer(); });
    int reloads = 0;
    QObject::connect(&page_->box().keeper(), &qt::PageKeeper::reloading, [&] { ++reloads; });
    page_->KillRenderer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return reloads >= 3; }, 10000));
    page_.reset();
    QTest::qWait(300);
  }
  static bool Write(const QString& path, const QString& html) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(html.toUtf8()) > 0;
  }
  static inline QTemporaryDir dir_;
};

TEST_P(PageKeeperTest, PageComesBackAndTakesAPress) {
  const KeeperCase& row = GetParam();
  qt::BrowserBox& box = page_->box();
  QWebEnginePage* web = box.page();
  box.keeper().setTimings(row.timings);
  const QString path = dir_.filePath(QString::fromLatin1(row.name) + ".html");
  const QString hang = QStringLiteral("setTimeout(() => { alert('x'); while (true) {} }, 0);");
  const QString script = EnginePage::BusyScript(row.spinMs) + (row.messageMs ? hang : QString());
  ASSERT_TRUE(row.missing || Write(path, EnginePage::CallingPage(script)));
  const QUrl url = QUrl::fromLocalFile(path);
  QElapsedTimer clock;
  clock.start();
  std::vector<qint64> ends, reloads;
  qint64 shown = -1, answered = std::numeric_limits<qint64>::max();
  std::optional<bool> loaded;  // whether the last load succeeded, once it ended
  size_t kills = 0;
  QObject context;
  QObject::connect(web, &QWebEnginePage::renderProcessTerminated, &context,
                   [&] { ends.push_back(clock.elapsed()); });
  QObject::connect(&box.keeper(), &qt::PageKeeper::reloading, &context, [&](const QUrl& what) {
    EXPECT_EQ(what, url);
    reloads.push_back(clock.elapsed());
    loaded.reset();
  });
  QObject::connect(web, &QWebEnginePage::loadFinished, &context, [&](bool success) {
    loaded = success;
    if (kills < row.killAfterMs.size())
      QTimer::singleShot(row.killAfterMs[kills++], &context, [] { page_->KillRenderer(); });
  });
  // Answered from the message's own event loop, timed from when it shows, however late that is.
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, &context, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (qobject_cast<QDialog*>(widget) == nullptr || !widget->isVisible()) continue;
      if (shown < 0) shown = clock.elapsed();
      if (clock.elapsed() - shown >= row.messageMs) answered = clock.elapsed(), widget->close();
    }
  });
  if (row.messageMs) answerer.start(50);
  box.load(url);
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded.has_value(); }, 10000));
  ASSERT_EQ(*loaded, !row.missing);
  qint64 hungAt = 0;
  if (row.spinMs != 0) {  // a press meets the page spinning
    QTest::qWait(200);
    EXPECT_FALSE(page_->Press().works());
    ASSERT_TRUE(box.bridge().hung());
    hungAt = clock.elapsed();
    EXPECT_TRUE(box.bridge().Document().IsEmpty());
    EXPECT_FALSE(page_->Press().bound);
    EXPECT_LT(clock.elapsed() - hungAt, qt::PageBridge::kCallTimeoutMs / 4);  // at once
    ASSERT_TRUE(Write(path, EnginePage::CallingPage()));                      // for the reload
  }
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return reloads.size() == row.waitsMs.size() && loaded && !box.bridge().hung(); },
      30000))
      << reloads.size() << " reloads; message shown at " << shown << ", answered at " << answered;
  QTest::qWait(row.timings.firstWaitMs * 2);  // and no further reload
  ASSERT_TRUE(reloads.size() == row.waitsMs.size() && ends.size() == reloads.size());
  for (size_t i = 0; i < reloads.size(); ++i) {
    EXPECT_GE(reloads[i] - ends[i], row.waitsMs[i] * 95 / 100) << "reload " << i;
    EXPECT_LE(reloads[i] - ends[i], row.waitsMs[i] * 3 / 2 + 150) << "reload " << i;
  }
  if (row.spinMs < 0) {
    EXPECT_GE(ends[0] - hungAt, row.timings.hangMs - row.timings.probeMs / 2);
  }
  if (row.messageMs) {  // the hang time began after the message
    EXPECT_GE(ends[0] - answered, row.timings.hangMs - 2 * row.timings.probeMs);
  }
  EXPECT_EQ(box.url(), url);
  EXPECT_EQ(page_->Press().works(), !row.missing);
  EXPECT_EQ(page_->Evaluate(
                QStringLiteral("`${document.getElementById('phone-number').value} ${clicks}`")),
            row.missing ? QVariant() : QVariant(QStringLiteral("%1 1").arg(kNumber)));
}

// DyingPageKeepsItsLongWait: a calm time below the longest wait (a dead page is not calm).
// clang-format off
const KeeperCase kKeeperCases[] = {
    {"KilledRendererComesBack", {}, {0}, 0, false, {1000}},
    {"WaitsDoubleUpToTheLongest", {100, 800, 60000, 10000, 1000}, {0, 0, 0, 0, 0}, 0, false,
     {100, 200, 400, 800, 800}},
    {"DyingPageKeepsItsLongWait", {300, 2400, 2000, 10000, 1000}, {0, 0, 0, 0, 0}, 0, false,
     {300, 600, 1200, 2400, 2400}},
    {"WaitFallsBackAfterCalm", {300, 4000, 1000, 10000, 1000}, {0, 0, 1500}, 0, false,
     {300, 600, 300}},
    {"SpinningPageIsEndedAndComesBack", {300, 4000, 60000, 1500, 500}, {}, -1, false, {300}},
    {"BriefHangIsLeftAlone", {300, 4000, 60000, 4000, 250}, {}, 2500, false, {}},
    {"FailedLoadIsLeftAsItIs", {200, 4000, 60000, 1500, 250}, {}, 0, true, {}},
    {"MessageHoldsTheHangClock", {300, 4000, 60000, 2500, 100}, {}, 2500, false, {300}, 6000},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Keeper, PageKeeperTest, ::testing::ValuesIn(kKeeperCases), kRowName);

}  // namespace
}  // namespace quillo::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const auto app = quillo::testing::MakeEngineApplication(argc, argv);
  return RUN_ALL_TESTS();
}
