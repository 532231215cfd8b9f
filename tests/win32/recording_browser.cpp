#include "recording_browser.h"

#include <exdisp.h>

#include <memory>

#include "scoped_win.h"

namespace quillo::testing {

using win32::ComPtr;

class RecordingBrowser::Control final : public IOleObject, public IOleInPlaceObject {
 public:
  explicit Control(RecordingBrowser& owner) : owner_(owner) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleObject) {
      *out = static_cast<IOleObject*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) {
      *out = static_cast<IOleInPlaceObject*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    if (refs_++ == 0) ++owner_.controls_;
    return refs_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    if (refs_ == 0) return 0;
    if (--refs_ == 0) {
      owner_.Record("final Release");
      --owner_.controls_;
      Hold(nullptr);
    }
    return refs_;
  }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
    owner_.Record(site != nullptr ? "SetClientSite" : "SetClientSite(null)");
    Hold(site);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
    if (site == nullptr) return E_POINTER;
    *site = site_.get();
    if (*site != nullptr) (*site)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override {
    owner_.Record("Close");
    Deactivate();
    Hold(nullptr);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, WINBOOL, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG, LPMSG, IOleClientSite* site, LONG, HWND,
                                   LPCRECT) override {
    owner_.Record("DoVerb");
    if (site == nullptr) site = site_.get();
    if (site == nullptr || active_) return S_OK;
    ComPtr<IOleInPlaceSite> inPlace;
    if (FAILED(site->QueryInterface(IID_IOleInPlaceSite,
                                    reinterpret_cast<void**>(inPlace.Out())))) {
      return E_FAIL;
    }
    if (inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
    inPlace->OnInPlaceActivate();
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    RECT position{};
    RECT clip{};
    OLEINPLACEFRAMEINFO info{sizeof info, FALSE, nullptr, nullptr, 0};
    inPlace->GetWindowContext(frame.Out(), document.Out(), &position, &clip, &info);
    active_ = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* id) override {
    if (id == nullptr) return E_POINTER;
    *id = CLSID_WebBrowser;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
    if (status == nullptr) return E_POINTER;
    *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
              OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow and IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window != nullptr) *window = nullptr;
    return E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
    owner_.Record("InPlaceDeactivate");
    Deactivate();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT, LPCRECT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

 private:
  void Deactivate() {
    if (!active_ || !site_) return;
    active_ = false;
    if (auto inPlace = site_.As<IOleInPlaceSite>(IID_IOleInPlaceSite)) {
      inPlace->OnInPlaceDeactivate();
    }
  }
  void Hold(IOleClientSite* site) {
    if (site_) --owner_.sites_;
    site_ = ComPtr<IOleClientSite>::Share(site);
    if (site_) ++owner_.sites_;
  }

  RecordingBrowser& owner_;
  ULONG refs_ = 0;
  ComPtr<IOleClientSite> site_;
  bool active_ = false;
};

class RecordingBrowser::Factory final : public IClassFactory {
 public:
  explicit Factory(RecordingBrowser& owner) : owner_(owner) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  // The recorder owns the factory and the controls it makes.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    controls_.push_back(std::make_unique<Control>(owner_));
    return controls_.back()->QueryInterface(iid, out);
  }
  HRESULT STDMETHODCALLTYPE LockServer(WINBOOL) override { return S_OK; }

 private:
  RecordingBrowser& owner_;
  std::vector<std::unique_ptr<Control>> controls_;
};

RecordingBrowser::RecordingBrowser() : factory_(std::make_unique<Factory>(*this)) {
  CoRegisterClassObject(CLSID_WebBrowser, factory_.get(), CLSCTX_INPROC_SERVER,
                        REGCLS_MULTIPLEUSE, &cookie_);
}

RecordingBrowser::~RecordingBrowser() { Revoke(); }

void RecordingBrowser::Revoke() {
  if (cookie_ != 0) CoRevokeClassObject(cookie_);
  cookie_ = 0;
}

// OleInitialize answers S_FALSE only while OLE is initialised on the thread already (Wine's
// dlls/ole32/tests/ole2.c, test_OleInitialize_InitCounting); the probe's own is undone.
void RecordingBrowser::Record(const char* name) {
  const HRESULT probe = OleInitialize(nullptr);
  if (SUCCEEDED(probe)) OleUninitialize();
  calls_.push_back({name, probe == S_FALSE});
}

}  // namespace quillo::testing
