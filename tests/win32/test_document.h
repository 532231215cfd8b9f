// An in-memory page over the system's IDispatch, as a browser's document would serve it: a
// document (which answers QueryInterface for the document interface), its body, elements
// with type, name, id, title, value and click, and collections with length, item and tags.
// Property writes must come with the DISPID_PROPERTYPUT named argument. The page counts the
// references it handed out, and notes a last reference that went while COM was not
// initialised on the thread.
#pragma once

#include <windows.h>
#include <mshtml.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "automation.h"
#include "page_element.h"

namespace quillo::testing {

class TestDocument {
 public:
  explicit TestDocument(const std::vector<PageElement>& elements = {});
  ~TestDocument();
  TestDocument(const TestDocument&) = delete;
  TestDocument& operator=(const TestDocument&) = delete;

  // The document object, without a reference (the page keeps it alive).
  IUnknown* document();
  // Every Get, Put or Call with this name fails with DISP_E_EXCEPTION from now on.
  void Reject(const std::string& name) { rejected_.insert(name); }

  // References handed out and not released yet.
  int liveReferences() const { return live_; }
  bool overReleased() const { return overReleased_; }
  // True when the last reference went while COM was not initialised on the thread.
  bool releasedWithoutCom() const { return releasedWithoutCom_; }

  // An element's value as the program's bytes, and how often it was clicked.
  std::string value(int index) const;
  int clicks(int index) const;
  // The index of the element an object refers to, or -1.
  int IndexOf(const AutomationObject& object) const;

 private:
  class Object;
  class Element;
  class Collection;
  class Document;

  void Referenced() { ++live_; }
  void Released();
  Object* Keep(std::unique_ptr<Object> object);
  std::vector<Element*> Elements(const std::string& tag) const;

  std::vector<std::unique_ptr<Object>> objects_;  // everything, freed with the page
  std::vector<Element*> elements_;
  Document* document_ = nullptr;
  Element* body_ = nullptr;
  std::set<std::string> rejected_;
  int live_ = 0;
  bool overReleased_ = false;
  bool releasedWithoutCom_ = false;
};

}  // namespace quillo::testing
