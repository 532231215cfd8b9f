// A fake page (fake_dom.h) served over the system's IDispatch, as the browser control serves
// its document in a given document mode (7 to 11): each of the page's objects gets one COM
// object that answers QueryInterface for IDispatch (the document also for the document
// interface) and turns GetIDsOfNames and Invoke into the page's by-name calls. Names are
// those of the engine's own objects, with its fixed ids, matched regardless of case. Writes
// must name their value DISPID_PROPERTYPUT; a call the page rejects fails with
// DISP_E_EXCEPTION. Events are made, initialised and dispatched, or fired, with the members
// each mode has, and the calls are recorded. It counts the COM references it handed out and
// notes a last one that went while COM was not initialised on the thread.
#pragma once

#include "window_api.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "automation.h"
#include "fake_dom.h"

namespace quillo::testing {

class ComPage {
 public:
  explicit ComPage(FakeDom& dom, int documentMode = 11);
  ~ComPage();
  ComPage(const ComPage&) = delete;
  ComPage& operator=(const ComPage&) = delete;

  // The document, without a reference (the page keeps it).
  IUnknown* document() const;
  // COM references handed out and not released yet.
  int liveReferences() const { return live_; }
  bool overReleased() const { return overReleased_; }
  bool releasedWithoutCom() const { return releasedWithoutCom_; }
  // The index of the page element behind an object over IDispatch, or -1.
  int IndexOf(const AutomationObject& object) const;
  // The event members called, in order, as "createEvent(HTMLEvents)",
  // "initEvent(input,true,false)", "dispatchEvent(input)" or "fireEvent(onchange)".
  const std::vector<std::string>& eventCalls() const { return eventCalls_; }

 private:
  class Object;
  struct Member;
  struct Event {
    std::string type;
    bool bubbles = false;
    bool initialised = false;
  };
  static const std::vector<Member>& MembersOf(std::string_view kind);
  Object* Serve(AutomationObject inner, const std::vector<Member>& members);
  void Released();

  FakeDom& dom_;
  const int mode_;
  std::map<const Dispatch*, std::unique_ptr<Object>> objects_;  // one per page object
  std::vector<std::unique_ptr<Object>> events_;  // the events the page's document made
  std::vector<std::string> eventCalls_;
  Object* document_ = nullptr;
  int live_ = 0;
  bool overReleased_ = false;
  bool releasedWithoutCom_ = false;
};

}  // namespace quillo::testing
