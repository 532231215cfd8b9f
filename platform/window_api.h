// The window and COM functions the operator uses to reach a browser's document. On Windows
// they are the system's own. Elsewhere they are served by a window registry of our own
// (window_registry.h) that behaves the same way, into which the GUI runtime puts its windows.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#include <windows.h>

#include <mshtml.h>
#include <oleacc.h>
// The system's headers name these A/W macros; the program's own functions of these names
// must keep them.
#undef FindText
#undef GetObject
#else

struct HWND__;
using HWND = HWND__*;
using UINT = unsigned int;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using HRESULT = std::int32_t;
using LPCSTR = const char*;
using LPSTR = char*;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
  friend bool operator==(const GUID&, const GUID&) = default;
};
using IID = GUID;
using REFIID = const IID&;

inline constexpr UINT SMTO_NORMAL = 0x0000;
inline constexpr UINT SMTO_BLOCK = 0x0001;
inline constexpr UINT SMTO_ABORTIFHUNG = 0x0002;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

// {626FC520-A41E-11CF-A731-00A0C9082637}
inline constexpr IID IID_IHTMLDocument = {
    0x626FC520, 0xA41E, 0x11CF, {0xA7, 0x31, 0x00, 0xA0, 0xC9, 0x08, 0x26, 0x37}};

BOOL IsWindow(HWND window);
HWND FindWindowExA(HWND parent, HWND childAfter, LPCSTR className, LPCSTR windowName);
int GetClassNameA(HWND window, LPSTR buffer, int bufferSize);
UINT RegisterWindowMessageA(LPCSTR name);
LRESULT SendMessageTimeoutA(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags,
                            UINT timeoutMs, DWORD_PTR* result);
HRESULT ObjectFromLresult(LRESULT lResult, REFIID riid, WPARAM wParam, void** object);
HRESULT CoInitialize(void* reserved);
void CoUninitialize();

#endif

namespace quillo {

// The browser control's document window, and the registered message that asks it for the
// document it shows (ObjectFromLresult turns the answer into the document object).
inline constexpr char kBrowserServerClass[] = "Internet Explorer_Server";
inline constexpr char kDocumentRequestMessage[] = "WM_HTML_GETOBJECT";

// Window handles travel as 32-bit signed integers; these convert to and from the native type.
// On 64-bit Windows too: the system keeps window handles within 32 bits, so that 32- and
// 64-bit processes can share them, and sign-extending one back gives the same handle.
inline HWND WindowFromHandle(std::int32_t handle) {
  return reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
}
inline std::int32_t HandleFromWindow(HWND window) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(window));
}

}  // namespace quillo
