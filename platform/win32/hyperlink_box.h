// A hyperlink box: a window of its own class that paints its caption as a link in the
// table's colours (normal, hovered, visited), shows a hand over it and opens its target with
// the system's handler when clicked.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "gui_runtime.h"

namespace quillo::win32 {

class HyperlinkBox {
 public:
  static constexpr wchar_t kClass[] = L"QuilloLink";
  // Registers the window class, once per process.
  static void Register();

  // colours: none for plain blue. onLeftButton gets the button-down message's parameters. A
  // box with no caption or no target opens nothing.
  HyperlinkBox(std::wstring caption, std::wstring target, std::optional<LinkColours> colours,
               std::function<void(WPARAM, LPARAM)> onLeftButton);
  HyperlinkBox(const HyperlinkBox&) = delete;
  HyperlinkBox& operator=(const HyperlinkBox&) = delete;

  // The font the caption is drawn in; the caller keeps it alive.
  void SetFont(HFONT font) { font_ = font; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();
  void Open();

  HWND window_ = nullptr;  // set as the window is created: pass this box as its parameter
  std::wstring caption_;
  std::wstring target_;
  std::optional<LinkColours> colours_;
  std::function<void(WPARAM, LPARAM)> onLeftButton_;
  HFONT font_ = nullptr;
  bool hovered_ = false;
  bool visited_ = false;
};

}  // namespace quillo::win32
