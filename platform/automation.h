// Late-bound automation objects: a handle that holds one reference to an object of the
// page (a document, an element, a collection) or is empty, and that reads, writes and calls
// by name. A backend implements Dispatch: on Windows the system's IDispatch objects
// (automation_win32.h), on Linux the page bridge over the browser engine, in the tests a
// fake page. The handle does the reference counting and the quiet failures.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <variant>

#include "text.h"

namespace quillo {

class Dispatch;

// Takes over the one reference that an interface-returning system call delivered and gives
// the Dispatch that now holds it, or nullptr for none. Each platform defines it: over the
// system's COM objects it wraps the interface; over the window registry of our own the
// pointer already is a Dispatch.
Dispatch* AdoptInterface(void* raw) noexcept;

// Holds one reference to a Dispatch, or none. Copying takes a new reference, destruction
// and Release() give it back. Every by-name call on an empty handle, or one the backend
// rejects, fails quietly: reads give an empty handle, 0 or the empty text, writes return
// false, calls do nothing.
class AutomationObject {
 public:
  AutomationObject() = default;
  // Takes over a reference the caller already holds (no AddRef).
  static AutomationObject Adopt(Dispatch* object) noexcept;
  // Takes a new reference of its own (AddRef).
  static AutomationObject Share(Dispatch* object) noexcept;

  AutomationObject(const AutomationObject& other) noexcept;
  AutomationObject(AutomationObject&& other) noexcept;
  AutomationObject& operator=(const AutomationObject& other) noexcept;
  AutomationObject& operator=(AutomationObject&& other) noexcept;
  ~AutomationObject();

  void Release() noexcept;
  bool IsEmpty() const noexcept { return object_ == nullptr; }
  Dispatch* get() const noexcept { return object_; }

  // The out-parameter of an interface-returning call: converts to void** for the call and,
  // at the end of the full expression, stores what the call delivered. The reference held
  // so far is released first, so whatever the call delivers (a reference or nothing) is all
  // the handle holds afterwards.
  class OutSlot {
   public:
    explicit OutSlot(AutomationObject& target) noexcept : target_(target) { target_.Release(); }
    ~OutSlot() { target_.object_ = AdoptInterface(raw_); }
    OutSlot(const OutSlot&) = delete;
    OutSlot& operator=(const OutSlot&) = delete;
    operator void**() noexcept { return &raw_; }

   private:
    AutomationObject& target_;
    void* raw_ = nullptr;
  };
  OutSlot Receive() noexcept { return OutSlot(*this); }

  AutomationObject GetObject(std::string_view name) const;
  Text GetText(std::string_view name) const;
  double GetNumber(std::string_view name) const;

  bool PutText(std::string_view name, std::string_view value) const;

  void Call(std::string_view name) const;
  // Tells the page that this element's content was edited, as the browser tells it when a
  // person types: the DOM event of that type ("input", "change"), bubbling, raised on the
  // element. True when the page was told.
  bool RaiseEvent(std::string_view type) const;
  AutomationObject CallObject(std::string_view name, std::string_view argument) const;
  AutomationObject CallObject(std::string_view name, double argument) const;

 private:
  explicit AutomationObject(Dispatch* object) noexcept : object_(object) {}
  Dispatch* object_ = nullptr;
};

// What crosses a by-name call: nothing, a number, a text (the program's bytes) or an object.
using Value = std::variant<std::monostate, double, Text, AutomationObject>;

// One late-bound object, reference counted the COM way: a new object starts with one
// reference that its creator hands out, and it frees itself when the last one is released.
// Get, Put and Call answer std::nullopt / false when the object rejects the call.
class Dispatch {
 public:
  virtual void AddRef() noexcept = 0;
  virtual void Release() noexcept = 0;
  virtual std::optional<Value> Get(std::string_view name) = 0;
  virtual bool Put(std::string_view name, const Value& value) = 0;
  virtual std::optional<Value> Call(std::string_view name, std::span<const Value> arguments) = 0;
  // Raises the bubbling, not cancelable DOM event of this type on the object, by whatever
  // means its engine has for it. An object that is no element, or an engine that lacks the
  // event, answers false.
  virtual bool RaiseEvent(std::string_view) { return false; }

 protected:
  virtual ~Dispatch() = default;
};

// The one way a backend's Dispatch is counted and goes: New makes it with the one reference
// its creator hands out, and it frees itself when the last one is released. A backend that
// mirrors its count (a wrapper whose every reference is one on the object it wraps) hears of
// each new reference and of each release but the last.
class CountedDispatch : public Dispatch {
 public:
  template <typename T, typename... Args>
  static T* New(Args&&... args) {
    auto owner = std::make_unique<T>(std::forward<Args>(args)...);
    T* made = owner.get();
    made->self_ = std::move(owner);
    return made;
  }

  void AddRef() noexcept final {
    ++refs_;
    Referenced();
  }
  void Release() noexcept final {
    if (--refs_ > 0) {
      Unreferenced();
      return;
    }
    const std::unique_ptr<CountedDispatch> last = std::move(self_);  // this goes here
  }
  ~CountedDispatch() override = default;

 protected:
  virtual void Referenced() noexcept {}
  virtual void Unreferenced() noexcept {}

 private:
  std::unique_ptr<CountedDispatch> self_;
  int refs_ = 1;
};

}  // namespace quillo
