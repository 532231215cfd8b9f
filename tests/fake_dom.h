// An in-memory page for the automation layer: a document, its body, elements with tag,
// type, name, id, title, value, a click count and the events raised on them, and live
// collections of them. It counts
// the references it has handed out and not had back, so a test can prove that every
// temporary was released, and it can be told to reject any call or property by name.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "automation.h"
#include "page_element.h"

namespace quillo::testing {

class FakeDom {
 public:
  FakeDom();
  explicit FakeDom(const std::vector<PageElement>& elements);
  ~FakeDom();
  FakeDom(const FakeDom&) = delete;
  FakeDom& operator=(const FakeDom&) = delete;

  // Appends an element to the body; returns its index.
  int Add(const PageElement& element);
  // Takes the element out of the body (its index stays valid for the checks below).
  void Remove(int index);

  // A new reference to the document object.
  AutomationObject Document();

  // Every Get, Put or Call with this name fails from now on.
  void Reject(const std::string& name) { rejected_.insert(name); }
  // Replaces the "length" that collections report (to try NaN, huge or negative lengths).
  void OverrideLength(double length) {
    lengthOverride_ = length;
    hasLengthOverride_ = true;
  }
  // Runs before every "item" call (to change the page in the middle of a walk).
  void OnItem(std::function<void(int index)> hook) { onItem_ = std::move(hook); }

  // References handed out and not released yet.
  int liveReferences() const { return live_; }
  // True when some object was released more often than it was referenced.
  bool overReleased() const { return overReleased_; }
  // How many by-name calls reached the page.
  int calls() const { return calls_; }

  const PageElement& element(int index) const;
  const std::string& value(int index) const;
  int clicks(int index) const;
  // The events raised on the element, in order, each as "type=the value it held then".
  const std::vector<std::string>& events(int index) const;
  // The index of the element an object refers to, or -1 when it is none of them.
  int IndexOf(const AutomationObject& object) const;

 private:
  class Object;
  class Element;
  class Collection;
  class DocumentObject;

  bool Rejects(std::string_view name) {
    ++calls_;
    return rejected_.count(std::string(name)) != 0;
  }
  AutomationObject Hand(Object* object);
  std::vector<Element*> Attached(std::string_view tag) const;

  std::vector<std::unique_ptr<Object>> objects_;  // owns everything, freed with the page
  std::vector<Element*> elements_;                // in document order, detached ones too
  DocumentObject* document_ = nullptr;
  Element* body_ = nullptr;
  std::set<std::string, std::less<>> rejected_;
  double lengthOverride_ = 0;
  bool hasLengthOverride_ = false;
  std::function<void(int)> onItem_;
  int live_ = 0;
  bool overReleased_ = false;
  int calls_ = 0;
};

}  // namespace quillo::testing
