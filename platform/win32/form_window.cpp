#include "form_window.h"

#include <windowsx.h>

#include <utility>

namespace quillo::win32 {

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

Control* ControlOf(HWND window) {
  for (auto& control : runtime().controls) {
    if (control->window != nullptr &&
        (control->window == window || IsChild(control->window, window))) {
      return control.get();
    }
  }
  return nullptr;
}

void RaiseLeftButton(const std::vector<EventBinding>& events, WPARAM keys, LPARAM where) {
  const std::int32_t arguments[] = {
      Unscale(GET_X_LPARAM(where)), Unscale(GET_Y_LPARAM(where)),
      rules::ModifierMask(keys & MK_CONTROL, keys & MK_SHIFT, GetKeyState(VK_MENU) < 0)};
  rules::Raise(events, kLeftButtonDownEvent, arguments);
}

// ---- Fonts, icons and the DPI ------------------------------------------------------------

static ScopedFont MakeFont(bool underline) {
  return ScopedFont(CreateFontW(-Scale(rules::kFontPixels), 0, 0, 0, FW_NORMAL, FALSE,
                                underline ? TRUE : FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, L"Microsoft YaHei UI"));
}

void ApplyFonts() {
  Runtime& r = runtime();
  ScopedFont font = MakeFont(false);
  ScopedFont linkFont = MakeFont(true);
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
    return ScopedIcon(static_cast<HICON>(
        LoadImageW(program, name.c_str(), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
  };
  ScopedIcon big = load(SM_CXICON);
  ScopedIcon small = load(SM_CXSMICON);
  SendMessageW(r.window.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  SendMessageW(r.window.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  r.bigIcon = std::move(big);
  r.smallIcon = std::move(small);
}

SIZE OuterSize() {
  const Runtime& r = runtime();
  RECT area{0, 0, Scale(r.spec->clientWidth), Scale(r.spec->clientHeight)};
  AdjustWindowRectExForDpi(&area, kWindowStyle, FALSE, kWindowExStyle, r.dpi);
  return {area.right - area.left, area.bottom - area.top};
}

static void Layout() {
  for (auto& control : runtime().controls) {
    const RECT bounds = Bounds(control->place);
    // A browser box's window is its host, which resizes the control inside it.
    MoveWindow(control->window, bounds.left, bounds.top, bounds.right - bounds.left,
               bounds.bottom - bounds.top, TRUE);
  }
}

static void ChangeDpi(UINT dpi, const RECT* suggested) {
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

static bool TakesFocus(const Control& control) {
  return control.place.takesFocus && IsWindowVisible(control.window) &&
         IsWindowEnabled(control.window);
}

static void FocusControl(Control& control) {
  SetFocus(control.window);
  if (control.spec->kind == ControlKind::EditBox) {
    SendMessageW(control.window, EM_SETSEL, 0, -1);  // as a dialog does on Tab
  }
}

static Control* FirstInTabOrder() {
  for (std::string_view name : runtime().spec->tabOrder) {
    if (Control* control = FindControl(name); control != nullptr && TakesFocus(*control)) {
      return control;
    }
  }
  return nullptr;
}

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
static void RestoreFocus() {
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
static void WatchFocus() {
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

static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Runtime& r = runtime();
  switch (message) {
    case WM_COMMAND: {
      const int index = LOWORD(wParam) - kFirstControlId;
      if (HIWORD(wParam) == BN_CLICKED && lParam != 0 && index >= 0 &&
          index < static_cast<int>(r.controls.size())) {
        const Control& control = *r.controls[static_cast<size_t>(index)];
        if (control.spec->kind == ControlKind::Button)
          rules::Raise(control.spec->events, kClickEvent);
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      Control* control = ControlOf(reinterpret_cast<HWND>(lParam));
      if (control == nullptr) break;
      HDC dc = reinterpret_cast<HDC>(wParam);
      const ControlSpec& spec = *control->spec;
      if (spec.textColour) SetTextColor(dc, Colour(*spec.textColour));
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

// Where the focus went is noted after each message, also after a key the box or the tab
// order took.
static bool HandleKey(MSG& message) {
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

void RegisterFormClass() {
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
}

}  // namespace quillo::win32
