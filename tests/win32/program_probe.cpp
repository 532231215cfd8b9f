// The real quillo.exe seen from outside under Wine; "FAIL: ..." for each difference from
// MainWindow's table. Commands: resources (icon group, version block), window DPI, keys
// ("<caption> <x> <y>" per button and link in sight), text TEXT (the number box's text once it
// reads TEXT, or after 2 s), tab (Tab round the window and Shift+Tab once).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "main_window.h"
#include "text.h"

namespace {

using quillo::ControlKind;
using quillo::ControlSpec;

constexpr int kFirstControlId = 100;  // the runtime numbers the controls in table order
int failures = 0;

std::wstring Wide(std::string_view utf8) {
  const std::u16string text = quillo::TextToUtf16(quillo::TextFromUtf8(utf8));
  return std::wstring(text.begin(), text.end());
}

std::string Utf8(std::wstring_view wide) {
  return quillo::TextToUtf8(quillo::TextFromUtf16(std::u16string(wide.begin(), wide.end())));
}

void Check(bool good, const std::string& what) {
  if (good) return;
  std::printf("FAIL: %s\n", what.c_str());
  ++failures;
}

// Asks the window itself: GetWindowText would give another process's controls' first text.
std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000,
                      &ignored);
  return text;
}

HWND ProgramWindow() {
  return FindWindowW(L"QuilloWindow", Wide(quillo::app::MainWindow().caption).c_str());
}

HWND ControlWindow(HWND program, size_t index) {
  return GetDlgItem(program, kFirstControlId + static_cast<int>(index));
}

// The window class of each kind of control, in ControlKind's order.
constexpr const wchar_t* kClasses[] = {L"Edit", L"Button", L"QuilloLink", L"Static",
                                       L"QuilloBrowserBox"};

// ---- resources ---------------------------------------------------------------------------

#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

void CheckIcons(HMODULE program) {
  const std::wstring name = Wide(quillo::app::MainWindow().icon);
  HRSRC found = FindResourceW(program, name.c_str(), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  Check(found != nullptr, "no icon group named after the window's icon");
  if (found == nullptr) return;
  const auto* group = static_cast<const WORD*>(LockResource(LoadResource(program, found)));
  const WORD count = group[2];
  Check(count == 8, "the icon has " + std::to_string(count) + " images, not 8");
  const auto* entries = reinterpret_cast<const IconGroupEntry*>(group + 3);
  std::set<int> sizes;
  for (WORD i = 0; i < count; ++i) {
    const IconGroupEntry& entry = entries[i];
    const int size = entry.width == 0 ? 256 : entry.width;
    sizes.insert(size);
    const std::string label = "icon image " + std::to_string(size) + ": ";
    Check(entry.bitCount == 32, label + std::to_string(entry.bitCount) + " bits, not 32");
    HRSRC image = FindResourceW(program, MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3));
    if (image == nullptr || SizeofResource(program, image) < sizeof(BITMAPINFOHEADER)) {
      Check(false, label + "missing");
      continue;
    }
    const auto* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(program, image)));
    Check(header->biSize == sizeof(BITMAPINFOHEADER) && header->biBitCount == 32 &&
              header->biWidth == size && header->biHeight == 2 * size,
          label + "not a 32-bit bitmap of its size");
    // Alpha: transparent corners and an opaque face.
    const auto* pixels = reinterpret_cast<const BYTE*>(header + 1);
    bool clear = false;
    bool opaque = false;
    for (int p = 0; p < size * size && header->biBitCount == 32; ++p) {
      clear = clear || pixels[p * 4 + 3] == 0;
      opaque = opaque || pixels[p * 4 + 3] == 255;
    }
    Check(clear && opaque, label + "no alpha channel");
  }
  Check(sizes == std::set<int>{16, 24, 32, 48, 64, 72, 96, 128},
        "the icon's sizes are not 128, 96, 72, 64, 48, 32, 24 and 16");
}

void CheckVersion(const std::wstring& file) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  std::vector<BYTE> block(size);
  Check(size > 0 && GetFileVersionInfoW(file.c_str(), 0, size, block.data()), "no version block");
  if (size == 0) return;
  void* value = nullptr;
  UINT length = 0;
  Check(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
            length >= 4 && static_cast<WORD*>(value)[0] == 0x0804 &&
            static_cast<WORD*>(value)[1] == 1200,
        "the version block's language is not 0x0804, code page 1200");
  VS_FIXEDFILEINFO* fixed = nullptr;
  Check(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) &&
            fixed != nullptr && fixed->dwSignature == 0xFEEF04BD &&
            fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0 &&
            fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0,
        "file and product version are not 1.0.0.0");
  struct Expected {
    const wchar_t* name;
    const wchar_t* text;  // nullptr: any text but the empty one
  };
  const Expected strings[] = {
      {L"ProductName", L"QuilloBY中国人，中国范~"},
      {L"FileVersion", L"1.0.0.0"},
      {L"ProductVersion", L"1.0.0.0"},
      {L"CompanyName", nullptr},
      {L"LegalCopyright", nullptr},
  };
  for (const Expected& expected : strings) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + expected.name;
    wchar_t* text = nullptr;
    const bool found =
        VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) &&
        text != nullptr;
    const std::wstring got = found ? std::wstring(text) : L"";
    Check(found && (expected.text == nullptr ? !got.empty() : got == expected.text),
          "version string " + Utf8(expected.name) + " is \"" + Utf8(got) + "\"");
  }
}

int Resources() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring file = self;
  file = file.substr(0, file.find_last_of(L'\\') + 1) + L"quillo.exe";
  HMODULE program = LoadLibraryExW(file.c_str(), nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  Check(program != nullptr, "cannot open " + Utf8(file));
  if (program == nullptr) return 1;
  CheckIcons(program);
  FreeLibrary(program);
  CheckVersion(file);
  return failures == 0 ? 0 : 1;
}

// ---- the running program -----------------------------------------------------------------

int Window(HWND program, int screenDpi) {
  const quillo::WindowSpec& spec = quillo::app::MainWindow();
  const int dpi = static_cast<int>(GetDpiForWindow(program));
  Check(dpi == screenDpi, "the window is at " + std::to_string(dpi) + " DPI");
  auto scale = [dpi](int pixels) { return MulDiv(pixels, dpi, 96); };
  RECT client{};
  GetClientRect(program, &client);
  Check(client.right == scale(spec.clientWidth) && client.bottom == scale(spec.clientHeight),
        "client area " + std::to_string(client.right) + "x" + std::to_string(client.bottom));
  const LONG_PTR style = GetWindowLongPtrW(program, GWL_STYLE);
  Check(!(style & WS_MAXIMIZEBOX) && !(style & WS_THICKFRAME), "the window can be resized");
  for (size_t i = 0; i < spec.controls.size(); ++i) {
    const ControlSpec& control = spec.controls[i];
    const std::string name(control.name);
    HWND child = ControlWindow(program, i);
    Check(child != nullptr, name + " is missing");
    if (child == nullptr) continue;
    wchar_t type[64] = {};
    GetClassNameW(child, type, 64);
    Check(std::wstring_view(type) == kClasses[static_cast<int>(control.kind)],
          name + " is a " + Utf8(type));
    RECT at{};
    GetWindowRect(child, &at);
    MapWindowPoints(HWND_DESKTOP, program, reinterpret_cast<POINT*>(&at), 2);
    Check(at.left == scale(control.left) && at.top == scale(control.top) &&
              at.right - at.left == scale(control.width) &&
              at.bottom - at.top == scale(control.height),
          name + " stands at " + std::to_string(at.left) + "," + std::to_string(at.top) + " " +
              std::to_string(at.right - at.left) + "x" + std::to_string(at.bottom - at.top));
    // A browser box out of sight stays a shown window, so that its page runs.
    const bool shown = control.shown || control.kind == ControlKind::BrowserBox;
    Check((IsWindowVisible(child) != FALSE) == shown, name + ": wrong visibility");
    if (control.kind != ControlKind::BrowserBox) {
      Check(TextOf(child) == Wide(control.caption), name + " reads " + Utf8(TextOf(child)));
    } else {
      // The browser control, active in place below the box, fills it.
      HWND browser = FindWindowExW(child, nullptr, L"Shell Embedding", nullptr);
      RECT inner{};
      GetWindowRect(browser, &inner);
      MapWindowPoints(HWND_DESKTOP, program, reinterpret_cast<POINT*>(&inner), 2);
      Check(browser != nullptr && EqualRect(&inner, &at),
            name + " holds no browser control that fills it");
    }
  }
  return failures == 0 ? 0 : 1;
}

int Keys(HWND program) {
  const quillo::WindowSpec& spec = quillo::app::MainWindow();
  for (size_t i = 0; i < spec.controls.size(); ++i) {
    const ControlSpec& control = spec.controls[i];
    const bool link = control.kind == ControlKind::HyperlinkBox && control.shown;
    if (control.kind != ControlKind::Button && !link) continue;
    RECT at{};
    GetWindowRect(ControlWindow(program, i), &at);
    std::printf("%s %ld %ld\n", std::string(spec.controls[i].caption).c_str(),
                (at.left + at.right) / 2, (at.top + at.bottom) / 2);
  }
  return 0;
}

// Prints the number box's text once it reads expected, or after two seconds, as the clicks
// before are handled.
int NumberText(HWND program, const std::string& expected) {
  const auto& controls = quillo::app::MainWindow().controls;
  for (size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].name != quillo::app::kNumberBox) continue;
    std::string text;
    for (int waited = 0; waited < 2000; waited += 20) {
      text = Utf8(TextOf(ControlWindow(program, i)));
      if (text == expected) break;
      Sleep(20);
    }
    std::printf("%s\n", text.c_str());
    return 0;
  }
  return 1;
}

// The name of the control that holds the program's keyboard focus, or "" for none.
std::string Focused(HWND program) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(program, nullptr), &info)) return "";
  HWND window = info.hwndFocus;
  while (window != nullptr && GetParent(window) != program) window = GetParent(window);
  const int index = window == nullptr ? -1 : GetDlgCtrlID(window) - kFirstControlId;
  const auto& controls = quillo::app::MainWindow().controls;
  if (index < 0 || index >= static_cast<int>(controls.size())) return "";
  return std::string(controls[static_cast<size_t>(index)].name);
}

// Tab, or Shift+Tab, through the system's input queue.
void PressTab(bool shift) {
  INPUT keys[4] = {};
  const WORD codes[] = {VK_SHIFT, VK_TAB, VK_TAB, VK_SHIFT};
  const int first = shift ? 0 : 1;
  const int count = shift ? 4 : 2;
  for (int i = 0; i < count; ++i) {
    keys[i].type = INPUT_KEYBOARD;
    keys[i].ki.wVk = codes[first + i];
    keys[i].ki.dwFlags = i >= count / 2 ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(static_cast<UINT>(count), keys, sizeof(INPUT));
}

// Waits up to two seconds for the focus to reach expected, as the keys are handled.
std::string AwaitFocus(HWND program, const std::string& expected) {
  std::string now;
  for (int waited = 0; waited < 2000; waited += 20) {
    now = Focused(program);
    if (now == expected) break;
    Sleep(20);
  }
  return now;
}

int Tab(HWND program) {
  const auto& order = quillo::app::MainWindow().tabOrder;
  SetForegroundWindow(program);
  const std::string first(order.front());
  Check(AwaitFocus(program, first) == first, "the focus starts in " + Focused(program));
  for (size_t step = 1; step <= order.size(); ++step) {
    const std::string expected(order[step % order.size()]);
    PressTab(false);
    const std::string got = AwaitFocus(program, expected);
    Check(got == expected,
          "Tab " + std::to_string(step) + " went to '" + got + "', not " + expected);
  }
  const std::string last(order.back());
  PressTab(true);
  Check(AwaitFocus(program, last) == last, "Shift+Tab went to " + Focused(program));
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Sizes and places in the program's own pixels, whatever the screen's DPI.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "resources") return Resources();
  HWND program = ProgramWindow();
  if (program == nullptr) {
    std::printf("FAIL: no window with the caption\n");
    return 1;
  }
  if (command == "window") return Window(program, argc > 2 ? std::atoi(argv[2]) : 96);
  if (command == "keys") return Keys(program);
  if (command == "text") return NumberText(program, argc > 2 ? argv[2] : "");
  if (command == "tab") return Tab(program);
  std::printf("usage: program_probe resources|window|keys|text|tab\n");
  return 2;
}
