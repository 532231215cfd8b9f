#include "browser_site.h"


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

BrowserSite::BrowserSite(HWND parent, int id, const RECT& bounds, const std::wstring& url) {
  RegisterHostClass(&BrowserSite::HostProc);
  host_.Reset(CreateWindowExW(
      0, kHostClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, bounds.left, bounds.top,
      bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr));
  if (!host_) return;
  SetWindowLongPtrW(host_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  Host(url);
}

BrowserSite::~BrowserSite() {
  TearDown();
  if (host_) SetWindowLongPtrW(host_.get(), GWLP_USERDATA, 0);
}

void BrowserSite::Host(const std::wstring& url) {
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
  browser_->put_Silent(VARIANT_TRUE);  // script errors never open a dialog
  ScopedVariant address;
  address.get()->vt = VT_BSTR;
  address.get()->bstrVal = SysAllocStringLen(url.data(), static_cast<UINT>(url.size()));
  if (address.get()->bstrVal != nullptr) {
    browser_->Navigate2(address.get(), nullptr, nullptr, nullptr, nullptr);
  }
}

void BrowserSite::TearDown() {
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

void BrowserSite::Focus() {
  if (!object_) return;
  RECT area = ClientBounds();
  object_->DoVerb(OLEIVERB_UIACTIVATE, nullptr, this, 0, host_.get(), &area);
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
  } else if (iid == IID_IDocHostUIHandler) {
    *object = static_cast<IDocHostUIHandler*>(this);
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
  if (info == nullptr || info->cbSize < sizeof(DOCHOSTUIINFO)) return E_INVALIDARG;
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

}  // namespace quillo::win32
