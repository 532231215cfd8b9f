// A stand-in for the system's web browser control, as its host meets it, registered for
// CLSID_WebBrowser in the test's process. It keeps to what Wine's conformance tests record
// of the real control on Windows (dlls/ieframe/tests/webbrowser.c):
// - DoVerb(OLEIVERB_INPLACEACTIVATE) asks the site CanInPlaceActivate, GetWindow,
//   OnInPlaceActivate and GetWindowContext and makes its windows below the site's window:
//   "Shell Embedding" holding the document window "Internet Explorer_Server" (test_DoVerb);
// - DoVerb(OLEIVERB_UIACTIVATE) calls OnUIActivate, gives the frame its active object
//   (SetActiveObject) and the control site OnFocus(TRUE), and takes the focus; on a control
//   that is UI-active already it does nothing (test_WebBrowser_DoVerb);
// - once UI-active, TranslateAccelerator moves Tab among the page's own stops first; at the
//   end of the page it hands the key to the container's IOleControlSite::TranslateAccelerator
//   with the modifiers held, and answers S_OK for Tab whatever the container said
//   (test_TranslateAccelerator); other keys go to the container too and answer S_FALSE;
// - Close gives up UI and in-place activation (SetActiveObject(NULL), OnUIDeactivate,
//   OnInPlaceDeactivate), and SetClientSite(NULL) releases the site (test_Close);
// - DWebBrowserEvents2 sinks connect through IConnectionPointContainer;
// - the last Release lets the site go, as the control's end does.
// Its site and activation calls are recorded, with whether OLE was still initialised.
#pragma once

#include <windows.h>

#include <exdisp.h>
#include <ocidl.h>
#include <oleidl.h>

#include <memory>
#include <string>
#include <vector>

#include "scoped_win.h"

namespace quillo::testing {

class ControlStub final : public IOleObject,
                          public IOleInPlaceActiveObject,
                          public IOleInPlaceObject,
                          public IConnectionPointContainer,
                          public IConnectionPoint {
 public:
  ControlStub() = default;
  ~ControlStub();
  ControlStub(const ControlStub&) = delete;
  ControlStub& operator=(const ControlStub&) = delete;

  IOleClientSite* site() const { return site_.get(); }
  HWND document() const { return document_.get(); }
  void SetPageStops(int stops) { stops_ = stops; }
  // The calls so far, and those made while OLE was not initialised, as "name, name, ".
  const std::string& calls() const { return calls_; }
  const std::string& withoutOle() const { return withoutOle_; }
  ULONG references() const { return references_; }  // handed out and not released
  // Fires NewWindow3 as the control does for url; true when a sink cancelled it.
  bool NewWindow(const std::wstring& url);

  // IUnknown: counted; the test owns the stub.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
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
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND parent,
                                   LPCRECT) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

  // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT, LPCRECT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG message) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(WINBOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL) override { return S_OK; }

  // IConnectionPointContainer and its one IConnectionPoint, for DWebBrowserEvents2
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

 private:
  bool InPlaceActivate(HWND parent);
  void Record(const char* name);

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
  HRESULT Register();
  void Revoke();
  const std::vector<std::unique_ptr<ControlStub>>& made() const { return made_; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(WINBOOL) override { return S_OK; }

 private:
  std::vector<std::unique_ptr<ControlStub>> made_;
  DWORD cookie_ = 0;
};

}  // namespace quillo::testing
