#include "control_stub.h"

#include <exdispid.h>

namespace quillo::testing {
namespace {

// The control's window classes, of a module of their own: other tests in this process
// register the same names for windows that answer as a browser's do.
HWND MakeWindow(const wchar_t* type, HWND parent) {
  HINSTANCE module = GetModuleHandleW(L"ole32.dll");
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = module;
  windowClass.lpszClassName = type;
  RegisterClassW(&windowClass);  // fails harmlessly once registered
  RECT area{};
  GetClientRect(parent, &area);
  return CreateWindowExW(0, type, L"", WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom, parent,
                         nullptr, module, nullptr);
}

}  // namespace

ControlStub::~ControlStub() { Close(OLECLOSE_NOSAVE); }

// OleInitialize answers S_FALSE only while OLE is initialised on the thread already (Wine's
// dlls/ole32/tests/ole2.c, test_OleInitialize_InitCounting); the probe's own is undone.
void ControlStub::Record(const char* name) {
  const HRESULT probe = OleInitialize(nullptr);
  if (SUCCEEDED(probe)) OleUninitialize();
  calls_ += std::string(name) + ", ";
  if (probe != S_FALSE) withoutOle_ += std::string(name) + ", ";
}

ULONG ControlStub::Release() {
  if (references_ == 0) return 0;
  if (--references_ == 0) {
    Record("final Release");
    site_.Reset();
  }
  return references_;
}

HRESULT ControlStub::QueryInterface(REFIID iid, void** object) {
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

HRESULT ControlStub::SetClientSite(IOleClientSite* site) {
  Record(site != nullptr ? "SetClientSite" : "SetClientSite(null)");
  site_ = win32::ComPtr<IOleClientSite>::Share(site);
  return S_OK;
}

bool ControlStub::InPlaceActivate(HWND parent) {
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

HRESULT ControlStub::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent, LPCRECT) {
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

HRESULT ControlStub::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (frame_) frame_->SetActiveObject(nullptr, nullptr);
  inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}

HRESULT ControlStub::InPlaceDeactivate() {
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

HRESULT ControlStub::Close(DWORD) {
  Record("Close");
  InPlaceDeactivate();
  return S_OK;
}

HRESULT ControlStub::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = embedding_.get();
  return *window != nullptr ? S_OK : E_FAIL;
}

HRESULT ControlStub::TranslateAccelerator(LPMSG message) {
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
  const DWORD modifiers =
      (shift ? 1 : 0) | (GetKeyState(VK_CONTROL) < 0 ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
  if (control) control->TranslateAccelerator(message, modifiers);
  return message->wParam == VK_TAB ? S_OK : S_FALSE;
}

HRESULT ControlStub::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) return E_POINTER;
  *point = nullptr;
  if (iid != DIID_DWebBrowserEvents2) return CONNECT_E_NOCONNECTION;
  *point = this;
  AddRef();
  return S_OK;
}

HRESULT ControlStub::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(sink_.Out())))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  *cookie = 1;
  return S_OK;
}

HRESULT ControlStub::Unadvise(DWORD cookie) {
  if (cookie != 1 || !sink_) return CONNECT_E_NOCONNECTION;
  sink_.Reset();
  return S_OK;
}

bool ControlStub::NewWindow(const std::wstring& url) {
  if (!sink_) return false;
  IDispatch* window = nullptr;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  win32::ScopedVariantArray arguments(5);  // last first, as IDispatch wants them
  V_VT(&arguments[4]) = VT_BYREF | VT_DISPATCH;
  V_DISPATCHREF(&arguments[4]) = &window;
  V_VT(&arguments[3]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&arguments[3]) = &cancel;
  V_VT(&arguments[2]) = VT_I4;
  V_I4(&arguments[2]) = 0x2 | 0x4;  // NWMF_USERINITED | NWMF_FIRST
  V_VT(&arguments[1]) = VT_BSTR;
  V_BSTR(&arguments[1]) = SysAllocString(L"http://127.0.0.1/page.html");
  V_VT(&arguments[0]) = VT_BSTR;
  V_BSTR(&arguments[0]) = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
  DISPPARAMS parameters{arguments.data(), nullptr, 5, 0};
  sink_->Invoke(DISPID_NEWWINDOW3, IID_NULL, 0, DISPATCH_METHOD, &parameters, nullptr, nullptr,
                nullptr);
  return cancel == VARIANT_TRUE;
}

HRESULT ControlStubFactory::Register() {
  return CoRegisterClassObject(CLSID_WebBrowser, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                               &cookie_);
}

void ControlStubFactory::Revoke() {
  if (cookie_ != 0) CoRevokeClassObject(cookie_);
  cookie_ = 0;
}

HRESULT ControlStubFactory::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = (iid == IID_IUnknown || iid == IID_IClassFactory) ? this : nullptr;
  return *object != nullptr ? S_OK : E_NOINTERFACE;
}

HRESULT ControlStubFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object) {
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  made_.push_back(std::make_unique<ControlStub>());
  return made_.back()->QueryInterface(iid, object);
}

}  // namespace quillo::testing
