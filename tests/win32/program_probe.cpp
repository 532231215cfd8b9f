// quillo.exe seen from outside under Wine: "FAIL: ..." for each difference from MainWindow's
// table. Commands: resources EXE, window DPI, keys, text TEXT, tab (each described below).
#include <windows.h>

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "main_window.h"
#include "text.h"

namespace {

using quillo::ControlKind;
using quillo::app::MainWindow;
int failures = 0;

std::wstring Wide(std::string_view utf8) {
  const std::u16string text = quillo::TextToUtf16(quillo::TextFromUtf8(utf8));
  return {text.begin(), text.end()};
}

std::string Utf8(std::wstring_view wide) {
  return quillo::TextToUtf8(quillo::TextFromUtf16(std::u16string(wide.begin(), wide.end())));
}

bool Check(bool good, const std::string& what) {
  if (!good && ++failures) std::printf("FAIL: %s\n", what.c_str());
  return good;
}

// now() once it gives expected, or after two seconds, as the input is handled.
std::string Await(const std::function<std::string()>& now, std::string_view expected) {
  std::string got;
  for (int waited = 0; (got = now()) != expected && waited < 2000; waited += 20) Sleep(20);
  return got;
}

// Asks the window itself: GetWindowText would give another process's controls' first text.
std::string TextOf(HWND window) {
  wchar_t text[512] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000,
                      nullptr);
  return Utf8(text);
}

// The runtime numbers the controls from 100 in the table's order.
HWND Control(HWND program, size_t i) { return GetDlgItem(program, 100 + static_cast<int>(i)); }

RECT PlaceIn(HWND program, HWND window) {
  RECT at{};
  GetWindowRect(window, &at);
  MapWindowPoints(HWND_DESKTOP, program, reinterpret_cast<POINT*>(&at), 2);
  return at;
}

// One 32-bit image with alpha (clear corners, an opaque face) per size. The group: its count at
// 4, then entries of 14 bytes: width at 0, bits at 6, id at 12.
void CheckIcons(HMODULE program) {
  HRSRC found = FindResourceW(program, Wide(MainWindow().icon).c_str(), MAKEINTRESOURCEW(14));
  if (!Check(found != nullptr, "no icon group named after the window's icon")) return;
  const auto* group = static_cast<const BYTE*>(LockResource(LoadResource(program, found)));
  const auto word = [](const BYTE* at) { return at[0] | at[1] << 8; };
  std::multiset<int> sizes;
  for (const BYTE* entry = group + 6; entry < group + 6 + 14 * word(group + 4); entry += 14) {
    const int size = *sizes.insert(entry[0] == 0 ? 256 : entry[0]);
    const std::string label = "icon image " + std::to_string(size);
    HRSRC image = FindResourceW(program, MAKEINTRESOURCEW(word(entry + 12)), MAKEINTRESOURCEW(3));
    if (!Check(image && SizeofResource(program, image) >= sizeof(BITMAPINFOHEADER),
               label + " is missing"))
      continue;
    const auto* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(program, image)));
    std::set<BYTE> alpha;
    for (int p = 0; p < size * size && header->biBitCount == 32; ++p)
      alpha.insert(reinterpret_cast<const BYTE*>(header + 1)[p * 4 + 3]);
    Check(word(entry + 6) == 32 && header->biSize == sizeof(BITMAPINFOHEADER) &&
              header->biBitCount == 32 && header->biWidth == size && header->biHeight == 2 * size &&
              alpha.contains(0) && alpha.contains(255),
          label + " is not a 32-bit bitmap of its size with alpha");
  }
  Check(sizes == std::multiset<int>{16, 24, 32, 48, 64, 72, 96, 128},
        "the icon's images are not one each of 16, 24, 32, 48, 64, 72, 96 and 128");
}

// The version block: language, versions and strings ("" for any text but the empty one).
void CheckVersion(const std::wstring& file) {
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), nullptr);
  std::vector<BYTE> block(size);
  if (!Check(size > 0 && GetFileVersionInfoW(file.c_str(), 0, size, block.data()),
             "no version block"))
    return;
  void* value = nullptr;
  UINT length = 0;
  const auto query = [&](const std::wstring& path) {
    return VerQueryValueW(block.data(), path.c_str(), &value, &length) && value != nullptr;
  };
  Check(query(L"\\VarFileInfo\\Translation") && length >= 4 &&
            static_cast<WORD*>(value)[0] == 0x0804 && static_cast<WORD*>(value)[1] == 1200,
        "the version block's language is not 0x0804, code page 1200");
  const auto* fixed = query(L"\\") ? static_cast<VS_FIXEDFILEINFO*>(value) : nullptr;
  Check(fixed != nullptr && fixed->dwSignature == 0xFEEF04BD &&
            fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0 &&
            fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0,
        "file and product version are not 1.0.0.0");
  constexpr std::pair<const wchar_t*, std::wstring_view> kStrings[] = {
      {L"ProductName", L"QuilloBY中国人，中国范~"},
      {L"FileVersion", L"1.0.0.0"},
      {L"ProductVersion", L"1.0.0.0"},
      {L"CompanyName", L""},
      {L"LegalCopyright", L""}};
  for (const auto& [name, expected] : kStrings) {
    const std::wstring got = query(std::wstring(L"\\StringFileInfo\\080404b0\\") + name)
                                 ? static_cast<wchar_t*>(value)
                                 : L"";
    Check(expected.empty() ? !got.empty() : got == expected,
          "version string " + Utf8(name) + " is \"" + Utf8(got) + "\"");
  }
}

// The window and every control where the table puts them, scaled to the screen's DPI.
void CheckWindow(HWND program, int screenDpi) {
  const quillo::WindowSpec& spec = MainWindow();
  const int dpi = static_cast<int>(GetDpiForWindow(program));
  Check(dpi == screenDpi, "the window is at " + std::to_string(dpi) + " DPI");
  auto scale = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
  RECT client{};
  GetClientRect(program, &client);
  Check(client.right == scale(spec.clientWidth) && client.bottom == scale(spec.clientHeight),
        "client area " + std::to_string(client.right) + "x" + std::to_string(client.bottom));
  const LONG_PTR style = GetWindowLongPtrW(program, GWL_STYLE);
  Check(!(style & WS_MAXIMIZEBOX) && !(style & WS_THICKFRAME), "the window can be resized");
  // One control as seen: class, place and size, shown or not, text (a browser box: filled).
  const auto seen = [](std::string_view type, RECT r, bool shown, std::string_view text) {
    return std::string(type) + " at " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
           (shown ? " '" : " hidden '") + std::string(text) + "'";
  };
  constexpr const char* kClasses[] = {"Edit", "Button", "QuilloLink", "Static", "QuilloBrowserBox"};
  for (size_t i = 0; i < spec.controls.size(); ++i) {
    const quillo::ControlSpec& c = spec.controls[i];
    HWND child = Control(program, i);
    char type[64] = {};
    GetClassNameA(child, type, 64);
    const RECT at = PlaceIn(program, child);
    const RECT want{scale(c.left), scale(c.top), scale(c.left) + scale(c.width),
                    scale(c.top) + scale(c.height)};
    // A browser box stays shown out of sight (its page runs), the control active in it filling it.
    const bool browser = c.kind == ControlKind::BrowserBox;
    const RECT inner = PlaceIn(program, FindWindowExW(child, nullptr, L"Shell Embedding", nullptr));
    const std::string text = browser ? (EqualRect(&inner, &at) ? "filled" : "") : TextOf(child);
    const std::string got = seen(type, at, IsWindowVisible(child), text);
    const std::string wanted = seen(kClasses[static_cast<int>(c.kind)], want, c.shown || browser,
                                    browser ? "filled" : c.caption);
    Check(got == wanted, std::string(c.name) + " is " + got + ", not " + wanted);
  }
}

// Tab (through the input queue) from the first stop round to it, then Shift+Tab to the last.
void CheckTab(HWND program) {
  const auto& controls = MainWindow().controls;
  const auto focused = [&]() -> std::string {  // the control with the focus, or ""
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(program, nullptr), &info);
    HWND window = info.hwndFocus;
    while (window != nullptr && GetParent(window) != program) window = GetParent(window);
    const size_t index = window == nullptr ? controls.size() : GetDlgCtrlID(window) - 100;
    return index < controls.size() ? std::string(controls[index].name) : "";
  };
  const auto& order = MainWindow().tabOrder;
  SetForegroundWindow(program);
  for (size_t step = 0; step <= order.size() + 1; ++step) {
    const bool back = step > order.size();
    if (back) keybd_event(VK_SHIFT, 0, 0, 0);
    if (step > 0) keybd_event(VK_TAB, 0, 0, 0);
    if (step > 0) keybd_event(VK_TAB, 0, KEYEVENTF_KEYUP, 0);
    if (back) keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    const std::string expected(back ? order.back() : order[step % order.size()]);
    const std::string got = Await(focused, expected);
    Check(got == expected, "key " + std::to_string(step) + (back ? " (Shift+Tab)" : " (Tab)") +
                               " went to '" + got + "', not " + expected);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Sizes and places in the program's own pixels, whatever the screen's DPI.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  const std::string command = argc > 1 ? argv[1] : "", argument = argc > 2 ? argv[2] : "";
  Check(std::set<std::string>{"resources", "window", "keys", "text", "tab"}.contains(command),
        "no command '" + command + "'");
  // resources EXE: the icon and version block of the program file EXE.
  if (command == "resources") {
    const std::wstring file = Wide(argument);
    HMODULE program = LoadLibraryExW(file.c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (Check(program != nullptr, "cannot open " + argument)) CheckIcons(program);
    FreeLibrary(program);
    CheckVersion(file);
    return failures == 0 ? 0 : 1;
  }
  HWND program = FindWindowW(L"QuilloWindow", Wide(MainWindow().caption).c_str());
  if (!Check(program != nullptr, "no window with the caption")) return 1;
  if (command == "window") CheckWindow(program, argument.empty() ? 96 : std::stoi(argument));
  if (command == "tab") CheckTab(program);
  // keys: "<caption> <x> <y>" of each button and shown link; text TEXT: the number box's text
  // once it reads TEXT, or after two seconds.
  const auto& controls = MainWindow().controls;
  for (size_t i = 0; i < controls.size(); ++i) {
    const ControlKind kind = controls[i].kind;
    RECT at{};
    GetWindowRect(Control(program, i), &at);
    if (command == "keys" &&
        (kind == ControlKind::Button || (kind == ControlKind::HyperlinkBox && controls[i].shown)))
      std::printf("%s %ld %ld\n", std::string(controls[i].caption).c_str(),
                  (at.left + at.right) / 2, (at.top + at.bottom) / 2);
    if (command == "text" && controls[i].name == quillo::app::kNumberBox)
      std::printf("%s\n", Await([&] { return TextOf(Control(program, i)); }, argument).c_str());
  }
  return failures == 0 ? 0 : 1;
}
