// The GUI rules and the text conversion (GB18030 as code page 936 writes it), on both systems.
#include <gtest/gtest.h>

#include <cmath>

#include "text.h"
#include "window_rules.h"

namespace quillo::rules {
namespace {

TEST(TextTest, Gb18030ConvertsBothWaysAndReplacesWhatIsNoCharacter) {
  enum Ways { kBoth, kBytesOnly, kUtf16Only };
  const struct {
    const char* name;
    std::u16string utf16;
    std::string bytes;
    Ways ways = kBoth;
  } rows[] = {
      {"ascii", u"+8613800138000", "+8613800138000"},
      {"code page 936", u"拨号", "\xB2\xA6\xBA\xC5"},
      {"full-width comma", u"，", "\xA3\xAC"},
      {"euro sign, as 936 writes it", u"€5", "\x80\x35"},
      {"middle dot, euro, ideographic zero", u"\u00B7\u20AC\u3007", "\xA1\xA4\x80\xA9\x96"},
      {"beyond 936: four bytes", u"\u0080\u00A5\uFFFF",
       "\x81\x30\x81\x30\x81\x30\x84\x36\x84\x31\xA4\x39"},
      {"supplementary plane", u"\U0001F600\U00020000", "\x94\x39\xFC\x36\x95\x32\x82\x36"},
      {"product name", u"QuilloBY中国人，中国范~",
       "QuilloBY\xD6\xD0\xB9\xFA\xC8\xCB\xA3\xAC\xD6\xD0\xB9\xFA\xB7\xB6~"},
      {"single-byte edge", u"\u007F", "\x7F"},
      {"first code past it, alone", u"\u0080", "\x81\x30\x81\x30"},
      {"euro signs twice, apart and together", u"€a€€", "\x80\x61\x80\x80"},
      {"lead and trail bounds", u"\u4E02\u4E8A\u4E90\u4FA2\uFA0C",
       "\x81\x40\x81\x7E\x81\x80\x81\xFE\xFE\x40"},
      {"supplementary bounds", u"\U00010000\U0010FFFF", "\x90\x30\x81\x30\xE3\x32\x9A\x35"},
      {"empty", u"", ""},
      // Bytes that are no character each read as U+FFFD; a lone surrogate writes as '?'.
      {"stray byte", u"a\uFFFDb", "a\xFF\x62", kBytesOnly},
      {"lead byte cut short at the end", u"a\uFFFD", "a\x81", kBytesOnly},
      {"GB18030's own euro sign", u"€", "\xA2\xE3", kBytesOnly},
      {"lone high surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a?b", kUtf16Only},
      {"lone low surrogate at the end", std::u16string(u"a") + char16_t(0xDC00), "a?", kUtf16Only},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.ways == kBytesOnly ? row.bytes : TextFromUtf16(row.utf16), row.bytes);
    EXPECT_EQ(row.ways == kUtf16Only ? row.utf16 : TextToUtf16(row.bytes), row.utf16);
    EXPECT_EQ(row.ways != kBoth ? row.bytes : TextFromUtf8(TextToUtf8(row.bytes)), row.bytes);
  }
}

TEST(TextTest, TextToNumber) {
  // clang-format off
  const std::pair<const char*, double> rows[] = {
      {"0", 0},        {"2", 2},       {"138", 138},    {"  42", 42},          {"-7", -7},
      {"+5", 5},       {"1.5", 1.5},   {".5", 0.5},     {"12abc", 12},         {"1e3", 1000},
      {"1e", 1},       {"", 0},        {"ext-gen69", 0}, {"phone-number", 0},  {"+86138", 86138},
      {"abc12", 0},    {"-", 0},       {".", 0},        {"inf", 0},            {"nan", 0},
      {"0x10", 0},     {"1e-999", 0}};
  // clang-format on
  for (const auto& [text, value] : rows) EXPECT_EQ(TextToNumber(text), value) << text;
  EXPECT_TRUE(std::isinf(TextToNumber("1e999")));
}

TEST(TextTest, FindText) {
  // clang-format off
  const std::tuple<const char*, const char*, int> rows[] = {
      {"text|password|file", "text", 0},    {"text|password|file", "file", 14},
      {"text|password|file", "tel", -1},    {"text|password|file", "Text", -1},
      {"button|submit|reset", "button", 0}, {"text|password|file", "", -1},
      {"", "a", -1},                        {"context", "text", 3}};
  // clang-format on
  for (const auto& [haystack, needle, position] : rows)
    EXPECT_EQ(FindText(haystack, needle), position) << haystack << " / " << needle;
}

TEST(WindowRulesTest, PlacementDecidesWhatTheUserCanSeeAndReach) {
  using enum ControlKind;
  // clang-format off
  const WindowSpec window{.name = "w", .clientWidth = 200, .clientHeight = 100,
                          .tabOrder = {"partly inside", "tab", "right of the client",
                                       "left of the client", "no size", "hidden", "not focusable"}};
  const struct {
    const char* name;
    ControlKind kind;
    int left, width;
    bool shown, focusable;
    int placedLeft;
    bool placedShown, inSight, takesFocus, tabStop;
  } rows[] = {
      {"tab", EditBox, 10, 50, true, true, 10, true, true, true, true},
      {"partly inside", Button, 190, 20, true, true, 190, true, true, true, true},
      {"right of the client", Button, 200, 20, true, true, 200, true, false, false, false},
      {"left of the client", Button, -20, 20, true, true, -20, true, false, false, false},
      {"no size", Button, 10, 0, true, true, 10, true, false, false, false},
      {"hidden", TransparentLabel, 10, 50, false, true, 10, false, false, false, false},
      {"hidden box inside", BrowserBox, 10, 50, false, true, 200, true, false, false, false},
      {"hidden box outside", BrowserBox, 300, 50, false, true, 300, true, false, false, false},
      {"not in the tab order", EditBox, 10, 50, true, true, 10, true, true, true, false},
      {"not focusable", Button, 10, 50, true, false, 10, true, true, false, false}};
  for (const auto& row : rows) {
    const Placement got = Place({.name = row.name, .kind = row.kind, .left = row.left, .top = 5,
                                 .width = row.width, .height = 20, .shown = row.shown,
                                 .focusable = row.focusable}, window);
    // clang-format on
    EXPECT_EQ(
        std::tuple(got.left, got.top, got.shown, got.inSight, got.takesFocus, got.tabStop),
        std::tuple(row.placedLeft, 5, row.placedShown, row.inSight, row.takesFocus, row.tabStop))
        << row.name;
  }
}

TEST(WindowRulesTest, TabStepWrapsRoundAndPassesOverWhatRefuses) {
  const auto allBut1 = [](std::size_t i) { return i != 1; };
  // clang-format off
  using Index = std::optional<std::size_t>;
  using Step = std::tuple<std::size_t, Index, bool, Index>;
  for (const auto& [count, from, backwards, to] : {Step{3, 0, false, 2}, {3, 2, false, 0},
       {3, {}, false, 0}, {3, {}, true, 2}, {3, 0, true, 2}, {3, 2, true, 0}, {1, 0, false, 0},
       {0, {}, false, {}}}) {
    // clang-format on
    EXPECT_EQ(TabStep(count, from, backwards, allBut1), to)
        << count << from.value_or(9) << backwards;
  }
  EXPECT_EQ(TabStep(3, 0, false, [](std::size_t) { return false; }), std::nullopt);
}

TEST(WindowRulesTest, AddressesSplitIntoBuiltInPagesAndQueries) {
  using Split = std::tuple<const char*, bool, const char*, std::optional<std::string_view>>;
  // clang-format off
  for (const auto& [address, builtIn, path, query] :
       {Split{"https://calls.example/cn?a=1", false, "https://calls.example/cn?a=1", {}},
        {"locale/cn/index.html", true, "locale/cn/index.html", {}},
        {"partner/index.html?fromuid=42&x=1", true, "partner/index.html", "fromuid=42&x=1"},
        {"a.html?", true, "a.html", ""}, {"", false, "", {}}}) {
    // clang-format on
    const PageAddress split = SplitAddress(address);
    EXPECT_EQ(std::tuple(split.builtIn, split.path, split.query), std::tuple(builtIn, path, query))
        << address;
  }
  EXPECT_EQ(PagesFolder<char>("/usr/bin", '/'), "/usr/share/quillo/pages");
  EXPECT_EQ(PagesFolder<char>("/opt/q/bin/", '/'), "/opt/q/share/quillo/pages");
  EXPECT_EQ(PagesFolder<char16_t>(u"C:\\Q\\bin", u'\\'), u"C:\\Q\\share\\quillo\\pages");
}

TEST(WindowRulesTest, ModifiersLinksBoxesAndEvents) {
  for (int mask = 0; mask < 8; ++mask)  // Ctrl 1, Shift 2, Alt 4
    EXPECT_EQ(ModifierMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0), mask);
  // A link shows hover over visited over normal; it opens only with a caption and a target.
  const LinkColours colours{{1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
  for (const auto& [hovered, visited, red] :
       {std::tuple(false, false, 1), {false, true, 3}, {true, false, 2}, {true, true, 2}})
    EXPECT_EQ(LinkColour(colours, hovered, visited).red, red) << hovered << visited;
  for (const auto& [caption, target] : {std::pair("", "t"), {"c", ""}, {"", ""}, {"c", "t"}})
    EXPECT_EQ(LinkOpens(std::string_view(caption), std::string_view(target)), *caption && *target);
  // A browser box's role: (shown, call button) -> calling, own profile, hands to the browser.
  // clang-format off
  for (const auto& [shown, button, calling, ownProfile, handsOn] :
       {std::tuple(true, "", false, false, true), {false, "", false, true, true},
        {false, "call", true, true, false}, {true, "call", true, false, false}}) {
    const BoxRole got = RoleOf({.name = "b", .kind = ControlKind::BrowserBox, .width = 1,
                                .height = 1, .shown = shown, .focusable = true,
                                .callButton = button});
    // clang-format on
    EXPECT_EQ(std::tuple(got.calling, got.ownProfile, got.handsToBrowser),
              std::tuple(calling, ownProfile, handsOn))
        << shown << button;
  }
  // Raise runs the handlers of its event, in order, with its arguments.
  std::vector<std::string> ran;
  const auto note = [&ran](std::string name) {
    return [&ran, name](std::span<const std::int32_t> arguments) {
      std::string seen = name;
      for (const std::int32_t argument : arguments) seen += " " + std::to_string(argument);
      ran.push_back(seen);
    };
  };
  const std::vector<EventBinding> events = {
      {kClickEvent, note("a")}, {kLeftButtonDownEvent, note("b")}, {kClickEvent, note("c")}};
  const std::int32_t arguments[] = {7, 9, 2};
  Raise(events, kLeftButtonDownEvent, arguments);
  Raise(events, kClickEvent);
  Raise(events, 5);
  EXPECT_EQ(ran, (std::vector<std::string>{"b 7 9 2", "a", "c"}));
}

TEST(WindowRulesTest, OnlyWebAddressesGoToTheBrowser) {
  // clang-format off
  const std::pair<std::u16string_view, bool> rows[] = {
      {u"http://a", true},      {u"https://a/b?c", true},  {u"HTTPS://A", true},
      {u"hTtP://a", true},      {u"http://", false},       {u"https://", false},
      {u"http:/a", false},      {u"http:a", false},        {u"httpx://a", false},
      {u" http://a", false},    {u"ftp://a", false},       {u"file:///etc/passwd", false},
      {u"javascript:alert(1)", false}, {u"mailto:a@b", false}, {u"", false},
      {u"ftp://http://a", false}, {u"http://https://", true}};
  // clang-format on
  for (const auto& [address, web] : rows)
    EXPECT_EQ(IsWebAddress(address), web) << std::string(address.begin(), address.end());
  EXPECT_TRUE(IsWebAddress(std::string_view("https://a")));
}

TEST(WindowRulesTest, ASelectionStaysWhileItFitsTheNewText) {
  // (start, end, new length) -> kept; what is kept is the selection itself
  using Row = std::tuple<std::size_t, std::size_t, std::size_t, bool>;
  // clang-format off
  for (const auto& [start, end, length, kept] : {Row{1, 3, 4, true}, {1, 4, 4, true},
       {1, 5, 4, false}, {0, 0, 4, false}, {2, 2, 4, false}, {0, 4, 4, true}, {3, 1, 4, false}}) {
    // clang-format on
    const auto got = KeptSelection({start, end}, length);
    EXPECT_EQ(got.has_value(), kept) << start << "-" << end << " of " << length;
    const Selection held = got.value_or(Selection{start, end});
    EXPECT_EQ(std::pair(held.start, held.end), std::pair(start, end));
  }
}

}  // namespace
}  // namespace quillo::rules
