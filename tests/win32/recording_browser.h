// A stand-in for the system's web browser control (CLSID_WebBrowser), registered in this
// process for the class, so that the one browser box the GUI runtime makes hosts it. Towards
// its site it does what the control does in Wine's dlls/ieframe/tests/webbrowser.c and the
// OLE documentation of IOleObject and IOleInPlaceObject: it holds the site it is given,
// DoVerb activates it in place (CanInPlaceActivate, OnInPlaceActivate, GetWindowContext),
// InPlaceDeactivate and Close end that with OnInPlaceDeactivate, and Close or
// SetClientSite(nullptr) lets the site go. It has no IWebBrowser2, so no page loads. Every
// call is recorded, with whether OLE was still initialised on the thread.
#pragma once

#include "window_api.h"

#include <oleidl.h>

#include <string>

#include "scoped_win.h"

namespace quillo::testing {

class RecordingBrowser final : public IOleObject, public IOleInPlaceObject {
 public:
  // Registers the stand-in for CLSID_WebBrowser until Revoke. COM must be initialised.
  RecordingBrowser();
  ~RecordingBrowser() { Revoke(); }
  RecordingBrowser(const RecordingBrowser&) = delete;
  RecordingBrowser& operator=(const RecordingBrowser&) = delete;
  void Revoke();

  // The calls so far, and those made while OLE was not initialised, as "name, name, ".
  const std::string& calls() const { return calls_; }
  const std::string& withoutOle() const { return withoutOle_; }
  ULONG references() const { return refs_; }  // handed out and not released
  bool holdsSite() const { return static_cast<bool>(site_); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override;

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Close(DWORD) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, WINBOOL, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow and IOleInPlaceObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT, LPCRECT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

 private:
  // Makes the one control, every time; the recorder owns it.
  struct Factory final : IClassFactory {
    explicit Factory(RecordingBrowser& made) : control(made) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
      *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
      return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
      return outer != nullptr ? CLASS_E_NOAGGREGATION : control.QueryInterface(iid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(WINBOOL) override { return S_OK; }
    RecordingBrowser& control;
  };

  void Record(const char* name);
  void Deactivate();

  Factory factory_{*this};

  std::string calls_;
  std::string withoutOle_;
  ULONG refs_ = 0;
  win32::ComPtr<IOleClientSite> site_;
  bool active_ = false;
  DWORD cookie_ = 0;
};

}  // namespace quillo::testing
