#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "text.h"
#include "text_cases.h"

namespace quillo {
namespace {

TEST(TextTest, Gb18030RoundTripLosesNoCharacter) {
  for (const testing::TextCase& c : testing::RoundTripTexts()) {
    const Text bytes = TextFromUtf16(c.utf16);
    EXPECT_EQ(bytes, c.bytes) << c.name;
    EXPECT_EQ(TextToUtf16(bytes), c.utf16) << c.name;
    EXPECT_EQ(TextFromUtf8(TextToUtf8(bytes)), bytes) << c.name;
  }
}

TEST(TextTest, BrokenInputIsReplacedNotDropped) {
  for (const testing::TextCase& c : testing::OneWayBytes()) {
    EXPECT_EQ(TextToUtf16(c.bytes), c.utf16) << c.name;
  }
  for (const testing::TextCase& c : testing::BrokenUtf16()) {
    EXPECT_EQ(TextFromUtf16(c.utf16), c.bytes) << c.name;
  }
}

TEST(TextTest, TextToNumber) {
  struct Case {
    const char* text;
    double value;
  };
  // clang-format off
  const Case cases[] = {
      {"0", 0},          {"2", 2},           {"138", 138},     {"  42", 42},
      {"-7", -7},        {"+5", 5},          {"1.5", 1.5},     {".5", 0.5},
      {"12abc", 12},     {"1e3", 1000},      {"1e", 1},        {"", 0},
      {"phone-number", 0}, {"ext-gen69", 0}, {"+86138", 86138}, {"abc12", 0},
      {"-", 0},          {".", 0},           {"inf", 0},       {"nan", 0},
      {"0x10", 0},       {"1e-999", 0},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(TextToNumber(c.text), c.value) << c.text;
  EXPECT_TRUE(std::isinf(TextToNumber("1e999")));
}

TEST(TextTest, FindText) {
  struct Case {
    const char* haystack;
    const char* needle;
    int position;
  };
  // clang-format off
  const Case cases[] = {
      {"text|password|file", "text", 0},   {"text|password|file", "file", 14},
      {"text|password|file", "tel", -1},   {"text|password|file", "Text", -1},
      {"button|submit|reset", "button", 0}, {"text|password|file", "", -1},
      {"", "a", -1},                       {"context", "text", 3},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(FindText(c.haystack, c.needle), c.position) << c.haystack << " / " << c.needle;
  }
}

}  // namespace
}  // namespace quillo
