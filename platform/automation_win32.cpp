#include "automation_win32.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

namespace quillo {
namespace win32 {
namespace {

std::optional<Value> DescendantsOf(AutomationObject element);

// The handle side of one wrapped interface. Each of its references is one reference on the
// COM object, so the object sees every copy of a handle come and go. It owns itself while
// any reference is left.
class ComDispatch final : public CountedDispatch {
 public:
  explicit ComDispatch(ComPtr<IDispatch> object) : object_(std::move(object)) {}

  // The last reference takes the wrapper, and with it the COM reference it kept.
  void Referenced() noexcept override { object_->AddRef(); }
  void Unreferenced() noexcept override { object_->Release(); }

  std::optional<Value> Get(std::string_view name) override {
    bool unknown = false;
    std::optional<Value> value = Invoke(name, DISPATCH_PROPERTYGET, {}, &unknown);
    if (!value && unknown && name == "all") return DescendantsOf(AutomationObject::Share(this));
    return value;
  }
  bool Put(std::string_view name, const Value& value) override {
    return Invoke(name, DISPATCH_PROPERTYPUT, std::span<const Value>(&value, 1)).has_value();
  }
  std::optional<Value> Call(std::string_view name, std::span<const Value> arguments) override {
    // With arguments, the name may be a method or a property with parameters, as a
    // collection's item is; without, it is a method.
    const WORD flags = arguments.empty() ? DISPATCH_METHOD : DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    return Invoke(name, flags, arguments);
  }

  // Modes 9 to 11: an event the element's document makes, initialised as bubbling and not
  // cancelable, dispatched on the element. Modes 7 and 8 have no dispatchEvent, no
  // createEvent and no input event (Microsoft's "dispatchEvent method" and "createEvent
  // method" pages; Wine's mshtml/tests/documentmode.js); there a value write raises
  // onpropertychange by itself, and fireEvent raises onchange.
  bool RaiseEvent(std::string_view type) override {
    bool unknown = false;
    if (!Invoke("dispatchEvent", DISPATCH_METHOD, {}, &unknown, /*lookOnly=*/true) && unknown) {
      if (type != "input") return Invoke("fireEvent", DISPATCH_METHOD, Text("on").append(type));
      return false;
    }
    const AutomationObject document = AutomationObject::Share(this).GetObject("ownerDocument");
    const AutomationObject event = document.CallObject("createEvent", "HTMLEvents");
    auto* made = dynamic_cast<ComDispatch*>(event.get());
    if (made == nullptr) return false;
    // initEvent(type, canBubble, cancelable); the arguments travel last first.
    ScopedVariantArray init(3);
    V_VT(&init[2]) = VT_BSTR;
    V_BSTR(&init[2]) = ScopedBstr(TextToUtf16(type)).Detach();
    V_VT(&init[1]) = VT_BOOL;
    V_BOOL(&init[1]) = VARIANT_TRUE;
    V_VT(&init[0]) = VT_BOOL;
    V_BOOL(&init[0]) = VARIANT_FALSE;
    if (V_BSTR(&init[2]) == nullptr || !made->InvokeVariants("initEvent", DISPATCH_METHOD, init)) {
      return false;
    }
    const Value argument = event;
    return Invoke("dispatchEvent", DISPATCH_METHOD, std::span(&argument, 1)).has_value();
  }

  IDispatch* object() const noexcept { return object_.get(); }

 private:
  bool Invoke(std::string_view name, WORD flags, const Text& argument) {
    const Value value = argument;
    return Invoke(name, flags, std::span(&value, 1)).has_value();
  }

  // unknown, when given, tells whether the object lacks the name altogether; with lookOnly,
  // only the name is looked up (an empty answer when it is there).
  std::optional<Value> Invoke(std::string_view name, WORD flags, std::span<const Value> arguments,
                              bool* unknown = nullptr, bool lookOnly = false) {
    // The arguments travel last first.
    ScopedVariantArray variants(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
      if (!VariantFromValue(arguments[i], variants[arguments.size() - 1 - i])) return std::nullopt;
    }
    return InvokeVariants(name, flags, variants, unknown, lookOnly);
  }

  std::optional<Value> InvokeVariants(std::string_view name, WORD flags,
                                      ScopedVariantArray& variants, bool* unknown = nullptr,
                                      bool lookOnly = false) {
    std::u16string nameBuffer = TextToUtf16(name);  // GetIDsOfNames wants a writable one
    LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(nameBuffer.data())};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT lookup = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (unknown != nullptr) *unknown = lookup == DISP_E_UNKNOWNNAME;
    if (FAILED(lookup)) return std::nullopt;
    if (lookOnly) return Value();
    DISPID putId = DISPID_PROPERTYPUT;
    const bool put = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS parameters{variants.data(), put ? &putId : nullptr,
                          static_cast<UINT>(variants.size()), put ? 1u : 0u};
    ScopedVariant result;
    ScopedExcepInfo exception;
    UINT argumentError = 0;
    if (FAILED(object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters,
                               put ? nullptr : result.get(), exception.get(), &argumentError))) {
      return std::nullopt;
    }
    if (put) return Value();
    return ValueFromVariant(*result.get());
  }

  ComPtr<IDispatch> object_;
};

// What element.all is where the engine has it: the element's descendants, with tags(name)
// for those of one tag name. The engine drops element.all in its newest document mode, but
// its elements answer getElementsByTagName in every mode, with the same lists.
class Descendants final : public CountedDispatch {
 public:
  Descendants(AutomationObject element, AutomationObject everything)
      : element_(std::move(element)), everything_(std::move(everything)) {}
  std::optional<Value> Get(std::string_view name) override {
    if (name != "length") return std::nullopt;
    return everything_.get()->Get(name);
  }
  bool Put(std::string_view, const Value&) override { return false; }
  std::optional<Value> Call(std::string_view name, std::span<const Value> arguments) override {
    if (name == "tags") return element_.get()->Call("getElementsByTagName", arguments);
    if (name == "item") return everything_.get()->Call(name, arguments);
    return std::nullopt;
  }

 private:
  AutomationObject element_;     // never empty
  AutomationObject everything_;  // its getElementsByTagName("*"), a live list; never empty
};

// The element's descendants, or nothing when the object has no getElementsByTagName either.
std::optional<Value> DescendantsOf(AutomationObject element) {
  AutomationObject everything = element.CallObject("getElementsByTagName", "*");
  if (everything.IsEmpty()) return std::nullopt;
  return Value(AutomationObject::Adopt(
      CountedDispatch::New<Descendants>(std::move(element), std::move(everything))));
}

// The object's IDispatch in a new wrapper with one reference, or nullptr when it has none.
Dispatch* NewWrapper(IUnknown* object) {
  if (object == nullptr) return nullptr;
  ComPtr<IDispatch> dispatch;
  if (FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.Out()))) ||
      !dispatch) {
    return nullptr;
  }
  return CountedDispatch::New<ComDispatch>(std::move(dispatch));
}

bool IsNumeric(VARTYPE type) {
  switch (type) {
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
    case VT_INT:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL:
      return true;
    default:
      return false;
  }
}

}  // namespace

AutomationObject WrapUnknown(IUnknown* object) {
  return AutomationObject::Adopt(NewWrapper(object));
}

IDispatch* DispatchOf(const AutomationObject& object) {
  const auto* wrapper = dynamic_cast<const ComDispatch*>(object.get());
  return wrapper != nullptr ? wrapper->object() : nullptr;
}

std::optional<Value> ValueFromVariant(const VARIANT& variant) {
  const VARTYPE type = V_VT(&variant);
  // The system's conversions take the source as non-const but leave it unchanged.
  auto* source = const_cast<VARIANT*>(&variant);
  if (type & VT_BYREF) {
    ScopedVariant direct;
    if (FAILED(VariantCopyInd(direct.get(), source))) return std::nullopt;
    return ValueFromVariant(*direct.get());
  }
  if (type == VT_EMPTY || type == VT_NULL) return Value();
  if (type == VT_BOOL) return Value(V_BOOL(&variant) != VARIANT_FALSE ? 1.0 : 0.0);
  if (IsNumeric(type)) {
    ScopedVariant number;
    if (FAILED(VariantChangeType(number.get(), source, 0, VT_R8))) return std::nullopt;
    return Value(V_R8(number.get()));
  }
  if (type == VT_BSTR) {
    const BSTR text = V_BSTR(&variant);
    return Value(TextFromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text))));
  }
  if (type == VT_DISPATCH || type == VT_UNKNOWN) {
    IUnknown* object = type == VT_DISPATCH ? V_DISPATCH(&variant) : V_UNKNOWN(&variant);
    if (object == nullptr) return Value();
    return Value(WrapUnknown(object));
  }
  return std::nullopt;
}

bool VariantFromValue(const Value& value, VARIANT& variant) {
  VariantInit(&variant);
  if (const auto* number = std::get_if<double>(&value)) {
    if (std::trunc(*number) == *number && *number >= INT32_MIN && *number <= INT32_MAX) {
      V_VT(&variant) = VT_I4;
      V_I4(&variant) = static_cast<LONG>(*number);
    } else {
      V_VT(&variant) = VT_R8;
      V_R8(&variant) = *number;
    }
    return true;
  }
  if (const auto* text = std::get_if<Text>(&value)) {
    ScopedBstr bstr(TextToUtf16(*text));
    if (bstr.get() == nullptr) return false;
    V_VT(&variant) = VT_BSTR;
    V_BSTR(&variant) = bstr.Detach();
    return true;
  }
  if (const auto* object = std::get_if<AutomationObject>(&value)) {
    if (object->IsEmpty()) {
      V_VT(&variant) = VT_NULL;
      return true;
    }
    IDispatch* dispatch = DispatchOf(*object);
    if (dispatch == nullptr) return false;
    dispatch->AddRef();
    V_VT(&variant) = VT_DISPATCH;
    V_DISPATCH(&variant) = dispatch;
    return true;
  }
  return true;  // nothing: VT_EMPTY
}

}  // namespace win32

// ObjectFromLresult delivers an interface of the system's: it is wrapped, never cast.
Dispatch* AdoptInterface(void* raw) noexcept {
  const auto delivered = win32::ComPtr<IUnknown>::Adopt(static_cast<IUnknown*>(raw));
  return win32::NewWrapper(delivered.get());
}

}  // namespace quillo
