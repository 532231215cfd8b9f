// Texts with the bytes they have in code page 936 (GB18030 codes beyond it), as data that
// every text backend must agree on: iconv on Linux, code page 936 on Windows.
#pragma once

#include <string>
#include <vector>

namespace quillo::testing {

struct TextCase {
  const char* name;
  std::u16string utf16;
  std::string bytes;
};

// Each converts both ways without loss.
inline std::vector<TextCase> RoundTripTexts() {
  return {
      {"ascii", u"+8613800138000", "+8613800138000"},
      {"code page 936", u"拨号", "\xB2\xA6\xBA\xC5"},
      {"full-width comma", u"，", "\xA3\xAC"},
      {"euro sign, as 936 writes it", u"€5",
       "\x80"
       "5"},
      {"middle dot, euro, ideographic zero", u"\u00B7\u20AC\u3007", "\xA1\xA4\x80\xA9\x96"},
      {"beyond 936: four bytes", u"\u0080\u00A5\uFFFF",
       "\x81\x30\x81\x30\x81\x30\x84\x36\x84\x31\xA4\x39"},
      {"supplementary plane", u"\U0001F600\U00020000", "\x94\x39\xFC\x36\x95\x32\x82\x36"},
      {"product name", u"QuilloBY中国人，中国范~",
       "QuilloBY\xD6\xD0\xB9\xFA\xC8\xCB\xA3\xAC\xD6\xD0\xB9\xFA\xB7\xB6~"},
      {"single-byte edge", u"\u007F", "\x7F"},
      {"euro signs twice, apart and together", u"€a€€",
       "\x80"
       "a\x80\x80"},
      {"lead and trail bounds", u"\u4E02\u4E8A\u4E90\u4FA2\uFA0C",
       "\x81\x40\x81\x7E\x81\x80\x81\xFE\xFE\x40"},
      {"supplementary bounds", u"\U00010000\U0010FFFF", "\x90\x30\x81\x30\xE3\x32\x9A\x35"},
      {"empty", u"", ""},
  };
}

// Bytes that read one way only: those that are no character each become U+FFFD, and
// GB18030's own code of the euro sign reads as the euro sign.
inline std::vector<TextCase> OneWayBytes() {
  return {
      {"stray byte",
       u"a\uFFFD"
       "b",
       "a\xFF"
       "b"},
      {"lead byte cut short at the end", u"a\uFFFD", "a\x81"},
      {"GB18030's euro sign", u"€", "\xA2\xE3"},
  };
}

// A lone surrogate, which is no character, becomes '?'.
inline std::vector<TextCase> BrokenUtf16() {
  return {
      {"lone high surrogate", std::u16string(u"a") + char16_t(0xD800) + u"b", "a?b"},
      {"lone low surrogate at the end", std::u16string(u"a") + char16_t(0xDC00), "a?"},
  };
}

}  // namespace quillo::testing
