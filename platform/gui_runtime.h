// Services of the GUI runtime that the core needs without knowing the toolkit: the window
// described as data, the message loop, exit and the end routine, control texts, control
// window handles and processing pending messages. Each backend implements them, the Qt one in
// qt/gui_runtime_qt.cpp and the Windows one in win32/gui_runtime_win32.cpp, following the
// rules of window_rules.h; Exit and the end routines are the core's own. Nothing here names a
// toolkit.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "text.h"

namespace quillo {

// Lets the GUI runtime handle the messages and events that are waiting, once. Does nothing
// until the runtime installs its hook.
void ProcessPendingMessages();

// Lets the GUI runtime handle messages and events as they come until time has passed: timers
// fire, pages run their scripts and the window keeps answering, user input included. Returns
// early only when the program is ending. Does nothing until the runtime installs its hook.
void ProcessMessagesFor(std::chrono::milliseconds time);

// Installs the routine behind both (an empty one removes it): it handles what is waiting,
// then what comes until time has passed; with 0, only what is waiting. The GUI runtime
// installs its event processing here; tests install handlers of their own.
void SetProcessPendingMessagesHook(std::function<void(std::chrono::milliseconds time)> hook);

// ---- The window as data ------------------------------------------------------------------

enum class ControlKind { EditBox, Button, HyperlinkBox, TransparentLabel, BrowserBox };

struct Rgb {
  std::uint8_t red, green, blue;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A hyperlink box's colours: normal, with the pointer over it, and once it has been opened.
struct LinkColours {
  Rgb normal, hover, visited;
};

// What a handler receives: the event's integer arguments (none for most events).
using EventHandler = std::function<void(std::span<const std::int32_t> arguments)>;

// Event numbers. Each kind's own first event is 0: a button's click, the window's "created"
// (raised once, right after the window has been shown). -1 is shared by every control and
// the window: the left mouse button pressed, with the arguments x, y (client pixels) and
// the modifier keys (1 Ctrl, 2 Shift, 4 Alt).
inline constexpr int kClickEvent = 0;
inline constexpr int kCreatedEvent = 0;
inline constexpr int kLeftButtonDownEvent = -1;

struct EventBinding {
  int event;
  EventHandler handler;
};

// One control. Names and captions are UTF-8, as the sources are written. An address that
// holds "://" is used as it is; any other address names a built-in page, a path (with an
// optional "?query") below the program's pages folder, <program dir>/../share/quillo/pages.
struct ControlSpec {
  std::string_view name;
  ControlKind kind = {};
  int left = 0, top = 0, width = 0, height = 0;
  bool shown = false;
  bool focusable = false;
  std::string_view caption = {};  // a button's or link's caption, a label's text, an edit's text
  std::string_view address = {};  // a browser box's initial page, a hyperlink box's target
  std::optional<Rgb> textColour = {};           // none: the system's default
  std::optional<Rgb> backgroundColour = {};     // none: the system's default
  std::optional<LinkColours> linkColours = {};  // a hyperlink box's; none: the defaults
  // A browser box whose page may play audio without a user's gesture.
  bool playsWithoutGesture = false;
  // The box that holds the calling page names the button that places calls: its page may
  // take the microphone from the user's first click on that button on. Empty for any other.
  std::string_view callButton = {};
  std::vector<EventBinding> events = {};
};

// The window. The size is the client area's, fixed: the window cannot be resized or
// maximised. The icon names the program's icon among its resources.
struct WindowSpec {
  std::string_view name;
  std::string_view caption = {};
  int left = 0, top = 0, clientWidth = 0, clientHeight = 0;
  std::string_view icon = {};
  std::vector<EventBinding> events = {};
  std::vector<ControlSpec> controls = {};  // in the window's order
  // The order in which Tab moves the keyboard focus: the controls a user can see and use, in
  // reading order. A control not named here never takes the focus from Tab, and a control
  // that is not shown or lies outside the client area never takes it at all.
  std::vector<std::string_view> tabOrder = {};
};

// ---- Services ----------------------------------------------------------------------------

// Starts the toolkit when nobody has, builds the window and its controls from spec and shows
// the window at once; browser boxes start loading their pages. One window at a time: a
// second load replaces the first. The spec must outlive the window.
void LoadWindow(const WindowSpec& spec);

// Dispatches events until the loaded window has been closed through its frame; returns at
// once when no window is shown.
void RunMessageLoop();

// Ends the program: runs the end routines once (latest first, while every service still
// works), then tears down the window and the toolkit the runtime started. Returns code,
// for main to return.
int Exit(int code);

// Each GUI runtime's own: tears down the window and the toolkit the runtime started. Exit
// calls it after the end routines.
void TearDownRuntime();

// Registers a routine that Exit runs once.
void RegisterEndRoutine(std::function<void()> routine);

// The text of the named control of the loaded window (an edit box's content, a caption);
// the empty text when there is no such control.
Text ReadControlText(std::string_view name);
// Sets the text of the named control; the control keeps its own copy. An edit box keeps its
// selection where the new text still holds it.
void WriteControlText(std::string_view name, std::string_view text);

// The native window of the named control: for a browser box its window (an HWND on Windows,
// a window of the window registry elsewhere), with the browser's document window below it.
// 0 for anything else.
std::int32_t ControlWindowHandle(std::string_view name);

}  // namespace quillo
