// The GUI runtime over Win32: builds the window (form_window.h) and its controls from the
// table with the system's own controls (W functions throughout, so Chinese shows on any code
// page), runs the message loop and serves control texts and window handles. Everything runs
// on the GUI thread.
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
#include "form_window.h"
#include "gui_runtime.h"
#include "hyperlink_box.h"
#include "scoped_win.h"
#include "window_api.h"
#include "window_rules.h"

namespace quillo {
namespace {

using win32::ApplyFonts;
using win32::ApplyIcons;
using win32::Bounds;
using win32::BrowserSite;
using win32::Colour;
using win32::Control;
using win32::FindControl;
using win32::kFirstControlId;
using win32::kWindowClass;
using win32::kWindowExStyle;
using win32::kWindowStyle;
using win32::MoveFocus;
using win32::OuterSize;
using win32::ProcessMessage;
using win32::RaiseLeftButton;
using win32::runtime;
using win32::Runtime;
using win32::Wide;

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

void RegisterClasses() {
  win32::RegisterFormClass();
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
                                     .opensOutside = rules::RoleOf(spec).handsToBrowser};
    control.browser = BrowserSite::Create(r.window.get(), id, bounds, ResolveAddress(spec.address),
                                          std::move(callbacks));
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
  if (spec.backgroundColour) {
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
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
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
  rules::Raise(spec.events, kCreatedEvent);
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
  if (const auto kept = rules::KeptSelection({start, end}, wide.size())) {
    SendMessageW(control->window, EM_SETSEL, kept->start, static_cast<LPARAM>(kept->end));
  }
}

std::int32_t ControlWindowHandle(std::string_view name) {
  const Control* control = FindControl(name);
  if (control == nullptr || !control->browser) return 0;
  return HandleFromWindow(control->window);
}

}  // namespace quillo
