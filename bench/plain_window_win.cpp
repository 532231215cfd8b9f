// The yardstick of the start-up benchmark under Wine: a plain Win32 window of Quillo's size
// with a dozen buttons where Quillo's dial pad stands, and nothing else.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"PlainWindow";
  RegisterClassW(&windowClass);
  constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT area{0, 0, 344, 252};
  AdjustWindowRect(&area, style, FALSE);
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Plain window", style, CW_USEDEFAULT,
                                CW_USEDEFAULT, area.right - area.left, area.bottom - area.top,
                                nullptr, nullptr, instance, nullptr);
  const wchar_t* keys[] = {L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9", L"*", L"0", L"#"};
  // The program's font (the Chinese UI font, which the test prefix maps to an installed one).
  HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                           DEFAULT_PITCH | FF_DONTCARE, L"Microsoft YaHei UI");
  for (int i = 0; i < 12; ++i) {
    HWND key = CreateWindowExW(0, L"BUTTON", keys[i], WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                               16 + 56 * (i % 3), 63 + 32 * (i / 3), 48, 24, window, nullptr,
                               instance, nullptr);
    SendMessageW(key, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  DeleteObject(font);
  return 0;
}
