// A stand-in for the system's web browser control, registered for CLSID_WebBrowser in the
// test's process, that does what Wine's conformance tests record of the real control on
// Windows (dlls/ieframe/tests/webbrowser.c): DoVerb activates in place below the site's
// window, "Shell Embedding" holding "Internet Explorer_Server", then UI-activates once
// (test_DoVerb, test_WebBrowser_DoVerb); Tab moves among the page's stops, then goes to the
// container's IOleControlSite with the modifiers and answers S_OK
// (test_TranslateAccelerator); Close deactivates and SetClientSite(NULL) lets the site go
// (test_Close). Its calls are recorded, and those made while OLE was not initialised.
#pragma once

#include <windows.h>

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <oleidl.h>

#include <memory>
#include <string>
#include <vector>

#include "scoped_win.h"

// A member the control answers with a fixed result.
#define QUILLO_STUB_ANSWERS(result, name, ...) \
  HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override { return result; }

namespace quillo::testing {

class ControlStub final : public IOleObject,
                          public IOleInPlaceActiveObject,
                          public IOleInPlaceObject,
                          public IConnectionPointContainer,
                          public IConnectionPoint {
 public:
  ControlStub() = default;
  ~ControlStub() { Close(OLECLOSE_NOSAVE); }
  ControlStub(const ControlStub&) = delete;
  ControlStub& operator=(const ControlStub&) = delete;

  IOleClientSite* site() const { return site_.get(); }
  HWND document() const { return document_.get(); }
  void SetPageStops(int stops) { stops_ = stops; }
  // The calls so far, and those made while OLE was not initialised, as "name, name, ".
  const std::string& calls() const { return calls_; }
  const std::string& withoutOle() const { return withoutOle_; }
  ULONG references() const { return references_; }  // handed out and not released

  // Fires NewWindow3 as the control does for url with flags or, from an older control,
  // NewWindow2, which has neither; true when a sink cancelled it.
  bool NewWindow(const std::wstring& url, LONG flags, bool older = false) {
    if (!sink_) return false;
    IDispatch* window = nullptr;
    VARIANT_BOOL cancel = VARIANT_FALSE;
    win32::ScopedVariantArray arguments(5);  // last first, as IDispatch wants them
    V_VT(&arguments[4]) = VT_BYREF | VT_DISPATCH;
    V_DISPATCHREF(&arguments[4]) = &window;
    V_VT(&arguments[3]) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&arguments[3]) = &cancel;
    V_VT(&arguments[2]) = VT_I4;
    V_I4(&arguments[2]) = flags;
    V_VT(&arguments[1]) = VT_BSTR;
    V_BSTR(&arguments[1]) = SysAllocString(L"http://127.0.0.1/page.html");
    V_VT(&arguments[0]) = VT_BSTR;
    V_BSTR(&arguments[0]) = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
    DISPPARAMS parameters{older ? &arguments[3] : arguments.data(), nullptr, older ? 2u : 5u, 0};
    sink_->Invoke(older ? DISPID_NEWWINDOW2 : DISPID_NEWWINDOW3, IID_NULL, 0, DISPATCH_METHOD,
                  &parameters, nullptr, nullptr, nullptr);
    return cancel == VARIANT_TRUE;
  }

  // IUnknown: counted; the test owns the stub, and the last Release lets the site go.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) {
      *object = static_cast<IOleObject*>(this);
    } else if (iid == IID_IOleInPlaceActiveObject) {
      *object = static_cast<IOleInPlaceActiveObject*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
      *object = static_cast<IOleInPlaceObject*>(this);
    } else if (iid == IID_IConnectionPointContainer) {
      *object = static_cast<IConnectionPointContainer*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    if (references_ == 0) return 0;
    if (--references_ == 0) {
      Record("final Release");
      site_.Reset();
    }
    return references_;
  }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    Record(site != nullptr ? "SetClientSite" : "SetClientSite(null)");
    site_ = win32::ComPtr<IOleClientSite>::Share(site);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override {
    Record("Close");
    InPlaceDeactivate();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent,
                                   LPCRECT) override {
    Record("DoVerb");
    if (!InPlaceActivate(parent)) return E_FAIL;
    if (verb != OLEIVERB_UIACTIVATE || uiActive_) return S_OK;  // active already: nothing
    uiActive_ = true;
    inPlaceSite_->OnUIActivate();
    if (frame_) frame_->SetActiveObject(this, L"item");
    if (auto control = site_.As<IOleControlSite>(IID_IOleControlSite)) control->OnFocus(TRUE);
    SetFocus(document_.get());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (cookie != 1 || !sink_) return CONNECT_E_NOCONNECTION;
    sink_.Reset();
    return S_OK;
  }
  QUILLO_STUB_ANSWERS(E_NOTIMPL, GetClientSite, IOleClientSite**)
  QUILLO_STUB_ANSWERS(S_OK, SetHostNames, LPCOLESTR, LPCOLESTR)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, SetMoniker, DWORD, IMoniker*)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, GetMoniker, DWORD, DWORD, IMoniker**)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, InitFromData, IDataObject*, WINBOOL, DWORD)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, GetClipboardData, DWORD, IDataObject**)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, EnumVerbs, IEnumOLEVERB**)
  QUILLO_STUB_ANSWERS(S_OK, Update)
  QUILLO_STUB_ANSWERS(S_OK, IsUpToDate)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, GetUserClassID, CLSID*)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, GetUserType, DWORD, LPOLESTR*)
  QUILLO_STUB_ANSWERS(S_OK, SetExtent, DWORD, SIZEL*)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, GetExtent, DWORD, SIZEL*)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, Advise, IAdviseSink*, DWORD*)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, EnumAdvise, IEnumSTATDATA**)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, GetMiscStatus, DWORD, DWORD*)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, SetColorScheme, LOGPALETTE*)

  // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = embedding_.get();
    return *window != nullptr ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
    Record("InPlaceDeactivate");
    if (!inPlaceSite_) return S_OK;
    UIDeactivate();
    inPlaceSite_->OnInPlaceDeactivate();
    document_.Reset();
    embedding_.Reset();
    frame_.Reset();
    inPlaceSite_.Reset();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() override {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
  }
  // Tab goes through the page's own stops first; at the end of the page, and for other keys,
  // to the container with the modifiers held.
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override {
    if (!uiActive_ || message == nullptr || message->message != WM_KEYDOWN) return S_FALSE;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (message->wParam == VK_TAB) {
      const int next = at_ + (shift ? -1 : 1);
      if (next >= 1 && next <= stops_) {  // on to another stop of the page
        at_ = next;
        return S_OK;
      }
      at_ = 0;
    }
    auto control = site_.As<IOleControlSite>(IID_IOleControlSite);
    const DWORD modifiers = (shift ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) |
                            (GetKeyState(VK_MENU) < 0 ? 4 : 0);
    if (control) control->TranslateAccelerator(message, modifiers);
    return message->wParam == VK_TAB ? S_OK : S_FALSE;
  }
  QUILLO_STUB_ANSWERS(E_NOTIMPL, ContextSensitiveHelp, WINBOOL)
  QUILLO_STUB_ANSWERS(S_OK, SetObjectRects, LPCRECT, LPCRECT)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, ReactivateAndUndo)
  QUILLO_STUB_ANSWERS(S_OK, OnFrameWindowActivate, WINBOOL)
  QUILLO_STUB_ANSWERS(S_OK, OnDocWindowActivate, WINBOOL)
  QUILLO_STUB_ANSWERS(S_OK, ResizeBorder, LPCRECT, IOleInPlaceUIWindow*, WINBOOL)
  QUILLO_STUB_ANSWERS(S_OK, EnableModeless, WINBOOL)

  // IConnectionPointContainer and its one IConnectionPoint, for DWebBrowserEvents2
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (point == nullptr) return E_POINTER;
    *point = nullptr;
    if (iid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
    *point = this;
    AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(sink_.Out())))) {
      return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = 1;
    return S_OK;
  }
  QUILLO_STUB_ANSWERS(E_NOTIMPL, EnumConnectionPoints, IEnumConnectionPoints**)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, GetConnectionInterface, IID*)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, GetConnectionPointContainer, IConnectionPointContainer**)
  QUILLO_STUB_ANSWERS(E_NOTIMPL, EnumConnections, IEnumConnections**)

 private:
  // The control's windows, of a class of another module: the tests register the same names
  // for windows that answer as a browser's do.
  static HWND MakeWindow(const wchar_t* type, HWND parent) {
    HINSTANCE module = GetModuleHandleW(L"ole32.dll");
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = module;
    windowClass.lpszClassName = type;
    RegisterClassW(&windowClass);  // fails harmlessly once registered
    RECT area{};
    GetClientRect(parent, &area);
    return CreateWindowExW(0, type, L"", WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom,
                           parent, nullptr, module, nullptr);
  }

  bool InPlaceActivate(HWND parent) {
    if (inPlaceSite_) return true;
    auto site = site_.As<IOleInPlaceSite>(IID_IOleInPlaceSite);
    HWND window = nullptr;
    if (!site || site->CanInPlaceActivate() != S_OK || FAILED(site->GetWindow(&window))) {
      return false;
    }
    site->OnInPlaceActivate();
    win32::ComPtr<IOleInPlaceUIWindow> document;
    RECT position{};
    RECT clip{};
    OLEINPLACEFRAMEINFO info{sizeof info, FALSE, nullptr, nullptr, 0};
    site->GetWindowContext(frame_.Out(), document.Out(), &position, &clip, &info);
    inPlaceSite_ = std::move(site);
    embedding_.Reset(MakeWindow(L"Shell Embedding", window != nullptr ? window : parent));
    document_.Reset(MakeWindow(L"Internet Explorer_Server", embedding_.get()));
    return true;
  }

  // OleInitialize answers S_FALSE only while OLE is initialised on the thread already (Wine's
  // dlls/ole32/tests/ole2.c, test_OleInitialize_InitCounting); the probe's own is undone.
  void Record(const char* name) {
    const HRESULT probe = OleInitialize(nullptr);
    if (SUCCEEDED(probe)) OleUninitialize();
    calls_ += std::string(name) + ", ";
    if (probe != S_FALSE) withoutOle_ += std::string(name) + ", ";
  }

  ULONG references_ = 0;
  win32::ComPtr<IOleClientSite> site_;
  win32::ComPtr<IOleInPlaceSite> inPlaceSite_;
  win32::ComPtr<IOleInPlaceFrame> frame_;
  win32::ComPtr<IDispatch> sink_;
  win32::ScopedWindow embedding_;
  win32::ScopedWindow document_;
  bool uiActive_ = false;
  int stops_ = 0;  // the page's own Tab stops
  int at_ = 0;     // the stop holding the focus, 1..stops_, or 0 for the page itself
  std::string calls_;
  std::string withoutOle_;
};

// Makes a stub for every control the process creates, and keeps them. Registered for
// CLSID_WebBrowser from Register until Revoke or its end; COM must be initialised.
class ControlStubFactory final : public IClassFactory {
 public:
  ControlStubFactory() = default;
  ~ControlStubFactory() { Revoke(); }
  ControlStubFactory(const ControlStubFactory&) = delete;
  ControlStubFactory& operator=(const ControlStubFactory&) = delete;
  HRESULT Register() {
    return CoRegisterClassObject(CLSID_WebBrowser, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                 &cookie_);
  }
  void Revoke() {
    if (cookie_ != 0) CoRevokeClassObject(cookie_);
    cookie_ = 0;
  }
  const std::vector<std::unique_ptr<ControlStub>>& made() const { return made_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = (iid == IID_IUnknown || iid == IID_IClassFactory) ? this : nullptr;
    return *object != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    made_.push_back(std::make_unique<ControlStub>());
    return made_.back()->QueryInterface(iid, object);
  }
  QUILLO_STUB_ANSWERS(S_OK, LockServer, WINBOOL)

 private:
  std::vector<std::unique_ptr<ControlStub>> made_;
  DWORD cookie_ = 0;
};

}  // namespace quillo::testing

#undef QUILLO_STUB_ANSWERS
