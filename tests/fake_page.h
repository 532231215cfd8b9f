// One fake page for the automation layer's tests: a document, its body, elements with tag,
// type, name, id, title, value, clicks and the events raised on them, and live collections
// of them. Each object is one Node with the program's by-name face and, on Windows, the
// system's IDispatch face as the browser control serves it in a document mode
// (fake_page_win32.cpp). It counts the references both faces hand out and not had back, and
// can be told to reject any call or property by name.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "automation.h"
#include "page_element.h"

namespace quillo::testing {

class FakePage {
 public:
  class Node;
  // What the page answers: nothing, a number, a text or one of its objects.
  using Answer = std::variant<std::monostate, double, Text, Node*>;

  explicit FakePage(const std::vector<PageElement>& elements = {}, int documentMode = 11);
  ~FakePage();
  FakePage(const FakePage&) = delete;
  FakePage& operator=(const FakePage&) = delete;

  // Appends an element to the body and gives its index; Remove takes it out (its index stays).
  int Add(const PageElement& element);
  void Remove(int index);
  // A new reference to the document, by name.
  AutomationObject Document();

  // Every Get, Put or Call with this name fails from now on.
  void Reject(const std::string& name) { rejected_.insert(name); }
  // Replaces the "length" that collections report (to try NaN, huge or negative lengths).
  void OverrideLength(double length) { lengthOverride_ = length; }
  // Runs before every "item" call (to change the page in the middle of a walk).
  void OnItem(std::function<void(int index)> hook) { onItem_ = std::move(hook); }

  int liveReferences() const { return live_; }  // handed out and not released
  bool overReleased() const { return overReleased_; }
  int calls() const { return calls_; }  // by-name calls that reached the page

  const PageElement& element(int index) const;
  const std::string& value(int index) const;
  int clicks(int index) const;
  // The events raised on the element, in order, each as "type=the value it held then".
  const std::vector<std::string>& events(int index) const;
  // The index of the element an object of either face refers to, or -1.
  int IndexOf(const AutomationObject& object) const;

#ifdef _WIN32
  IUnknown* document();  // the document's IDispatch face, without a reference
  bool releasedWithoutCom() const { return releasedWithoutCom_; }
  // The event members called, in order, as "createEvent(HTMLEvents)",
  // "initEvent(input,true,false)", "dispatchEvent(input)" or "fireEvent(onchange)".
  const std::vector<std::string>& eventCalls() const { return eventCalls_; }
#endif

  // The page's objects, by name, rejections and all; both faces call these.
  std::optional<Answer> Get(Node& node, std::string_view name);
  bool Put(Node& node, std::string_view name, const Value& value);
  std::optional<Answer> Call(Node& node, std::string_view name, std::span<const Value> arguments);
  bool RaiseEvent(Node& node, std::string_view type);
  void Referenced() { ++live_; }
  void Released();

 private:
  bool Rejects(std::string_view name) {
    ++calls_;
    return rejected_.count(std::string(name)) != 0;
  }
  Node* Make(Node node);
  std::vector<Node*> Attached(std::string_view tag) const;

  std::vector<std::unique_ptr<Node>> nodes_;  // everything, freed with the page
  std::vector<Node*> elements_;               // in document order, detached ones too
  Node* document_ = nullptr;
  Node* body_ = nullptr;
  std::set<std::string, std::less<>> rejected_;
  std::optional<double> lengthOverride_;
  std::function<void(int)> onItem_;
  int live_ = 0;
  bool overReleased_ = false;
  int calls_ = 0;
#ifdef _WIN32
  friend class ComFace;
  const int mode_;
  std::vector<std::shared_ptr<IDispatch>> faces_;
  std::vector<std::string> eventCalls_;
  bool releasedWithoutCom_ = false;
#endif
};

class FakePage::Node final : public Dispatch {
 public:
  enum class Kind { kDocument, kElement, kCollection, kEvent };
  Node(FakePage& page, Kind what) : page_(&page), kind(what) {}

  void AddRef() noexcept override {
    ++refs_;
    page_->Referenced();
  }
  void Release() noexcept override {
    if (refs_ == 0) {
      page_->overReleased_ = true;
      return;
    }
    --refs_;
    page_->Released();
  }
  std::optional<Value> Get(std::string_view name) override {
    return ByName(page_->Get(*this, name));
  }
  bool Put(std::string_view name, const Value& newValue) override {
    return page_->Put(*this, name, newValue);
  }
  std::optional<Value> Call(std::string_view name, std::span<const Value> arguments) override {
    return ByName(page_->Call(*this, name, arguments));
  }
  bool RaiseEvent(std::string_view event) override { return page_->RaiseEvent(*this, event); }
  bool Is(std::initializer_list<std::string_view> tags) const;

  FakePage* page_;
  Kind kind;
  PageElement data;  // an element's
  int index = -1;    // an element's place in the page; -1 for the body
  bool attached = true;
  std::string value;
  int clicks = 0;
  std::vector<std::string> events;
  std::string tag;   // a collection's: empty for every element, "\x01" for none
  std::string type;  // an event's, once initialised, and whether it bubbles
  bool bubbles = false, initialised = false;
#ifdef _WIN32
  IDispatch* face = nullptr;  // the page owns it
#endif

 private:
  std::optional<Value> ByName(std::optional<Answer> answer);
  int refs_ = 0;
};

}  // namespace quillo::testing
