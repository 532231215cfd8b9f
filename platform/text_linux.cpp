// Text conversion through the C library's iconv, which knows GB18030 in full; only the euro
// sign is written as code page 936 writes it.
#include <iconv.h>

#include <cerrno>

#include "text.h"

namespace quillo {
namespace {

// Owns one iconv conversion descriptor.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of in; each unit of input (1 or 2 bytes) that does not convert is replaced
  // by what replace answers for its first byte.
  template <typename Replace>
  std::string Run(std::string_view in, size_t unit, Replace replace) {
    std::string out;
    if (!valid()) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char buffer[1024];
    while (left > 0) {
      char* dst = buffer;
      size_t room = sizeof buffer;
      const size_t rc = iconv(cd_, &src, &left, &dst, &room);
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (rc != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a sequence cut short at the end): skip one unit.
      out.append(replace(static_cast<unsigned char>(*src)));
      const size_t skip = left < unit ? left : unit;
      src += skip;
      left -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = buffer;
    size_t room = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &dst, &room);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    return out;
  }

 private:
  iconv_t cd_;
};

std::string_view AsBytes(std::u16string_view s) {
  return {reinterpret_cast<const char*>(s.data()), s.size() * sizeof(char16_t)};
}

std::u16string FromBytes(const std::string& bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return out;
}

// What stands for an unconvertible unit, in each output encoding.
std::string_view Question(unsigned char) { return "?"; }
std::string_view ReplacementUtf8(unsigned char first) {
  return first == 0x80 ? "\xE2\x82\xAC" : "\xEF\xBF\xBD";
}
std::string_view ReplacementUtf16(unsigned char first) {
  // 0x80, code page 936's euro sign, is no GB18030 byte: the converter stops at it.
  static constexpr char kEuro[] = {'\xAC', '\x20'};
  static constexpr char kReplacement[] = {'\xFD', '\xFF'};
  return first == 0x80 ? std::string_view(kEuro, 2) : std::string_view(kReplacement, 2);
}

// Converts in pieces between the euro signs, each of which becomes the single byte 0x80.
template <typename Char, typename Convert>
Text WithEuroAs80(std::basic_string_view<Char> in, std::basic_string_view<Char> euro,
                  Convert convert) {
  Text out;
  for (;;) {
    const size_t at = in.find(euro);
    out += convert(in.substr(0, at));
    if (at == in.npos) return out;
    out += '\x80';
    in.remove_prefix(at + euro.size());
  }
}

}  // namespace

Text TextFromUtf16(std::u16string_view utf16) {
  // GB18030 keeps ASCII as it is, and most texts (names, ids, types) are only that.
  Text ascii;
  ascii.reserve(utf16.size());
  for (const char16_t unit : utf16) {
    if (unit >= 0x80) {
      ascii.clear();
      break;
    }
    ascii.push_back(static_cast<char>(unit));
  }
  if (ascii.size() == utf16.size()) return ascii;
  thread_local Converter converter("GB18030", "UTF-16LE");
  return WithEuroAs80(utf16, std::u16string_view(u"\u20AC"), [](std::u16string_view piece) {
    return converter.Run(AsBytes(piece), 2, Question);
  });
}

std::u16string TextToUtf16(std::string_view text) {
  thread_local Converter converter("UTF-16LE", "GB18030");
  return FromBytes(converter.Run(text, 1, ReplacementUtf16));
}

Text TextFromUtf8(std::string_view utf8) {
  thread_local Converter converter("GB18030", "UTF-8");
  return WithEuroAs80(utf8, std::string_view("\xE2\x82\xAC"),
                      [](std::string_view piece) { return converter.Run(piece, 1, Question); });
}

std::string TextToUtf8(std::string_view text) {
  thread_local Converter converter("UTF-8", "GB18030");
  return converter.Run(text, 1, ReplacementUtf8);
}

}  // namespace quillo
