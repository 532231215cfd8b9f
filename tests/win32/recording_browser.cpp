#include "recording_browser.h"

#include <exdisp.h>

#include <utility>

namespace quillo::testing {

RecordingBrowser::RecordingBrowser() {
  CoRegisterClassObject(CLSID_WebBrowser, &factory_, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                        &cookie_);
}

void RecordingBrowser::Revoke() {
  if (cookie_ != 0) CoRevokeClassObject(cookie_);
  cookie_ = 0;
}

HRESULT RecordingBrowser::QueryInterface(REFIID iid, void** out) {
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

ULONG RecordingBrowser::Release() {
  if (refs_ == 0) return 0;
  if (--refs_ == 0) {
    Record("final Release");
    site_.Reset();
  }
  return refs_;
}

HRESULT RecordingBrowser::SetClientSite(IOleClientSite* site) {
  Record(site != nullptr ? "SetClientSite" : "SetClientSite(null)");
  site_ = win32::ComPtr<IOleClientSite>::Share(site);
  return S_OK;
}

HRESULT RecordingBrowser::Close(DWORD) {
  Record("Close");
  Deactivate();
  site_.Reset();
  return S_OK;
}

HRESULT RecordingBrowser::DoVerb(LONG, LPMSG, IOleClientSite* site, LONG, HWND, LPCRECT) {
  Record("DoVerb");
  auto inPlace = win32::ComPtr<IOleClientSite>::Share(site != nullptr ? site : site_.get())
                     .As<IOleInPlaceSite>(IID_IOleInPlaceSite);
  if (!inPlace || inPlace->CanInPlaceActivate() != S_OK) return E_FAIL;
  if (active_) return S_OK;
  inPlace->OnInPlaceActivate();
  win32::ComPtr<IOleInPlaceFrame> frame;
  win32::ComPtr<IOleInPlaceUIWindow> document;
  RECT position{};
  RECT clip{};
  OLEINPLACEFRAMEINFO info{sizeof info, FALSE, nullptr, nullptr, 0};
  inPlace->GetWindowContext(frame.Out(), document.Out(), &position, &clip, &info);
  active_ = true;
  return S_OK;
}

HRESULT RecordingBrowser::InPlaceDeactivate() {
  Record("InPlaceDeactivate");
  Deactivate();
  return S_OK;
}

void RecordingBrowser::Deactivate() {
  if (!std::exchange(active_, false) || !site_) return;
  if (auto inPlace = site_.As<IOleInPlaceSite>(IID_IOleInPlaceSite)) inPlace->OnInPlaceDeactivate();
}

// OleInitialize answers S_FALSE only while OLE is initialised on the thread already (Wine's
// dlls/ole32/tests/ole2.c, test_OleInitialize_InitCounting); the probe's own is undone.
void RecordingBrowser::Record(const char* name) {
  const HRESULT probe = OleInitialize(nullptr);
  if (SUCCEEDED(probe)) OleUninitialize();
  calls_ += std::string(name) + ", ";
  if (probe != S_FALSE) withoutOle_ += std::string(name) + ", ";
}

}  // namespace quillo::testing
