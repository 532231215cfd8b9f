// Text conversion built from the system's code page 936, which every Windows has (code page
// 54936, GB18030, some lack, Wine among them): 936's own codes, the euro sign as the single
// byte 0x80, and GB18030's four-byte codes, which number the characters without a shorter
// code in Unicode order. One way on every system, so the tested way is the shipped one.
#include <windows.h>

#include <climits>
#include <cstdint>
#include <vector>

#include "text.h"

namespace quillo {
namespace {

constexpr UINT kGbk = 936;
constexpr char16_t kReplacement = u'\uFFFD';
constexpr char16_t kEuro = u'\u20AC';

class Gb18030From936 {
 public:
  static const Gb18030From936& Get() {
    static const Gb18030From936 instance;
    return instance;
  }

  Text Encode(std::u16string_view utf16) const {
    Text out;
    for (size_t i = 0; i < utf16.size(); ++i) {
      const char16_t unit = utf16[i];
      if (unit < 0x80) {
        out += static_cast<char>(unit);
      } else if (unit == kEuro) {
        out += '\x80';
      } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() &&
                 utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
        const std::uint32_t code = 0x10000 + ((unit - 0xD800u) << 10) + (utf16[++i] - 0xDC00u);
        AppendFourBytes(out, kSupplementaryStart + (code - 0x10000));
      } else if (unit >= 0xD800 && unit <= 0xDFFF) {
        out += '?';
      } else if (const std::uint16_t code = twoByteOf_[unit]; code != 0) {
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
      } else {
        AppendFourBytes(out, fourByteIndexOf_[unit]);
      }
    }
    return out;
  }

  std::u16string Decode(std::string_view text) const {
    std::u16string out;
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    for (size_t i = 0; i < text.size();) {
      const unsigned char lead = byte(i);
      if (lead < 0x80) {
        out += static_cast<char16_t>(lead);
        ++i;
      } else if (lead == 0x80) {
        out += kEuro;
        ++i;
      } else if (lead == 0xFF || i + 1 >= text.size()) {
        out += kReplacement;
        ++i;
      } else if (IsTrail(byte(i + 1))) {
        const char16_t unit = unitOf_[TwoByteSlot(lead, byte(i + 1))];
        out += unit != 0 ? unit : kReplacement;
        i += 2;
      } else if (IsDigit(byte(i + 1)) && i + 3 < text.size() && byte(i + 2) >= 0x81 &&
                 byte(i + 2) <= 0xFE && IsDigit(byte(i + 3))) {
        AppendFourByteCharacter(out, ((lead - 0x81u) * 10 + (byte(i + 1) - 0x30u)) * 1260 +
                                         (byte(i + 2) - 0x81u) * 10 + (byte(i + 3) - 0x30u));
        i += 4;
      } else {
        out += kReplacement;
        ++i;
      }
    }
    return out;
  }

 private:
  // The four-byte number of U+10000, the first character beyond the basic plane.
  static constexpr std::uint32_t kSupplementaryStart = 189000;

  static bool IsTrail(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFE);
  }
  static bool IsDigit(unsigned char b) { return b >= 0x30 && b <= 0x39; }
  static size_t TwoByteSlot(unsigned char lead, unsigned char trail) {
    return (lead - 0x81u) * 191 + (trail - 0x40u);
  }

  Gb18030From936() : twoByteOf_(0x10000), fourByteIndexOf_(0x10000), unitOf_(126 * 191) {
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        if (trail == 0x7F) continue;
        const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
        wchar_t unit = 0;
        if (MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, pair, 2, &unit, 1) != 1) continue;
        Map(static_cast<std::uint16_t>((lead << 8) | trail), static_cast<char16_t>(unit));
      }
    }
    // GB18030's code of the euro sign, read as one; it keeps the sign out of the four-byte
    // numbering, as in GB18030.
    Map(0xA2E3, kEuro);
    for (std::uint32_t unit = 0x80; unit <= 0xFFFF; ++unit) {
      if ((unit >= 0xD800 && unit <= 0xDFFF) || twoByteOf_[unit] != 0) continue;
      fourByteIndexOf_[unit] = static_cast<std::uint16_t>(basicPlane_.size());
      basicPlane_.push_back(static_cast<char16_t>(unit));
    }
  }

  // Gives the two-byte code to the unit; a unit that had the code before loses it.
  void Map(std::uint16_t code, char16_t unit) {
    if (unit < 0x80 || (unit >= 0xD800 && unit <= 0xDFFF) || twoByteOf_[unit] != 0) return;
    char16_t& slot = unitOf_[TwoByteSlot(static_cast<unsigned char>(code >> 8),
                                         static_cast<unsigned char>(code))];
    if (slot != 0) twoByteOf_[slot] = 0;
    slot = unit;
    twoByteOf_[unit] = code;
  }

  static void AppendFourBytes(Text& out, std::uint32_t number) {
    char bytes[4];
    bytes[3] = static_cast<char>(0x30 + number % 10);
    number /= 10;
    bytes[2] = static_cast<char>(0x81 + number % 126);
    number /= 126;
    bytes[1] = static_cast<char>(0x30 + number % 10);
    bytes[0] = static_cast<char>(0x81 + number / 10);
    out.append(bytes, 4);
  }

  void AppendFourByteCharacter(std::u16string& out, std::uint32_t number) const {
    if (number < basicPlane_.size()) {
      out += basicPlane_[number];
    } else if (number >= kSupplementaryStart && number - kSupplementaryStart < 0x100000) {
      const std::uint32_t offset = number - kSupplementaryStart;
      out += static_cast<char16_t>(0xD800 + (offset >> 10));
      out += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    } else {
      out += kReplacement;
    }
  }

  std::vector<std::uint16_t> twoByteOf_;        // by UTF-16 unit; 0: none
  std::vector<std::uint16_t> fourByteIndexOf_;  // by UTF-16 unit, for those without one
  std::vector<char16_t> unitOf_;                // by two-byte code; 0: none
  std::vector<char16_t> basicPlane_;            // by four-byte number
};

}  // namespace

Text TextFromUtf16(std::u16string_view utf16) {
  if (utf16.empty() || utf16.size() > INT_MAX / 4) return {};
  return Gb18030From936::Get().Encode(utf16);
}

std::u16string TextToUtf16(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  return Gb18030From936::Get().Decode(text);
}

Text TextFromUtf8(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  const int bytes = static_cast<int>(utf8.size());
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, nullptr, 0);
  std::u16string wide(static_cast<size_t>(size), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, reinterpret_cast<wchar_t*>(wide.data()),
                      size);
  return TextFromUtf16(wide);
}

std::string TextToUtf8(std::string_view text) {
  const std::u16string wide = TextToUtf16(text);
  if (wide.empty()) return {};
  const auto* source = reinterpret_cast<const wchar_t*>(wide.data());
  const int units = static_cast<int>(wide.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, source, units, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, source, units, out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace quillo
