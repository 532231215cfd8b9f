// A stand-in for the system's web browser control (CLSID_WebBrowser), registered in this
// process for the class, so that a browser box made by the GUI runtime hosts it. It does
// what the control does towards its site in Wine's dlls/ieframe/tests/webbrowser.c and the
// OLE documentation of IOleObject and IOleInPlaceObject: it holds the site it is given,
// DoVerb activates it in place (CanInPlaceActivate, OnInPlaceActivate, GetWindowContext),
// InPlaceDeactivate and Close end that with OnInPlaceDeactivate, and Close or
// SetClientSite(nullptr) lets the site go. It has no IWebBrowser2, so no page loads. Every
// call is recorded, with whether OLE was still initialised on the thread.
#pragma once

#include "window_api.h"

#include <oleidl.h>

#include <memory>
#include <string>
#include <vector>

namespace quillo::testing {

class RecordingBrowser {
 public:
  struct Call {
    std::string name;
    bool ole;  // OLE was initialised on the thread
  };

  // Registers the stand-in for CLSID_WebBrowser until it goes. COM must be initialised.
  RecordingBrowser();
  ~RecordingBrowser();
  RecordingBrowser(const RecordingBrowser&) = delete;
  RecordingBrowser& operator=(const RecordingBrowser&) = delete;

  // Ends the registration; what was made goes on recording.
  void Revoke();
  const std::vector<Call>& calls() const { return calls_; }
  // References to the controls and to their sites that are still held.
  int liveControls() const { return controls_; }
  int heldSites() const { return sites_; }

 private:
  class Control;
  class Factory;
  void Record(const char* name);

  std::vector<Call> calls_;
  int controls_ = 0;
  int sites_ = 0;
  DWORD cookie_ = 0;
  std::unique_ptr<Factory> factory_;  // after what its controls record into
};

}  // namespace quillo::testing
