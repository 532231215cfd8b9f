#include "hyperlink_box.h"

#include <shellapi.h>
#include <windowsx.h>

#include <utility>

#include "window_rules.h"

namespace quillo::win32 {

void HyperlinkBox::Register() {
  HINSTANCE program = GetModuleHandleW(nullptr);
  WNDCLASSEXW type{};
  type.cbSize = sizeof type;
  if (GetClassInfoExW(program, kClass, &type)) return;
  type = {};
  type.cbSize = sizeof type;
  type.lpfnWndProc = Proc;
  type.hInstance = program;
  type.lpszClassName = kClass;
  RegisterClassExW(&type);
}

HyperlinkBox::HyperlinkBox(std::wstring caption, std::wstring target,
                           std::optional<LinkColours> colours,
                           std::function<void(WPARAM, LPARAM)> onLeftButton)
    : caption_(std::move(caption)),
      target_(std::move(target)),
      colours_(colours),
      onLeftButton_(std::move(onLeftButton)) {}

LRESULT CALLBACK HyperlinkBox::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* box =
        static_cast<HyperlinkBox*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    if (box != nullptr) box->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
  }
  auto* box = reinterpret_cast<HyperlinkBox*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (box == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return box->Handle(message, wParam, lParam);
}

LRESULT HyperlinkBox::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE:
      if (!hovered_) {
        hovered_ = true;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
        TrackMouseEvent(&track);
        InvalidateRect(window_, nullptr, TRUE);
      }
      return 0;
    case WM_MOUSELEAVE:
      hovered_ = false;
      InvalidateRect(window_, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
      SetCapture(window_);
      if (onLeftButton_) onLeftButton_(wParam, lParam);
      return 0;
    case WM_LBUTTONUP: {
      if (GetCapture() != window_) return 0;
      ReleaseCapture();
      RECT area;
      GetClientRect(window_, &area);
      const POINT where{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (PtInRect(&area, where)) Open();
      return 0;
    }
    case WM_NCDESTROY: {
      HWND window = std::exchange(window_, nullptr);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return DefWindowProcW(window, message, wParam, lParam);
    }
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

void HyperlinkBox::Open() {
  if (!rules::LinkOpens(caption_, target_)) return;
  visited_ = true;
  InvalidateRect(window_, nullptr, TRUE);
  ShellExecuteW(GetParent(window_), L"open", target_.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void HyperlinkBox::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  RECT area;
  GetClientRect(window_, &area);
  FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  COLORREF colour = RGB(0, 0, 255);
  if (colours_) {
    const Rgb chosen = rules::LinkColour(*colours_, hovered_, visited_);
    colour = RGB(chosen.red, chosen.green, chosen.blue);
  }
  SetTextColor(dc, colour);
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ before = SelectObject(dc, font_);
  DrawTextW(dc, caption_.c_str(), static_cast<int>(caption_.size()), &area,
            DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, before);
  EndPaint(window_, &paint);
}

}  // namespace quillo::win32
