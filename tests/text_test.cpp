// The text conversion (GB18030 as code page 936 writes it) and the text helpers, on both systems.
#include <gtest/gtest.h>

#include <cmath>

#include "text.h"

namespace quillo {
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

}  // namespace
}  // namespace quillo
