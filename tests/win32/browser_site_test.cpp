// The browser boxes' client site and the message loop, with a stand-in for the browser
// control (control_stub.h) in a window of the runtime: Tab and focus through a box, and the
// site's answers when the control calls it.
#include <gtest/gtest.h>

#include <windows.h>

#include <mshtmhst.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>

#include "control_stub.h"
#include "gui_runtime.h"
#include "scoped_win.h"
#include "text.h"

namespace quillo::testing {
namespace {

constexpr char kCaption[] = "Quillo BY中国人，中国范~";

// clang-format off
ControlSpec Control(std::string_view name, ControlKind kind, int left, bool shown) {
  return {.name = name, .kind = kind, .left = left, .top = 10, .width = 60, .height = 24,
          .shown = shown, .focusable = true};
}

// An edit box, the partner box, a button and, out of sight, the calling box.
const WindowSpec& Window() {
  static const WindowSpec window{
      .name = "Window", .caption = kCaption, .left = 50, .top = 50, .clientWidth = 300,
      .clientHeight = 100,
      .controls = {Control("edit", ControlKind::EditBox, 10, true),
                   Control("partner", ControlKind::BrowserBox, 80, true),
                   Control("button", ControlKind::Button, 150, true),
                   [] {
                     ControlSpec calling = Control("calling", ControlKind::BrowserBox, 400, false);
                     calling.callButton = "button";
                     return calling;
                   }()},
      .tabOrder = {"edit", "partner", "button"}};
  return window;
  // clang-format on
}

class BrowserSiteTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(factory_.Register(), S_OK); }
  void TearDown() override { factory_.Revoke(); }

  // The window, with a stub in each box; it goes at Exit.
  void Open() {
    first_ = factory_.made().size();
    LoadWindow(Window());
    ASSERT_EQ(factory_.made().size(), first_ + 2);
    ProcessPendingMessages();
  }

  ControlStub& Stub(size_t box) { return *factory_.made()[first_ + box]; }  // 0 partner
  static HWND Box(std::string_view name) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(ControlWindowHandle(name)));
  }
  static HWND Main() { return GetAncestor(Box("partner"), GA_ROOT); }

  // Where the keys go: the control holding the focus, or the partner box's page or host.
  std::string Focus() {
    HWND focus = GetFocus();
    if (focus != nullptr && focus == Stub(0).document()) return "partner page";
    if (focus == Box("partner")) return "partner box's host";
    wchar_t type[32] = {};
    GetClassNameW(focus, type, 32);
    const std::wstring_view name(type);
    return name == L"Edit" ? "edit" : name == L"Button" ? "button" : "other";
  }

  // Tab (T), Shift+Tab (S) through the loop with the thread's key state, or Alt+Tab to
  // another window and back (A).
  void Press(char key) {
    if (key == 'A') {
      win32::ScopedWindow other(CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0,
                                                50, 50, nullptr, nullptr, nullptr, nullptr));
      SetActiveWindow(other.get());
      ProcessPendingMessages();
      SetActiveWindow(Main());
      ProcessPendingMessages();
      return;
    }
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = key == 'S' ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
    ProcessPendingMessages();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  }

  win32::ScopedOleInit ole_;
  ControlStubFactory factory_;
  size_t first_ = 0;
};

TEST_F(BrowserSiteTest, TabAndFocusGoRoundTheWindowThroughABox) {
  struct Case {
    const char* name;
    int pageStops;      // the partner page's own Tab stops
    const char* keys;   // from the edit box
    const char* focus;  // where the keys go then
  };
  const Case cases[] = {
      {"Tab into the box", 0, "T", "partner page"},
      {"Tab at the page's end goes on round", 0, "TT", "button"},
      {"Shift+Tab in the box goes back", 0, "TS", "edit"},
      {"Tab walks the page's own stops first", 2, "TTTT", "button"},
      {"Tab back into a box that is active already", 0, "TTS", "partner page"},
      {"Alt+Tab away and back to a box", 0, "TA", "partner page"},
      {"Alt+Tab away and back to the edit box", 0, "A", "edit"},
  };
  for (const Case& c : cases) {
    Open();
    Stub(0).SetPageStops(c.pageStops);
    EXPECT_EQ(Focus(), "edit") << c.name;
    for (const char* key = c.keys; *key != '\0'; ++key) Press(*key);
    EXPECT_EQ(Focus(), c.focus) << c.name;
    Exit(0);
  }
}

// What a message box over the window showed, with button pressed: its title, owner,
// text and buttons, and what the call returned.
std::string AnswerMessage(const std::function<LRESULT()>& show, HWND owner, int button) {
  std::string seen = "no message box";
  const DWORD thread = GetCurrentThreadId();
  std::thread user([&] {
    for (int waited = 0; waited < 10000; waited += 20, Sleep(20)) {
      HWND box = nullptr;
      EnumThreadWindows(
          thread,
          [](HWND window, LPARAM found) -> BOOL {
            wchar_t type[16] = {};
            GetClassNameW(window, type, 16);
            if (std::wstring_view(type) != L"#32770" || !IsWindowVisible(window)) return TRUE;
            *reinterpret_cast<HWND*>(found) = window;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&box));
      if (box == nullptr) continue;
      std::u16string text(256, u'\0');
      GetWindowTextW(box, reinterpret_cast<wchar_t*>(text.data()), 256);
      seen = TextToUtf8(TextFromUtf16(text.c_str())) +
             (GetWindow(box, GW_OWNER) == owner ? " over the window;" : " elsewhere;");
      std::string buttons;  // after the text, whatever order the dialog holds them in
      for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
           child = GetWindow(child, GW_HWNDNEXT)) {
        GetWindowTextW(child, reinterpret_cast<wchar_t*>(text.data()), 256);
        if (!IsWindowVisible(child) || text[0] == u'\0') continue;
        wchar_t type[16] = {};
        GetClassNameW(child, type, 16);
        (std::wstring_view(type) == L"Button" ? buttons : seen) +=
            " " + TextToUtf8(TextFromUtf16(text.c_str()));
      }
      seen += buttons;
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
      return;
    }
  });
  const LRESULT result = show();
  user.join();
  return seen + "; returned " + std::to_string(result);
}

TEST_F(BrowserSiteTest, AnswersTheControlAsAHost) {
  Open();
  HWND partner = Box("partner");
  auto site = [&](size_t box, REFIID iid) {
    win32::ComPtr<IUnknown> out;
    Stub(box).site()->QueryInterface(iid, reinterpret_cast<void**>(out.Out()));
    return out;
  };
  auto ui = site(0, IID_IDocHostUIHandler);
  auto commands = site(0, IID_IOleCommandTarget);
  auto messages = site(0, IID_IDocHostShowUI);
  ASSERT_TRUE(ui && commands && messages);
  auto hostInfo = [&](ULONG size) {
    DOCHOSTUIINFO info{};
    info.cbSize = size;
    const HRESULT result = reinterpret_cast<IDocHostUIHandler*>(ui.get())->GetHostInfo(&info);
    const DWORD flat = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DPI_AWARE;
    return std::to_string(result) + ((info.dwFlags & flat) == flat ? " flat" : " not flat");
  };
  auto exec = [&](const GUID* group, DWORD command) {
    win32::ScopedVariant out;
    const HRESULT result = reinterpret_cast<IOleCommandTarget*>(commands.get())
                               ->Exec(group, command, 0, nullptr, out.get());
    const bool goOn = V_VT(out.get()) == VT_BOOL && V_BOOL(out.get()) == VARIANT_TRUE;
    return std::to_string(result) + (goOn ? " go on" : "");
  };
  auto message = [&](const wchar_t* text, DWORD type, int button) {
    return AnswerMessage(
        [&] {
          LRESULT answer = 0;
          reinterpret_cast<IDocHostShowUI*>(messages.get())
              ->ShowMessage(partner, const_cast<wchar_t*>(text),
                            const_cast<wchar_t*>(L"Message from webpage"), type, nullptr, 0,
                            &answer);
          return answer;
        },
        Main(), button);
  };
  // NWMF_USERINITED | NWMF_FIRST: a window the user asked for.
  auto newWindow = [&](size_t box, const wchar_t* url, LONG flags = 0x2 | 0x4, bool older = false) {
    return std::string(Stub(box).NewWindow(url, flags, older) ? "cancelled" : "opened");
  };
  const char* file = std::getenv("QUILLO_OPENED_FILE");
  ASSERT_NE(file, nullptr);
  DeleteFileA(file);
  const std::string caption = kCaption;
  struct Case {
    const char* name;
    std::function<std::string()> call;
    std::string expected;
  };
  const Case cases[] = {
      {"host information", [&] { return hostInfo(sizeof(DOCHOSTUIINFO)); }, "0 flat"},
      {"host information, cbSize 0", [&] { return hostInfo(0); }, "0 flat"},
      {"script error", [&] { return exec(&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR); },
       "0 go on"},
      {"another command of the group", [&] { return exec(&CGID_DocHostCommandHandler, 2300); },
       std::to_string(OLECMDERR_E_NOTSUPPORTED)},
      {"a command of no group", [&] { return exec(nullptr, OLECMDID_SHOWSCRIPTERROR); },
       std::to_string(OLECMDERR_E_UNKNOWNGROUP)},
      {"alert", [&] { return message(L"<b>注意</b> & more", MB_OK | MB_ICONWARNING, IDOK); },
       caption + " over the window; <b>注意</b> & more OK; returned 1"},
      {"confirm, OK", [&] { return message(L"Go?", MB_OKCANCEL | MB_ICONQUESTION, IDOK); },
       caption + " over the window; Go? OK Cancel; returned 1"},
      {"confirm, Cancel", [&] { return message(L"Go?", MB_OKCANCEL | MB_ICONQUESTION, IDCANCEL); },
       caption + " over the window; Go? OK Cancel; returned 2"},
      {"new window from the calling page", [&] { return newWindow(1, L"https://example.org/c"); },
       "cancelled"},
      {"new window, not a web address, from the partner page",
       [&] { return newWindow(0, L"ftp://example.org/f"); }, "cancelled"},
      {"new window from the partner page", [&] { return newWindow(0, L"https://example.org/p"); },
       "cancelled"},
      {"new window the user did not ask for, from the partner page",
       [&] { return newWindow(0, L"https://example.org/u", 0x4); }, "cancelled"},
      {"new window from an older control, from the partner page",
       [&] { return newWindow(0, L"https://example.org/2", 0x2, true); }, "cancelled"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.name;
  // Only the partner page's web address went to the user's browser.
  std::string opened;
  for (int waited = 0; opened.empty() && waited < 20000; waited += 100, Sleep(100)) {
    std::ifstream in(file);
    opened.assign(std::istreambuf_iterator<char>(in), {});
  }
  Sleep(1000);  // anything else handed out by now would be there too
  std::ifstream in(file);
  opened.assign(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(opened, "https://example.org/p\n");
  Exit(0);
}

TEST_F(BrowserSiteTest, TheSiteGoesWithItsLastReference) {
  // The control holds its site past the box's tear-down, as a late release would.
  Open();
  IOleClientSite* site = Stub(0).site();
  site->AddRef();
  Exit(0);
  EXPECT_EQ(Stub(0).site(), nullptr);  // the control gave its reference back at close,
  EXPECT_NE(Stub(0).calls().find("SetClientSite(null)"), std::string::npos);  // not at its end
  EXPECT_EQ(site->Release(), 0u);  // ours was the last: nothing else holds the site
}

}  // namespace
}  // namespace quillo::testing
