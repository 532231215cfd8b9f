// MainWindow as data: the window's properties and its 24 controls in the window's order,
// with their kinds, places, flags, captions or pages, colours and event bindings. The GUI
// runtime builds the window from it; nothing here draws or knows a toolkit.
#pragma once

#include <string_view>

#include "gui_runtime.h"

namespace quillo::app {

inline constexpr std::string_view kNumberBox = "编辑框1";
inline constexpr std::string_view kCallButton = "按钮10";
inline constexpr std::string_view kCallingBox = "超文本浏览框1";

const WindowSpec& MainWindow();

}  // namespace quillo::app
