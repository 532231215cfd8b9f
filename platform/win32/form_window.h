// The top-level window on Windows, the counterpart of qt/form_window.h: its class and window
// procedure, the DPI it is drawn at, and where the keyboard focus goes (Tab round the tab
// order, never into a box the user cannot see). It holds the window's state, which the GUI
// runtime (gui_runtime_win32.cpp) fills from the table. Everything runs on the GUI thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "browser_site.h"
#include "gui_runtime.h"
#include "hyperlink_box.h"
#include "scoped_win.h"
#include "window_rules.h"

namespace quillo::win32 {

inline constexpr wchar_t kWindowClass[] = L"QuilloWindow";
inline constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
inline constexpr DWORD kWindowExStyle = 0;
inline constexpr int kFirstControlId = 100;

struct Control {
  const ControlSpec* spec = nullptr;
  rules::Placement place{};
  HWND window = nullptr;               // a child of the main window, destroyed with it
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

// The window's state, one for the program.
Runtime& runtime();

std::wstring Wide(std::string_view utf8);
// Client pixels at 96 DPI to the window's DPI, and back.
int Scale(int pixels);
int Unscale(int pixels);
RECT Bounds(const rules::Placement& place);
COLORREF Colour(const Rgb& colour);

Control* FindControl(std::string_view name);
// The control whose window is window or holds it (a browser box's inner windows).
Control* ControlOf(HWND window);

void RaiseLeftButton(const std::vector<EventBinding>& events, WPARAM keys, LPARAM where);

// Registers the window's class, once.
void RegisterFormClass();
// The outer size for the table's client area at the window's DPI.
SIZE OuterSize();
// The fonts and the icons at the window's DPI.
void ApplyFonts();
void ApplyIcons();

// Moves the focus to the next (or previous) control of the tab order that can take it.
void MoveFocus(bool backwards);
// Gives the focused browser box's control the first look at keys, then moves the focus on
// Tab, then translates and dispatches; notes where the focus went.
void ProcessMessage(MSG& message);

}  // namespace quillo::win32
