#include "window_rules.h"

#include <algorithm>

namespace quillo::rules {

Placement Place(const ControlSpec& control, const WindowSpec& window) {
  Placement place{control.left,  control.top, control.width, control.height,
                  control.shown, false,       false,         false};
  const auto meetsClient = [&] {
    return place.left < window.clientWidth && place.left + place.width > 0 &&
           place.top < window.clientHeight && place.top + place.height > 0 && place.width > 0 &&
           place.height > 0;
  };
  if (!control.shown && control.kind == ControlKind::BrowserBox) {
    if (meetsClient()) place.left = window.clientWidth;
    place.shown = true;
  }
  place.inSight = control.shown && meetsClient();
  place.takesFocus = control.focusable && place.inSight;
  place.tabStop = place.takesFocus && std::find(window.tabOrder.begin(), window.tabOrder.end(),
                                                control.name) != window.tabOrder.end();
  return place;
}

std::optional<std::size_t> TabStep(std::size_t count, std::optional<std::size_t> from,
                                   bool backwards, const std::function<bool(std::size_t)>& takes) {
  const auto n = static_cast<std::ptrdiff_t>(count);
  // Without a place, Tab starts at the first and Shift+Tab at the last.
  const std::ptrdiff_t at = from ? static_cast<std::ptrdiff_t>(*from) : (backwards ? 0 : -1);
  for (std::ptrdiff_t step = 1; step <= n; ++step) {
    const auto next = static_cast<std::size_t>(((at + (backwards ? -step : step)) % n + n) % n);
    if (takes(next)) return next;
  }
  return std::nullopt;
}

PageAddress SplitAddress(std::string_view address) {
  if (address.empty() || address.find("://") != std::string_view::npos) return {false, address, {}};
  const std::size_t mark = address.find('?');
  if (mark == std::string_view::npos) return {true, address, {}};
  return {true, address.substr(0, mark), address.substr(mark + 1)};
}

BoxRole RoleOf(const ControlSpec& box) {
  const bool calling = !box.callButton.empty();
  return {.calling = calling, .ownProfile = !box.shown, .handsToBrowser = !calling};
}

void Raise(const std::vector<EventBinding>& events, int event,
           std::span<const std::int32_t> arguments) {
  for (const EventBinding& binding : events) {
    if (binding.event == event) binding.handler(arguments);
  }
}

std::optional<Selection> KeptSelection(Selection before, std::size_t newLength) {
  if (before.start >= before.end || before.end > newLength) return std::nullopt;
  return before;
}

Rgb LinkColour(const LinkColours& colours, bool hovered, bool visited) {
  if (hovered) return colours.hover;
  return visited ? colours.visited : colours.normal;
}

std::int32_t ModifierMask(bool control, bool shift, bool alt) {
  return (control ? 1 : 0) | (shift ? 2 : 0) | (alt ? 4 : 0);
}

}  // namespace quillo::rules
