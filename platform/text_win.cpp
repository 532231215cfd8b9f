// Text conversion through the system's code page 54936 (GB18030).
#include <windows.h>

#include <climits>

#include "text.h"

namespace quillo {
namespace {

constexpr UINT kGb18030 = 54936;

}  // namespace

Text TextFromUtf16(std::u16string_view utf16) {
  if (utf16.empty() || utf16.size() > INT_MAX / 4) return {};
  const auto* source = reinterpret_cast<const wchar_t*>(utf16.data());
  const int units = static_cast<int>(utf16.size());
  const int size = WideCharToMultiByte(kGb18030, 0, source, units, nullptr, 0, nullptr, nullptr);
  Text out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(kGb18030, 0, source, units, out.data(), size, nullptr, nullptr);
  return out;
}

std::u16string TextToUtf16(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int bytes = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(kGb18030, 0, text.data(), bytes, nullptr, 0);
  std::u16string out(static_cast<size_t>(size), u'\0');
  MultiByteToWideChar(kGb18030, 0, text.data(), bytes, reinterpret_cast<wchar_t*>(out.data()),
                      size);
  return out;
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
