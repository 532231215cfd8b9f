#include "browser_site.h"

#include <exdispid.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string_view>

#include "window_api.h"
#include "window_rules.h"

namespace quillo::win32 {
namespace {

constexpr wchar_t kHostClass[] = L"QuilloBrowserBox";

void RegisterHostClass(WNDPROC procedure) {
  WNDCLASSEXW type{};
  type.cbSize = sizeof type;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), kHostClass, &type)) return;
  type.lpfnWndProc = procedure;
  type.hInstance = GetModuleHandleW(nullptr);
  type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  type.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  type.lpszClassName = kHostClass;
  RegisterClassExW(&type);
}

}  // namespace

ComPtr<BrowserSite> BrowserSite::Create(HWND parent, int id, const RECT& bounds,
                                        const std::wstring& url, Callbacks callbacks) {
  // The box's reference, which the count starts with; the last Release frees the site.
  auto site = ComPtr<BrowserSite>::Adopt(
      std::make_unique<BrowserSite>(parent, id, bounds, std::move(callbacks)).release());
  if (site->host_) site->Load(url);
  return site;
}

BrowserSite::BrowserSite(HWND parent, int id, const RECT& bounds, Callbacks callbacks)
    : handlers_(std::move(callbacks)) {
  RegisterHostClass(&BrowserSite::HostProc);
  host_.Reset(CreateWindowExW(
      0, kHostClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, bounds.left, bounds.top,
      bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr));
  if (host_) SetWindowLongPtrW(host_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

BrowserSite::~BrowserSite() { Close(); }

ULONG BrowserSite::Release() {
  const ULONG left = --references_;
  if (left == 0) std::unique_ptr<BrowserSite> last(this);  // the last reference: it goes
  return left;
}

void BrowserSite::Close() {
  TearDown();
  if (host_) SetWindowLongPtrW(host_.get(), GWLP_USERDATA, 0);
  host_.Reset();
  handlers_ = {};
}

void BrowserSite::Load(const std::wstring& url) {
  ComPtr<IOleObject> object;
  if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(object.Out())))) {
    return;  // no browser control on this system: a blank box
  }
  object_ = std::move(object);
  object_->SetClientSite(this);  // the browser control wants its site first
  // A new control starts from nothing: no saved state, as the program keeps none.
  if (auto fresh = object_.As<IPersistStreamInit>(IID_IPersistStreamInit)) fresh->InitNew();
  object_->SetHostNames(L"Quillo", nullptr);
  OleSetContainedObject(object_.get(), TRUE);
  // The control's events, for its new windows.
  if (auto points = object_.As<IConnectionPointContainer>(IID_IConnectionPointContainer)) {
    ComPtr<IConnectionPoint> point;
    if (SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Out())) && point &&
        SUCCEEDED(point->Advise(static_cast<IDispatch*>(this), &eventsCookie_))) {
      events_ = std::move(point);
    }
  }
  RECT area = ClientBounds();
  // Active in place without taking the focus; the box is activated for the user when the
  // focus comes to it.
  if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, host_.get(), &area))) {
    TearDown();
    return;
  }
  inPlace_ = object_.As<IOleInPlaceObject>(IID_IOleInPlaceObject);
  if (inPlace_) inPlace_->SetObjectRects(&area, &area);
  browser_ = object_.As<IWebBrowser2>(IID_IWebBrowser2);
  if (!browser_) return;
  // Not silent: a silent control shows no dialog at all, alert and confirm included. Script
  // errors are kept quiet in Exec instead.
  ScopedVariant address;
  address.get()->vt = VT_BSTR;
  address.get()->bstrVal = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
  if (address.get()->bstrVal != nullptr) {
    browser_->Navigate2(address.get(), nullptr, nullptr, nullptr, nullptr);
  }
}

void BrowserSite::TearDown() {
  if (events_) events_->Unadvise(eventsCookie_);
  events_.Reset();
  browser_.Reset();
  active_.Reset();
  if (inPlace_) inPlace_->InPlaceDeactivate();
  inPlace_.Reset();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    OleSetContainedObject(object_.get(), FALSE);
  }
  object_.Reset();
}

RECT BrowserSite::ClientBounds() const {
  RECT area{};
  GetClientRect(host_.get(), &area);
  return area;
}

HWND BrowserSite::Owner() const { return host_ ? GetAncestor(host_.get(), GA_ROOT) : nullptr; }

// Keys belong in the control's document window, or in its own window while it has none.
static HWND ContentWindow(HWND host, IOleInPlaceObject* inPlace) {
  HWND found = nullptr;
  EnumChildWindows(
      host,
      [](HWND window, LPARAM result) -> BOOL {
        char type[32] = {};
        GetClassNameA(window, type, 32);
        if (std::string_view(type) != kBrowserServerClass) return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  if (found == nullptr && inPlace != nullptr) inPlace->GetWindow(&found);
  return found;
}

void BrowserSite::Focus() {
  if (!object_) return;
  RECT area = ClientBounds();
  object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, this, 0, host_.get(), &area);
  // A control that is active already does nothing on a second activation, and the focus
  // would stay in our host window, where no key does anything.
  if (GetFocus() == host_.get()) {
    if (HWND content = ContentWindow(host_.get(), inPlace_.get())) SetFocus(content);
  }
}

bool BrowserSite::TranslateKey(MSG& message) {
  return active_ && active_->TranslateAccelerator(&message) == S_OK;
}

LRESULT CALLBACK BrowserSite::HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* site = reinterpret_cast<BrowserSite*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (site != nullptr) {
    switch (message) {
      case WM_SIZE:
        if (site->inPlace_) {
          RECT area = site->ClientBounds();
          site->inPlace_->SetObjectRects(&area, &area);
        }
        return 0;
      case WM_SETFOCUS:
        site->Focus();
        return 0;
      default:
        break;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HRESULT BrowserSite::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
    *object = static_cast<IOleClientSite*>(this);
  } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
    *object = static_cast<IOleInPlaceSite*>(this);
  } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
    *object = static_cast<IOleInPlaceFrame*>(this);
  } else if (iid == IID_IOleControlSite) {
    *object = static_cast<IOleControlSite*>(this);
  } else if (iid == IID_IDocHostUIHandler) {
    *object = static_cast<IDocHostUIHandler*>(this);
  } else if (iid == IID_IDocHostShowUI) {
    *object = static_cast<IDocHostShowUI*>(this);
  } else if (iid == IID_IOleCommandTarget) {
    *object = static_cast<IOleCommandTarget*>(this);
  } else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2) {
    *object = static_cast<IDispatch*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT BrowserSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker != nullptr) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT BrowserSite::GetContainer(IOleContainer** container) {
  if (container != nullptr) *container = nullptr;
  return E_NOINTERFACE;
}

HRESULT BrowserSite::GetWindow(HWND* window) {
  if (window == nullptr) return E_POINTER;
  *window = host_.get();
  return S_OK;
}

HRESULT BrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                      LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr ||
      info == nullptr) {
    return E_POINTER;
  }
  *frame = this;
  AddRef();
  *document = nullptr;
  *position = *clip = ClientBounds();
  info->fMDIApp = FALSE;
  info->hwndFrame = GetAncestor(host_.get(), GA_ROOT);
  info->haccel = nullptr;
  info->cAccelEntries = 0;
  return S_OK;
}

HRESULT BrowserSite::OnInPlaceDeactivate() {
  active_.Reset();
  return S_OK;
}

HRESULT BrowserSite::OnPosRectChange(LPCRECT position) {
  if (inPlace_ && position != nullptr) inPlace_->SetObjectRects(position, position);
  return S_OK;
}

HRESULT BrowserSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
  active_ = ComPtr<IOleInPlaceActiveObject>::Share(object);
  return S_OK;
}

HRESULT BrowserSite::GetHostInfo(DOCHOSTUIINFO* info) {
  // Some versions of the control pass cbSize 0; the structure is there all the same.
  if (info == nullptr) return E_POINTER;
  info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_NO3DOUTERBORDER | DOCHOSTUIFLAG_THEME |
                  DOCHOSTUIFLAG_DPI_AWARE | DOCHOSTUIFLAG_DISABLE_HELP_MENU;
  info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
  info->pchHostCss = nullptr;
  info->pchHostNS = nullptr;
  return S_OK;
}

HRESULT BrowserSite::GetOptionKeyPath(LPOLESTR* key, DWORD) {
  if (key != nullptr) *key = nullptr;  // the control's defaults: the program keeps no settings
  return E_NOTIMPL;
}

HRESULT BrowserSite::GetDropTarget(IDropTarget*, IDropTarget** target) {
  if (target != nullptr) *target = nullptr;
  return E_NOTIMPL;
}

HRESULT BrowserSite::GetExternal(IDispatch** external) {
  if (external != nullptr) *external = nullptr;
  return E_NOTIMPL;
}

HRESULT BrowserSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* out) {
  if (out != nullptr) *out = nullptr;
  return S_FALSE;
}

HRESULT BrowserSite::FilterDataObject(IDataObject*, IDataObject** out) {
  if (out != nullptr) *out = nullptr;
  return S_FALSE;
}

HRESULT BrowserSite::GetExtendedControl(IDispatch** object) {
  if (object != nullptr) *object = nullptr;
  return E_NOTIMPL;
}

HRESULT BrowserSite::TranslateAccelerator(MSG* message, DWORD modifiers) {
  // The control hands back the keys it does not use; Tab at the end of its page goes on
  // round the window. Its modifiers: 1 Shift, 2 Ctrl, 4 Alt.
  constexpr DWORD kShift = 1;
  constexpr DWORD kControlOrAlt = 2 | 4;
  if (message == nullptr || message->message != WM_KEYDOWN || message->wParam != VK_TAB ||
      (modifiers & kControlOrAlt) != 0 || !handlers_.tab) {
    return S_FALSE;
  }
  handlers_.tab((modifiers & kShift) != 0);
  return S_OK;
}

HRESULT BrowserSite::ShowMessage(HWND, LPOLESTR text, LPOLESTR, DWORD type, LPOLESTR, DWORD,
                                 LRESULT* result) {
  // Over the main window, under its caption, the page's text as plain text; the buttons and
  // icon the page's call asks for (OK for alert, OK and Cancel for confirm).
  HWND owner = Owner();
  std::wstring caption(static_cast<size_t>(GetWindowTextLengthW(owner)) + 1, L'\0');
  caption.resize(static_cast<size_t>(
      std::max(0, GetWindowTextW(owner, caption.data(), static_cast<int>(caption.size())))));
  const int answer = MessageBoxW(owner, text != nullptr ? text : L"", caption.c_str(),
                                 (type & (MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK)) | MB_APPLMODAL);
  if (result != nullptr) *result = answer;
  return S_OK;
}

HRESULT BrowserSite::QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT*) {
  if (group == nullptr || *group != CGID_DocHostCommandHandler) return OLECMDERR_E_UNKNOWNGROUP;
  for (ULONG i = 0; commands != nullptr && i < count; ++i) {
    commands[i].cmdf =
        commands[i].cmdID == OLECMDID_SHOWSCRIPTERROR ? OLECMDF_SUPPORTED | OLECMDF_ENABLED : 0;
  }
  return S_OK;
}

HRESULT BrowserSite::Exec(const GUID* group, DWORD command, DWORD, VARIANT*, VARIANT* out) {
  if (group == nullptr || *group != CGID_DocHostCommandHandler) return OLECMDERR_E_UNKNOWNGROUP;
  if (command != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;
  if (out != nullptr) {  // go on running the page's scripts; we showed nothing
    VariantClear(out);
    V_VT(out) = VT_BOOL;
    V_BOOL(out) = VARIANT_TRUE;
  }
  return S_OK;
}

HRESULT BrowserSite::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT BrowserSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                            EXCEPINFO*, UINT*) {
  // NewWindow3(ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl) and, from older controls,
  // NewWindow2(ppDisp, Cancel); the arguments come last first.
  const UINT cancelAt = id == DISPID_NEWWINDOW3 ? 3 : id == DISPID_NEWWINDOW2 ? 0 : UINT_MAX;
  if (cancelAt == UINT_MAX) return DISP_E_MEMBERNOTFOUND;
  if (parameters == nullptr || parameters->cArgs <= cancelAt) return DISP_E_BADPARAMCOUNT;
  VARIANT& cancel = parameters->rgvarg[cancelAt];
  if (V_VT(&cancel) != (VT_BYREF | VT_BOOL) || V_BOOLREF(&cancel) == nullptr) {
    return DISP_E_TYPEMISMATCH;
  }
  *V_BOOLREF(&cancel) = VARIANT_TRUE;  // no window of ours ever opens
  // Only a window the user asked for (NWMF_USERINITED in dwFlags) goes anywhere.
  if (id != DISPID_NEWWINDOW3 || parameters->cArgs != 5) return S_OK;
  const VARIANT& flags = parameters->rgvarg[2];
  if (V_VT(&flags) == VT_I4 && (V_I4(&flags) & NWMF_USERINITED) != 0) {
    NewWindow(&parameters->rgvarg[0]);
  }
  return S_OK;
}

// A web address (http or https only: a page must not start programs or open files) goes to
// the user's browser, when the box may do that.
void BrowserSite::NewWindow(const VARIANT* address) {
  if (!handlers_.opensOutside || V_VT(address) != VT_BSTR || V_BSTR(address) == nullptr) return;
  const std::wstring_view url(V_BSTR(address), SysStringLen(V_BSTR(address)));
  if (!rules::IsWebAddress(url)) return;
  ShellExecuteW(Owner(), L"open", std::wstring(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace quillo::win32
