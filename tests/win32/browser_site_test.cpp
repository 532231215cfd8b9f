// The browser boxes' client site and message loop over a stand-in browser control: Tab and focus
// through a box, the site's answers to the control, the site let go at close while OLE is up.
#include <gtest/gtest.h>

#include <windows.h>

#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "gui_runtime.h"
#include "scoped_win.h"
#include "text.h"

// Members the control answers with a fixed result, up to five to a use.
#define ANSWER(result, member) \
  HRESULT STDMETHODCALLTYPE member override { return result; }
#define ANSWERS(r, m, ...) ANSWER(r, m) __VA_OPT__(ANSWERS4(r, __VA_ARGS__))
#define ANSWERS4(r, m, ...) ANSWER(r, m) __VA_OPT__(ANSWERS3(r, __VA_ARGS__))
#define ANSWERS3(r, m, ...) ANSWER(r, m) __VA_OPT__(ANSWERS2(r, __VA_ARGS__))
#define ANSWERS2(r, m, ...) ANSWER(r, m) __VA_OPT__(ANSWER(r, __VA_ARGS__))

namespace quillo::testing {
namespace {

// For CLSID_WebBrowser, as Wine's ieframe tests (webbrowser.c) record the real control: DoVerb
// activates in place ("Shell Embedding" holding "Internet Explorer_Server"), UI-activates once.
class ControlStub final : public IOleObject,
                          public IOleInPlaceActiveObject,
                          public IOleInPlaceObject,
                          public IConnectionPointContainer,
                          public IConnectionPoint {
 public:
  ~ControlStub() { Close(OLECLOSE_NOSAVE); }

  // Fires NewWindow3 (url, flags) or, as an older control does, NewWindow2; true when cancelled.
  bool NewWindow(const std::wstring& url, LONG flags, bool older = false) {
    if (!sink_) return false;
    IDispatch* window = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    win32::ScopedVariantArray arguments(5);  // last first, as IDispatch wants them
    const auto put = [&](int i, VARTYPE type) { return V_VT(&arguments[i]) = type, &arguments[i]; };
    V_DISPATCHREF(put(4, VT_BYREF | VT_DISPATCH)) = &window;
    V_BOOLREF(put(3, VT_BYREF | VT_BOOL)) = &cancel;
    V_I4(put(2, VT_I4)) = flags;
    V_BSTR(put(1, VT_BSTR)) = SysAllocString(L"http://127.0.0.1/page.html");
    V_BSTR(put(0, VT_BSTR)) = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    DISPPARAMS parameters{older ? &arguments[3] : arguments.data(), nullptr, older ? 2u : 5u, 0};
    sink_->Invoke(older ? DISPID_NEWWINDOW2 : DISPID_NEWWINDOW3, IID_NULL, 0, DISPATCH_METHOD,
                  &parameters, nullptr, nullptr, nullptr);
    return cancel == VARIANT_TRUE;
  }

  // Counted; the test owns the stub, and the last Release lets the site go.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) *object = static_cast<IOleObject*>(this);
    if (iid == IID_IOleInPlaceActiveObject) *object = static_cast<IOleInPlaceActiveObject*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) *object = (IOleInPlaceObject*)this;
    if (iid == IID_IConnectionPointContainer) *object = (IConnectionPointContainer*)this;
    if (*object != nullptr) AddRef();
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (references > 0 && --references == 0) {
      Record("final Release");
      site.Reset();
    }
    return references;
  }

  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* client) override {
    Record(client != nullptr ? "SetClientSite" : "SetClientSite(null)");
    site = win32::ComPtr<IOleClientSite>::Share(client);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override { return Record("Close"), InPlaceDeactivate(); }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent,
                                   LPCRECT) override {
    Record("DoVerb");
    if (!inPlaceSite_) {  // in place first, in a window of the site's
      auto place = site.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
      HWND window = nullptr;
      if (!place || place->CanInPlaceActivate() != S_OK || FAILED(place->GetWindow(&window)))
        return E_FAIL;
      place->OnInPlaceActivate();
      win32::ComPtr<IOleInPlaceUIWindow> ui;
      RECT position{}, clip{};
      OLEINPLACEFRAMEINFO info{sizeof info, FALSE, nullptr, nullptr, 0};
      place->GetWindowContext(frame_.Out(), ui.Out(), &position, &clip, &info);
      inPlaceSite_ = std::move(place);
      embedding_.Reset(MakeWindow(L"Shell Embedding", window != nullptr ? window : parent));
      document.Reset(MakeWindow(L"Internet Explorer_Server", embedding_.get()));
    }
    if (verb != OLEIVERB_UIACTIVATE || uiActive_) return S_OK;  // active already: nothing
    uiActive_ = true;
    inPlaceSite_->OnUIActivate();
    if (frame_) frame_->SetActiveObject(this, L"item");
    if (auto control = site.As<IOleControlSite>(IID_IOleControlSite)) control->OnFocus(TRUE);
    SetFocus(document.get());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (cookie != 1 || !sink_) return CONNECT_E_NOCONNECTION;
    return sink_.Reset(), S_OK;
  }
  ANSWERS(S_OK, SetHostNames(LPCOLESTR, LPCOLESTR), Update(), IsUpToDate(),
          SetExtent(DWORD, SIZEL*))
  ANSWERS(E_NOTIMPL, GetClientSite(IOleClientSite**), SetMoniker(DWORD, IMoniker*),
          GetMoniker(DWORD, DWORD, IMoniker**), InitFromData(IDataObject*, WINBOOL, DWORD),
          GetClipboardData(DWORD, IDataObject**))
  ANSWERS(E_NOTIMPL, EnumVerbs(IEnumOLEVERB**), GetUserClassID(CLSID*),
          GetUserType(DWORD, LPOLESTR*), GetExtent(DWORD, SIZEL*), Advise(IAdviseSink*, DWORD*))
  ANSWERS(E_NOTIMPL, EnumAdvise(IEnumSTATDATA**), GetMiscStatus(DWORD, DWORD*),
          SetColorScheme(LOGPALETTE*), ContextSensitiveHelp(WINBOOL), ReactivateAndUndo())

  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    return (*window = embedding_.get()) != nullptr ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
    Record("InPlaceDeactivate");
    if (!inPlaceSite_) return S_OK;
    UIDeactivate();
    inPlaceSite_->OnInPlaceDeactivate();
    document.Reset();
    embedding_.Reset();
    frame_.Reset();
    inPlaceSite_.Reset();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() override {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    return inPlaceSite_->OnUIDeactivate(FALSE);
  }
  // Tab goes through the page's stops, then (as other keys) to the container with the modifiers.
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override {
    if (!uiActive_ || message == nullptr || message->message != WM_KEYDOWN) return S_FALSE;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (message->wParam == VK_TAB) {
      at_ += shift ? -1 : 1;
      if (at_ >= 1 && at_ <= stops) return S_OK;  // on to another stop of the page
      at_ = 0;
    }
    const DWORD modifiers = (shift ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                            (GetKeyState(VK_MENU) < 0 ? 4 : 0);
    if (auto control = site.As<IOleControlSite>(IID_IOleControlSite))
      control->TranslateAccelerator(message, modifiers);
    return message->wParam == VK_TAB ? S_OK : S_FALSE;
  }
  ANSWERS(S_OK, SetObjectRects(LPCRECT, LPCRECT), OnFrameWindowActivate(WINBOOL),
          OnDocWindowActivate(WINBOOL), ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL),
          EnableModeless(WINBOOL))

  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (point == nullptr) return E_POINTER;
    *point = iid == DIID_DWebBrowserEvents2 ? this : nullptr;
    return *point != nullptr ? (AddRef(), S_OK) : CONNECT_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    *cookie = 1;
    sink_ = win32::ComPtr<IUnknown>::Share(sink).As<IDispatch>(IID_IDispatch);
    return sink_ ? S_OK : CONNECT_E_CANNOTCONNECT;
  }
  ANSWERS(E_NOTIMPL, EnumConnectionPoints(IEnumConnectionPoints**), GetConnectionInterface(IID*),
          GetConnectionPointContainer(IConnectionPointContainer**),
          EnumConnections(IEnumConnections**))

  ULONG references = 0;  // handed out and not released
  win32::ComPtr<IOleClientSite> site;
  win32::ScopedWindow document;
  int stops = 0;  // the page's own Tab stops
  // The calls so far, and those made while OLE was not initialised, as "name, name, ".
  std::string calls, withoutOle;

 private:
  // The control's windows, of a class of another module, as a browser's are.
  static HWND MakeWindow(const wchar_t* type, HWND parent) {
    HINSTANCE module = GetModuleHandleW(L"ole32.dll");
    WNDCLASSW windowClass{0, DefWindowProcW, 0, 0, module, {}, {}, {}, {}, type};
    RegisterClassW(&windowClass);  // fails harmlessly once registered
    RECT area{};
    GetClientRect(parent, &area);
    return CreateWindowExW(0, type, L"", WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom,
                           parent, nullptr, module, nullptr);
  }

  // OleInitialize answers S_FALSE only while OLE is up already (Wine's test_OleInitialize_*).
  void Record(const char* name) {
    const HRESULT probe = OleInitialize(nullptr);
    if (SUCCEEDED(probe)) OleUninitialize();
    calls += std::string(name) + ", ";
    if (probe != S_FALSE) withoutOle += std::string(name) + ", ";
  }

  win32::ComPtr<IOleInPlaceSite> inPlaceSite_;
  win32::ComPtr<IOleInPlaceFrame> frame_;
  win32::ComPtr<IDispatch> sink_;
  win32::ScopedWindow embedding_;
  bool uiActive_ = false;
  int at_ = 0;  // the stop holding the focus, 1..stops, or 0 for the page itself
};

// Makes a stub for every control the process creates while registered, and keeps them.
class ControlStubFactory final : public IClassFactory {
 public:
  ~ControlStubFactory() { Revoke(); }
  HRESULT Register() {
    return CoRegisterClassObject(CLSID_WebBrowser, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                 &cookie_);
  }
  void Revoke() {
    if (cookie_ != 0) CoRevokeClassObject(std::exchange(cookie_, 0));
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = (iid == IID_IUnknown || iid == IID_IClassFactory) ? this : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return made.emplace_back(std::make_unique<ControlStub>())->QueryInterface(iid, object);
  }
  ANSWER(S_OK, LockServer(WINBOOL))

  std::vector<std::unique_ptr<ControlStub>> made;

 private:
  DWORD cookie_ = 0;
};

constexpr char kCaption[] = "Quillo BY中国人，中国范~";

// clang-format off
ControlSpec Control(std::string_view name, ControlKind kind, int left, std::string_view call = {}) {
  return {.name = name, .kind = kind, .left = left, .top = 10, .width = 60, .height = 24,
          .shown = left < 300, .focusable = true, .callButton = call};
}

// An edit box, the partner box, a button and, out of sight, the calling box.
const WindowSpec kWindow{
    .name = "Window", .caption = kCaption, .left = 50, .top = 50, .clientWidth = 300,
    .clientHeight = 100,
    .controls = {Control("edit", ControlKind::EditBox, 10),
                 Control("partner", ControlKind::BrowserBox, 80),
                 Control("button", ControlKind::Button, 150),
                 Control("calling", ControlKind::BrowserBox, 400, "button")},
    .tabOrder = {"edit", "partner", "button"}};
// clang-format on

// The boxes' controls close and give their sites back, the last reference, before OLE ends.
TEST(BrowserSite, TheControlsAndSitesGoWhileOleIsStillUp) {
  ControlStubFactory factory;
  {
    win32::ScopedInit<CoInitialize, CoUninitialize> com;  // for the registration only
    ASSERT_EQ(factory.Register(), S_OK);
    LoadWindow(kWindow);
    factory.Revoke();
  }
  ASSERT_EQ(factory.made.size(), 2u);
  IOleClientSite* site = factory.made[0]->site.get();
  site->AddRef();  // held past the tear-down, as a late release would
  Exit(0);
  for (const auto& control : factory.made) {
    EXPECT_NE(control->calls.find("DoVerb"), std::string::npos) << control->calls;
    EXPECT_NE(control->calls.find("SetClientSite(null)"), std::string::npos) << control->calls;
    EXPECT_EQ(control->withoutOle, "") << control->calls;
    EXPECT_EQ(control->references, 0u) << control->calls;
    EXPECT_EQ(control->site.get(), nullptr) << control->calls;
  }
  EXPECT_EQ(site->Release(), 0u);  // ours was the last: nothing else holds the site
}

class BrowserSiteTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(factory_.Register(), S_OK); }

  // The window, with a stub in each box; it goes at Exit.
  void Open() {
    first_ = factory_.made.size();
    LoadWindow(kWindow);
    ASSERT_EQ(factory_.made.size(), first_ + 2);
    ProcessPendingMessages();
  }
  ControlStub& Stub(size_t box) { return *factory_.made[first_ + box]; }  // 0 partner
  static HWND Box(std::string_view name) {
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(ControlWindowHandle(name)));
  }
  static HWND Main() { return GetAncestor(Box("partner"), GA_ROOT); }

  // Where the keys go: the partner box's page or host, or the class of the control holding them.
  std::string Focus() {
    HWND focus = GetFocus();
    if (focus != nullptr && focus == Stub(0).document.get()) return "partner page";
    if (focus == Box("partner")) return "partner box's host";
    char type[32] = {};
    GetClassNameA(focus, type, 32);
    return type;
  }

  // Tab (T), Shift+Tab (S) through the loop, or Alt+Tab to another window and back (A).
  void Press(char key) {
    if (key == 'A') {
      win32::ScopedWindow other(CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0,
                                                50, 50, nullptr, nullptr, nullptr, nullptr));
      SetActiveWindow(other.get());
      ProcessPendingMessages();
      SetActiveWindow(Main());
      return ProcessPendingMessages();
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
  // The partner page's own Tab stops, the keys from the edit box, where they go then.
  const std::tuple<const char*, int, const char*, const char*> cases[] = {
      {"Tab into the box", 0, "T", "partner page"},
      {"Tab at the page's end goes on round", 0, "TT", "Button"},
      {"Shift+Tab in the box goes back", 0, "TS", "Edit"},
      {"Tab walks the page's own stops first", 2, "TTTT", "Button"},
      {"Tab back into a box that is active already", 0, "TTS", "partner page"},
      {"Alt+Tab away and back to a box", 0, "TA", "partner page"},
      {"Alt+Tab away and back to the edit box", 0, "A", "Edit"},
  };
  for (const auto& [name, stops, keys, focus] : cases) {
    Open();
    Stub(0).stops = stops;
    EXPECT_EQ(Focus(), "Edit") << name;
    for (const char* key = keys; *key != '\0'; ++key) Press(*key);
    EXPECT_EQ(Focus(), focus) << name;
    Exit(0);
  }
}

// Notes a message box as it opens (title, owner, text, buttons), then presses the button.
struct {
  std::string seen;
  HWND owner;
  int button;
} dialog;
LRESULT CALLBACK AnswerMessage(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  const auto text = [](HWND window) {
    wchar_t buffer[256] = {};
    GetWindowTextW(window, buffer, 256);
    return TextToUtf8(TextFromUtf16(reinterpret_cast<const char16_t*>(buffer)));
  };
  if (code == HC_ACTION && call->message == WM_INITDIALOG) {
    const bool over = GetWindow(call->hwnd, GW_OWNER) == dialog.owner;
    dialog.seen = text(call->hwnd) + (over ? " over the window;" : " elsewhere;");
    std::string buttons;  // after the text, whatever order the dialog holds them in
    for (HWND child = GetWindow(call->hwnd, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
      wchar_t type[16] = {};
      GetClassNameW(child, type, 16);
      if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) || text(child).empty()) continue;
      (std::wstring_view(type) == L"Button" ? buttons : dialog.seen) += " " + text(child);
    }
    dialog.seen += buttons;
    PostMessageW(call->hwnd, WM_COMMAND, MAKEWPARAM(dialog.button, BN_CLICKED), 0);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(BrowserSiteTest, AnswersTheControlAsAHost) {
  Open();
  const auto ui = Stub(0).site.As<IDocHostUIHandler>(IID_IDocHostUIHandler);
  const auto commands = Stub(0).site.As<IOleCommandTarget>(IID_IOleCommandTarget);
  const auto messages = Stub(0).site.As<IDocHostShowUI>(IID_IDocHostShowUI);
  ASSERT_TRUE(ui && commands && messages);
  for (ULONG size : {ULONG{sizeof(DOCHOSTUIINFO)}, ULONG{0}}) {  // host information: flat
    DOCHOSTUIINFO info{size, 0, 0, nullptr, nullptr};
    EXPECT_EQ(ui->GetHostInfo(&info), S_OK) << size;
    const DWORD flat = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DPI_AWARE;
    EXPECT_EQ(info.dwFlags & flat, flat) << size;
  }
  // A script error goes on quietly (the page's script goes on); no other command is taken.
  const std::tuple<const GUID*, DWORD, HRESULT, bool> commandCases[] = {
      {&CGID_DocHostCommandHandler, OLECMDID_SHOWSCRIPTERROR, S_OK, true},
      {&CGID_DocHostCommandHandler, 2300, OLECMDERR_E_NOTSUPPORTED, false},
      {nullptr, OLECMDID_SHOWSCRIPTERROR, OLECMDERR_E_UNKNOWNGROUP, false},
  };
  for (const auto& [group, command, expected, goOn] : commandCases) {
    win32::ScopedVariant out;
    EXPECT_EQ(commands->Exec(group, command, 0, nullptr, out.get()), expected) << command;
    EXPECT_EQ(V_VT(out.get()) == VT_BOOL && V_BOOL(out.get()) == VARIANT_TRUE, goOn) << command;
  }
  // Alerts and confirms as message boxes over the window, with its caption: text, type, button.
  const std::tuple<const wchar_t*, DWORD, int, const char*> messageCases[] = {
      {L"<b>注意</b> & more", MB_OK | MB_ICONWARNING, IDOK, "<b>注意</b> & more OK; returned 1"},
      {L"Go?", MB_OKCANCEL | MB_ICONQUESTION, IDOK, "Go? OK Cancel; returned 1"},
      {L"Go?", MB_OKCANCEL | MB_ICONQUESTION, IDCANCEL, "Go? OK Cancel; returned 2"},
  };
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROCRET, AnswerMessage, nullptr, GetCurrentThreadId());
  for (const auto& [text, type, button, expected] : messageCases) {
    dialog = {"no message box", Main(), button};
    LRESULT answer = 0;
    messages->ShowMessage(Box("partner"), const_cast<wchar_t*>(text),
                          const_cast<wchar_t*>(L"Message from webpage"), type, nullptr, 0, &answer);
    EXPECT_EQ(dialog.seen + "; returned " + std::to_string(answer),
              std::string(kCaption) + " over the window; " + expected);
  }
  UnhookWindowsHookEx(hook);
  // New windows never open in a box: only the partner page's web addresses the user asked for
  // (NWMF_USERINITED 0x2; NWMF_FIRST is 0x4) go to the browser. Box (0 partner), url, flags, old.
  const char* file = std::getenv("QUILLO_OPENED_FILE");
  ASSERT_NE(file, nullptr);
  DeleteFileA(file);
  const std::tuple<size_t, const wchar_t*, LONG, bool> windowCases[] = {
      {1, L"https://example.org/c", 0x6, false}, {0, L"ftp://example.org/f", 0x6, false},
      {0, L"https://example.org/p", 0x6, false}, {0, L"https://example.org/u", 0x4, false},
      {0, L"https://example.org/2", 0x2, true},
  };
  for (const auto& [box, url, flags, older] : windowCases)
    EXPECT_TRUE(Stub(box).NewWindow(url, flags, older)) << box << " " << url;
  const auto opened = [&] {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  for (int waited = 0; opened().empty() && waited < 20000; waited += 100) Sleep(100);
  Sleep(1000);  // anything else handed out by now would be there too
  EXPECT_EQ(opened(), "https://example.org/p\n");
  Exit(0);
}

}  // namespace
}  // namespace quillo::testing
