#include "text.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace quillo {

double TextToNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // from_chars reads the longest prefix that is a number in plain decimal or exponent form;
  // it does not read "inf", "nan" or hexadecimal in this format.
  if (i >= text.size() || !(text[i] == '.' || (text[i] >= '0' && text[i] <= '9'))) return 0.0;
  double value = 0.0;
  const char* first = text.data() + i;
  auto [end, ec] =
      std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Beyond a double: a negative exponent means the number underflowed toward zero.
    const std::string_view digits(first, static_cast<size_t>(end - first));
    const size_t exponent = digits.find_first_of("eE");
    const bool tiny = exponent != std::string_view::npos && exponent + 1 < digits.size() &&
                      digits[exponent + 1] == '-';
    value = tiny ? 0.0 : HUGE_VAL;
  } else if (ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

int FindText(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return -1;
  const size_t at = haystack.find(needle);
  if (at == std::string_view::npos || at > static_cast<size_t>(INT_MAX)) return -1;
  return static_cast<int>(at);
}

}  // namespace quillo
