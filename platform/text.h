// Text services: the program's texts are bytes in code page 936, which the system's ANSI
// calls on a Chinese Windows also speak. A character 936 lacks takes its GB18030 code, and
// GB18030 covers all of Unicode, so a round trip never loses a character. The two agree on
// every character 936 has but one: 936 writes the euro sign as the single byte 0x80, which
// is how the program writes it; GB18030's own code for it, A2E3, reads as the euro sign too.
#pragma once

#include <string>
#include <string_view>

namespace quillo {

// A text: bytes in code page 936 (GB18030 codes for characters outside it). An absent text is the
// empty text; two texts are equal when their bytes are.
using Text = std::string;

// UTF-16 to the program's bytes. A lone surrogate, which is no character, becomes '?'.
Text TextFromUtf16(std::u16string_view utf16);

// The program's bytes to UTF-16. A byte sequence that is no character becomes U+FFFD.
std::u16string TextToUtf16(std::string_view text);

// UTF-8 helpers for toolkits and pages that speak UTF-8 (JSON, Qt's literals).
Text TextFromUtf8(std::string_view utf8);
std::string TextToUtf8(std::string_view text);

// Text to number: leading blanks are skipped, then an optional sign, digits, an optional
// fraction and exponent are read as far as they go. A text that does not start with a number
// converts to 0.
double TextToNumber(std::string_view text);

// The byte position of the first occurrence of needle in haystack, searched from the start
// with letter case significant, or -1 when it is absent. An empty needle is absent.
int FindText(std::string_view haystack, std::string_view needle);

}  // namespace quillo
