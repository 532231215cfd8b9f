// The window's rules that every GUI runtime follows alike: where a control stands and
// whether the user can see it, how Tab steps along the tab order, how an address names a
// built-in page, where the built-in pages lie, and the modifier keys of a mouse event. The
// backends call these; none of them names a toolkit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "gui_runtime.h"

namespace quillo::rules {

// Where a control stands (client pixels at 96 DPI) and how it may be reached.
struct Placement {
  int left, top, width, height;
  bool shown;       // its window is shown
  bool inSight;     // shown and at least partly inside the client area
  bool takesFocus;  // focusable and in sight: a control the user cannot see never takes it
  bool tabStop;     // takes the focus and is named in the window's tab order
};

// The control's place by the table. A browser box out of the user's sight stays shown, so
// that its page stays live (a hidden page is throttled or discarded), and moves just right of
// the client area when its table place would show it.
Placement Place(const ControlSpec& control, const WindowSpec& window);

// The place of the tab order that Tab (or Shift+Tab, backwards) moves the focus to from
// `from` (the focused control's place, or none), wrapping round and passing over the places
// takes() refuses; none when no place takes the focus.
std::optional<std::size_t> TabStep(std::size_t count, std::optional<std::size_t> from,
                                   bool backwards, const std::function<bool(std::size_t)>& takes);

// An address that holds "://" is used as it is; any other names a built-in page: a path below
// the pages folder, with an optional "?query".
struct PageAddress {
  bool builtIn = false;
  std::string_view path;                  // the address itself when not built in
  std::optional<std::string_view> query;  // after '?'
};
PageAddress SplitAddress(std::string_view address);

// The built-in pages' folder: <program dir>/../share/quillo/pages, the parent step taken on
// the text. separator: the system's.
template <typename Char>
std::basic_string<Char> PagesFolder(std::type_identity_t<std::basic_string_view<Char>> programDir,
                                    Char separator) {
  while (!programDir.empty() && programDir.back() == separator) programDir.remove_suffix(1);
  const std::size_t slash = programDir.find_last_of(separator);
  std::basic_string<Char> folder(programDir.substr(0, slash == programDir.npos ? 0 : slash));
  for (std::string_view part : {"share", "quillo", "pages"}) {
    folder += separator;
    folder.append(part.begin(), part.end());
  }
  return folder;
}

// The colour a hyperlink box shows: with the pointer over it, hover, visited or not;
// otherwise visited once it has been opened, else normal.
Rgb LinkColour(const LinkColours& colours, bool hovered, bool visited);

// What a browser box is for, by the table. The calling box names the button that places
// calls. A box out of the user's sight gets a profile, and so a renderer process, of its own.
// Every box but the calling one may hand its page's new windows and downloads to the user's
// browser; the calling page works out of sight, so nothing it asks for may open.
struct BoxRole {
  bool calling;
  bool ownProfile;
  bool handsToBrowser;
};
BoxRole RoleOf(const ControlSpec& box);

// Whether an address may go to the user's browser: a web address only, "http://" or
// "https://" in any letter case and something after it. A page must not start programs,
// open files or run scripts through the user's browser.
template <typename Char>
bool IsWebAddress(std::basic_string_view<Char> address) {
  const auto startsWith = [address](std::string_view scheme) {
    if (address.size() <= scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
      const auto c = address[i];
      const auto lower = c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
      if (lower != static_cast<decltype(lower)>(scheme[i])) return false;
    }
    return true;
  };
  return startsWith("http://") || startsWith("https://");
}

// Whether a click on a hyperlink box opens its target: only with a caption and a target. A
// link without a caption shows nothing to click, so it never opens, whatever its size.
template <typename Text>
bool LinkOpens(const Text& caption, const Text& target) {
  return caption.size() > 0 && target.size() > 0;
}

// Runs the handlers bound to event, in the table's order, with the event's arguments.
void Raise(const std::vector<EventBinding>& events, int event,
           std::span<const std::int32_t> arguments = {});

// The size of the window's font, in pixels at 96 DPI.
inline constexpr int kFontPixels = 11;

// What a text box keeps when its text is written anew: a selection [start, end) whose end
// still lies within the new text stays; a bare caret, or a selection that no longer fits, is
// left to the toolkit.
struct Selection {
  std::size_t start, end;
};
std::optional<Selection> KeptSelection(Selection before, std::size_t newLength);

// The modifier keys a left button event carries: 1 Ctrl, 2 Shift, 4 Alt.
std::int32_t ModifierMask(bool control, bool shift, bool alt);

}  // namespace quillo::rules
