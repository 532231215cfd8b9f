// The GUI runtime over Win32: builds the window from its table with the system's own
// controls (W functions throughout, so Chinese shows on any code page), runs the message
// loop and serves control texts and window handles. Everything runs on the GUI thread.
#include <windows.h>

#include <commctrl.h>
#include <ole2.h>
#include <shlwapi.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "browser_site.h"
#include "gui_runtime.h"
#include "hyperlink_box.h"
#include "scoped_win.h"
#include "window_api.h"
#include "window_rules.h"

namespace quillo {
namespace {

using win32::BrowserSite;

constexpr wchar_t kWindowClass[] = L"QuilloWindow";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowExStyle = 0;
constexpr int kFirstControlId = 100;
constexpr int kFontPixels = 11;  // at 96 DPI, as on Linux

struct Control {
  const ControlSpec* spec = nullptr;
  rules::Placement place{};
  HWND window = nullptr;  // a child of the main window, destroyed with it
  win32::ComPtr<BrowserSite> browser;  // the box's reference to its site
  std::unique_ptr<win32::HyperlinkBox> link;
  win32::ScopedBrush brush;  // the background, when the table gives one
};

struct Runtime {
  const WindowSpec* spec = nullptr;
  win32::ScopedWindow window;
  std::vector<std::unique_ptr<Control>> controls;  // in the window's order
  win32::ScopedFont font;
  win32::ScopedFont linkFont;
  win32::ScopedIcon bigIcon;
  win32::ScopedIcon smallIcon;
  UINT dpi = USER_DEFAULT_SCREEN_DPI;
  HWND lastFocus = nullptr;  // the last window in sight that held the focus (in a control)
  bool closed = true;
  std::optional<win32::ScopedOleInit> ole;  // for the browser controls
};

Runtime& runtime() {
  static Runtime instance;
  return instance;
}

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int bytes = static_cast<int>(utf8.size());
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, nullptr, 0);
  std::wstring out(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), bytes, out.data(), size);
  return out;
}

int Scale(int pixels) { return MulDiv(pixels, static_cast<int>(runtime().dpi), 96); }
int Unscale(int pixels) { return MulDiv(pixels, 96, static_cast<int>(runtime().dpi)); }

RECT Bounds(const rules::Placement& place) {
  return {Scale(place.left), Scale(place.top), Scale(place.left + place.width),
          Scale(place.top + place.height)};
}

COLORREF Colour(const Rgb& colour) { return RGB(colour.red, colour.green, colour.blue); }

Control* FindControl(std::string_view name) {
  for (auto& control : runtime().controls) {
    if (control->spec->name == name) return control.get();
  }
  return nullptr;
}

// The control whose window is window or holds it (a browser box's inner windows).
Control* ControlOf(HWND window) {
  for (auto& control : runtime().controls) {
    if (control->window != nullptr &&
        (control->window == window || IsChild(control->window, window))) {
      return control.get();
    }
  }
  return nullptr;
}

void Raise(const std::vector<EventBinding>& events, int event,
           std::span<const std::int32_t> arguments = {}) {
  for (const EventBinding& binding : events) {
    if (binding.event == event) binding.handler(arguments);
  }
}

void RaiseLeftButton(const std::vector<EventBinding>& events, WPARAM keys, LPARAM where) {
  const std::int32_t arguments[] = {
      Unscale(GET_X_LPARAM(where)), Unscale(GET_Y_LPARAM(where)),
      rules::ModifierMask(keys & MK_CONTROL, keys & MK_SHIFT, GetKeyState(VK_MENU) < 0)};
  Raise(events, kLeftButtonDownEvent, arguments);
}

// ---- Addresses ---------------------------------------------------------------------------

// The program's folder.
std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L'\\');
  path.resize(slash == std::wstring::npos ? 0 : slash);
  return path;
}

// A built-in page as a file: URL below the pages folder; any other address as it is.
std::wstring ResolveAddress(std::string_view address) {
  const rules::PageAddress split = rules::SplitAddress(address);
  if (!split.builtIn) return Wide(split.path);
  std::wstring file =
      rules::PagesFolder<wchar_t>(ProgramFolder(), L'\\') + L'\\' + Wide(split.path);
  std::replace(file.begin(), file.end(), L'/', L'\\');
  std::wstring url(L_MAX_URL_LENGTH, L'\0');
  DWORD size = static_cast<DWORD>(url.size());
  if (FAILED(UrlCreateFromPathW(file.c_str(), url.data(), &size, 0))) return {};
  url.resize(size);
  if (split.query) url += L'?' + Wide(*split.query);
  return url;
}

// ---- Fonts, icons and the DPI ------------------------------------------------------------

win32::ScopedFont MakeFont(bool underline) {
  return win32::ScopedFont(CreateFontW(-Scale(kFontPixels), 0, 0, 0, FW_NORMAL, FALSE,
                                       underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                       DEFAULT_PITCH | FF_DONTCARE, L"Microsoft YaHei UI"));
}

void ApplyFonts() {
  Runtime& r = runtime();
  win32::ScopedFont font = MakeFont(false);
  win32::ScopedFont linkFont = MakeFont(true);
  for (auto& control : r.controls) {
    if (control->spec->kind != ControlKind::BrowserBox) {
      SendMessageW(control->window, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    if (control->link) control->link->SetFont(linkFont.get());
  }
  r.font = std::move(font);  // the old fonts go only once no control uses them
  r.linkFont = std::move(linkFont);
}

void ApplyIcons() {
  Runtime& r = runtime();
  const std::wstring name = Wide(r.spec->icon);
  HINSTANCE program = GetModuleHandleW(nullptr);
  auto load = [&](int metric) {
    const int size = GetSystemMetricsForDpi(metric, r.dpi);
    return win32::ScopedIcon(static_cast<HICON>(
        LoadImageW(program, name.c_str(), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
  };
  win32::ScopedIcon big = load(SM_CXICON);
  win32::ScopedIcon small = load(SM_CXSMICON);
  SendMessageW(r.window.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  SendMessageW(r.window.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  r.bigIcon = std::move(big);
  r.smallIcon = std::move(small);
}

// The outer size for the table's client area at the window's DPI.
SIZE OuterSize() {
  const Runtime& r = runtime();
  RECT area{0, 0, Scale(r.spec->clientWidth), Scale(r.spec->clientHeight)};
  AdjustWindowRectExForDpi(&area, kWindowStyle, FALSE, kWindowExStyle, r.dpi);
  return {area.right - area.left, area.bottom - area.top};
}

void Layout() {
  for (auto& control : runtime().controls) {
    const RECT bounds = Bounds(control->place);
    // A browser box's window is its host, which resizes the control inside it.
    MoveWindow(control->window, bounds.left, bounds.top, bounds.right - bounds.left,
               bounds.bottom - bounds.top, TRUE);
  }
}

void ChangeDpi(UINT dpi, const RECT* suggested) {
  Runtime& r = runtime();
  r.dpi = dpi;
  const SIZE outer = OuterSize();
  SetWindowPos(r.window.get(), nullptr, suggested->left, suggested->top, outer.cx, outer.cy,
               SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();
  ApplyFonts();
  ApplyIcons();
}

// ---- Focus -------------------------------------------------------------------------------

bool TakesFocus(const Control& control) {
  return control.place.takesFocus && IsWindowVisible(control.window) &&
         IsWindowEnabled(control.window);
}

void FocusControl(Control& control) {
  SetFocus(control.window);
  if (control.spec->kind == ControlKind::EditBox) {
    SendMessageW(control.window, EM_SETSEL, 0, -1);  // as a dialog does on Tab
  }
}

Control* FirstInTabOrder() {
  for (std::string_view name : runtime().spec->tabOrder) {
    if (Control* control = FindControl(name); control != nullptr && TakesFocus(*control)) {
      return control;
    }
  }
  return nullptr;
}

// Moves the focus to the next (or previous) control of the tab order that can take it.
void MoveFocus(bool backwards) {
  const auto& order = runtime().spec->tabOrder;
  if (order.empty()) return;
  const Control* current = ControlOf(GetFocus());
  std::optional<size_t> at;
  for (size_t i = 0; i < order.size(); ++i) {
    if (current != nullptr && order[i] == current->spec->name) at = i;
  }
  const auto to = rules::TabStep(order.size(), at, backwards, [&order](size_t i) {
    const Control* control = FindControl(order[i]);
    return control != nullptr && TakesFocus(*control);
  });
  if (to) FocusControl(*FindControl(order[*to]));
}

// Back to the window that held the focus last, also inside a browser box (its control's own
// window: the box's host window takes no keys), or else to the first of the tab order.
void RestoreFocus() {
  Runtime& r = runtime();
  Control* control = ControlOf(r.lastFocus);
  if (control != nullptr && TakesFocus(*control)) {
    SetFocus(r.lastFocus);
    return;
  }
  control = FirstInTabOrder();
  if (control != nullptr) SetFocus(control->window);
}

// Keeps the focus out of the boxes the user cannot see, and remembers where it was in sight.
void WatchFocus() {
  Runtime& r = runtime();
  HWND focus = GetFocus();
  if (focus == nullptr || !r.window || !IsChild(r.window.get(), focus)) return;
  Control* control = ControlOf(focus);
  if (control == nullptr) return;
  if (!control->place.inSight) {
    RestoreFocus();
  } else {
    r.lastFocus = focus;
  }
}

// ---- The main window ---------------------------------------------------------------------

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Runtime& r = runtime();
  switch (message) {
    case WM_COMMAND: {
      const int index = LOWORD(wParam) - kFirstControlId;
      if (HIWORD(wParam) == BN_CLICKED && lParam != 0 && index >= 0 &&
          index < static_cast<int>(r.controls.size())) {
        const Control& control = *r.controls[static_cast<size_t>(index)];
        if (control.spec->kind == ControlKind::Button) Raise(control.spec->events, kClickEvent);
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      Control* control = ControlOf(reinterpret_cast<HWND>(lParam));
      if (control == nullptr) break;
      HDC dc = reinterpret_cast<HDC>(wParam);
      const ControlSpec& spec = *control->spec;
      if (spec.textColour != nullptr) SetTextColor(dc, Colour(*spec.textColour));
      if (spec.kind == ControlKind::TransparentLabel) {
        SetBkMode(dc, TRANSPARENT);  // the window shows through
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      }
      if (control->brush) {
        SetBkColor(dc, Colour(*spec.backgroundColour));
        return reinterpret_cast<LRESULT>(control->brush.get());
      }
      return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_LBUTTONDOWN:
      if (r.spec != nullptr) RaiseLeftButton(r.spec->events, wParam, lParam);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) {
        RestoreFocus();
        return 0;
      }
      break;
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    case WM_DPICHANGED:
      if (r.window) ChangeDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      // The window goes at exit, after the end routines; until then it only hides.
      ShowWindow(window, SW_HIDE);
      r.closed = true;
      PostMessageW(window, WM_NULL, 0, 0);  // wakes the loop if it waits
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClasses() {
  HINSTANCE program = GetModuleHandleW(nullptr);
  WNDCLASSEXW type{};
  type.cbSize = sizeof type;
  if (!GetClassInfoExW(program, kWindowClass, &type)) {
    type = {};
    type.cbSize = sizeof type;
    type.lpfnWndProc = WindowProc;
    type.hInstance = program;
    type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    type.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    type.lpszClassName = kWindowClass;
    RegisterClassExW(&type);
  }
  win32::HyperlinkBox::Register();
}

void CreateControl(Control& control, int id) {
  Runtime& r = runtime();
  const ControlSpec& spec = *control.spec;
  control.place = rules::Place(spec, *r.spec);
  const RECT bounds = Bounds(control.place);
  if (spec.kind == ControlKind::BrowserBox) {
    // The box's host window is always shown; one out of sight stands outside the client area.
    // Tab at the end of a page goes on round the window; every box but the calling one hands
    // a page's new windows to the user's browser.
    BrowserSite::Callbacks callbacks{.tab = [](bool backwards) { MoveFocus(backwards); },
                               .opensOutside = spec.callButton.empty()};
    control.browser = BrowserSite::Create(r.window.get(), id, bounds,
                                          ResolveAddress(spec.address), std::move(callbacks));
    control.window = control.browser->window();
    return;
  }
  const wchar_t* type = L"STATIC";
  DWORD style = WS_CHILD;
  DWORD exStyle = 0;
  switch (spec.kind) {
    case ControlKind::EditBox:
      type = L"EDIT";
      style |= ES_LEFT | ES_AUTOHSCROLL;
      exStyle = WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Button:
      type = L"BUTTON";
      style |= BS_PUSHBUTTON;
      break;
    case ControlKind::HyperlinkBox:
      type = win32::HyperlinkBox::kClass;
      control.link = std::make_unique<win32::HyperlinkBox>(
          Wide(spec.caption), ResolveAddress(spec.address), spec.linkColours,
          [&events = spec.events](WPARAM keys, LPARAM where) {
            RaiseLeftButton(events, keys, where);
          });
      break;
    case ControlKind::TransparentLabel:
      style |= SS_LEFT | SS_NOPREFIX;
      exStyle = WS_EX_TRANSPARENT;
      break;
    case ControlKind::BrowserBox:
      break;
  }
  if (control.place.shown) style |= WS_VISIBLE;
  if (control.place.tabStop) style |= WS_TABSTOP;
  if (spec.backgroundColour != nullptr) {
    control.brush.Reset(CreateSolidBrush(Colour(*spec.backgroundColour)));
  }
  const std::wstring caption = Wide(spec.caption);
  control.window = CreateWindowExW(
      exStyle, type, caption.c_str(), style, bounds.left, bounds.top, bounds.right - bounds.left,
      bounds.bottom - bounds.top, r.window.get(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
      GetModuleHandleW(nullptr), control.link.get());
}

void StartOle() {
  Runtime& r = runtime();
  if (!r.ole) r.ole.emplace();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
}

void TearDownWindow() {
  Runtime& r = runtime();
  for (auto& control : r.controls) {  // before their windows go
    if (control->browser) control->browser->Close();
    control->browser.Reset();
  }
  r.window.Reset();
  r.controls.clear();
  r.lastFocus = nullptr;
  r.closed = true;
}

// Gives the focused browser box's control the first look at keys, then moves the focus on
// Tab, then translates and dispatches. Where the focus went is noted after each message,
// also after a key the box or the tab order took.
bool HandleKey(MSG& message) {
  Runtime& r = runtime();
  if (message.message != WM_KEYDOWN && message.message != WM_KEYUP) return false;
  if (Control* control = ControlOf(GetFocus());
      control != nullptr && control->browser && control->browser->TranslateKey(message)) {
    return true;
  }
  if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && r.window &&
      IsChild(r.window.get(), message.hwnd) && GetKeyState(VK_CONTROL) >= 0 &&
      GetKeyState(VK_MENU) >= 0) {
    MoveFocus(GetKeyState(VK_SHIFT) < 0);
    return true;
  }
  return false;
}

void ProcessMessage(MSG& message) {
  if (!HandleKey(message)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  WatchFocus();
}

}  // namespace

void LoadWindow(const WindowSpec& spec) {
  Runtime& r = runtime();
  TearDownWindow();
  StartOle();
  RegisterClasses();
  SetProcessPendingMessagesHook([](std::chrono::milliseconds time) {
    // The control runs its pages' timers on this thread, through its window messages: they
    // run here as in the message loop, until the deadline, a quit or the window's close.
    const auto deadline = std::chrono::steady_clock::now() + time;
    for (;;) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
          PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that owns it
          return;
        }
        ProcessMessage(message);
      }
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || runtime().closed) return;
      MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    }
  });

  r.spec = &spec;
  r.dpi = USER_DEFAULT_SCREEN_DPI;
  const std::wstring caption = Wide(spec.caption);
  r.window.Reset(CreateWindowExW(kWindowExStyle, kWindowClass, caption.c_str(), kWindowStyle,
                                 spec.left, spec.top, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr));
  if (!r.window) return;
  r.dpi = GetDpiForWindow(r.window.get());
  const SIZE outer = OuterSize();
  SetWindowPos(r.window.get(), nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyIcons();

  int id = kFirstControlId;
  for (const ControlSpec& control : spec.controls) {
    r.controls.push_back(std::make_unique<Control>());
    r.controls.back()->spec = &control;
    CreateControl(*r.controls.back(), id++);
  }
  ApplyFonts();
  r.closed = false;
  ShowWindow(r.window.get(), SW_SHOWNORMAL);
  UpdateWindow(r.window.get());
  Raise(spec.events, kCreatedEvent);
}

void RunMessageLoop() {
  Runtime& r = runtime();
  if (!r.window || !IsWindowVisible(r.window.get())) return;
  MSG message;
  while (!r.closed) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;  // WM_QUIT, or no queue
    ProcessMessage(message);
  }
}

void TearDownRuntime() {
  Runtime& r = runtime();
  TearDownWindow();  // the browser controls go while OLE still runs
  r.font.Reset();
  r.linkFont.Reset();
  r.bigIcon.Reset();
  r.smallIcon.Reset();
  r.ole.reset();
}

Text ReadControlText(std::string_view name) {
  const Control* control = FindControl(name);
  if (control == nullptr || control->browser || control->window == nullptr) return {};
  const int length = GetWindowTextLengthW(control->window);
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  const int got =
      GetWindowTextW(control->window, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return TextFromUtf16(text);
}

void WriteControlText(std::string_view name, std::string_view text) {
  Control* control = FindControl(name);
  if (control == nullptr || control->browser || control->window == nullptr) return;
  const std::u16string wide = TextToUtf16(text);
  const auto* value = reinterpret_cast<const wchar_t*>(wide.c_str());
  if (control->spec->kind != ControlKind::EditBox) {
    SetWindowTextW(control->window, value);
    return;
  }
  DWORD start = 0;
  DWORD end = 0;
  SendMessageW(control->window, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
               reinterpret_cast<LPARAM>(&end));
  SetWindowTextW(control->window, value);
  if (end <= wide.size()) SendMessageW(control->window, EM_SETSEL, start, end);
}

std::int32_t ControlWindowHandle(std::string_view name) {
  const Control* control = FindControl(name);
  if (control == nullptr || !control->browser) return 0;
  return HandleFromWindow(control->window);
}

}  // namespace quillo
