#include "test_document.h"

#include <algorithm>
#include <array>
#include <cwctype>
#include <span>
#include <string_view>

#include "dispatch_win.h"
#include "text.h"

namespace quillo::testing {
namespace {

enum class Member { kBody, kAll, kTags, kLength, kItem, kType, kName, kId, kTitle, kValue, kClick };

constexpr std::array<std::pair<std::wstring_view, Member>, 11> kMembers = {{
    {L"body", Member::kBody}, {L"all", Member::kAll}, {L"tags", Member::kTags},
    {L"length", Member::kLength}, {L"item", Member::kItem}, {L"type", Member::kType},
    {L"name", Member::kName}, {L"id", Member::kId}, {L"title", Member::kTitle},
    {L"value", Member::kValue}, {L"click", Member::kClick},
}};

// DISPIDs are the members' places in the table, from 1.
DISPID IdOf(Member member) { return static_cast<DISPID>(member) + 1; }

std::u16string Utf16(const std::string& bytes) { return TextToUtf16(TextFromUtf8(bytes)); }

HRESULT SetText(VARIANT* result, const std::u16string& text) {
  if (result == nullptr) return S_OK;
  V_VT(result) = VT_BSTR;
  V_BSTR(result) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                     static_cast<UINT>(text.size()));
  return S_OK;
}

// The call's arguments in their written order (they arrive last first).
std::vector<VARIANT*> Arguments(const DISPPARAMS& parameters) {
  std::vector<VARIANT*> out;
  for (UINT i = parameters.cArgs; i > 0; --i) out.push_back(&parameters.rgvarg[i - 1]);
  return out;
}

}  // namespace

class TestDocument::Object : public IHTMLDocument {
 public:
  explicit Object(TestDocument& page) : page_(page) {}
  virtual ~Object() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch &&
        !(iid == IID_IHTMLDocument && IsDocument())) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IHTMLDocument*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    page_.Referenced();
    return ++refs_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    if (refs_ == 0) {
      page_.overReleased_ = true;
      return 0;
    }
    --refs_;
    page_.Released();
    return refs_;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    HRESULT result = S_OK;
    for (UINT i = 0; i < count; ++i) {
      const auto found = std::find_if(kMembers.begin(), kMembers.end(),
                                      [&](const auto& m) { return m.first == names[i]; });
      ids[i] = found != kMembers.end() ? IdOf(found->second) : DISPID_UNKNOWN;
      if (found == kMembers.end()) result = DISP_E_UNKNOWNNAME;
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (id < 1 || id > static_cast<DISPID>(kMembers.size()) || parameters == nullptr) {
      return DISP_E_MEMBERNOTFOUND;
    }
    const auto& [name, member] = kMembers[static_cast<size_t>(id - 1)];
    if (page_.rejected_.count(std::string(name.begin(), name.end())) != 0) {
      if (exception != nullptr) {
        *exception = EXCEPINFO{};
        exception->bstrSource = SysAllocString(L"page");
        exception->bstrDescription = SysAllocString(L"rejected");
        exception->scode = E_FAIL;
      }
      return DISP_E_EXCEPTION;
    }
    if (result != nullptr) VariantInit(result);
    if (flags & DISPATCH_PROPERTYPUT) {
      // A write names its value with DISPID_PROPERTYPUT, as the system's callers do.
      if (parameters->cArgs != 1 || parameters->cNamedArgs != 1 ||
          parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      return Put(member, *parameters->rgvarg);
    }
    return Answer(member, flags, Arguments(*parameters), result);
  }
  HRESULT STDMETHODCALLTYPE get_Script(IDispatch** script) override {
    if (script != nullptr) *script = nullptr;
    return E_NOTIMPL;
  }

 protected:
  virtual bool IsDocument() const { return false; }
  // Reads and calls; DISP_E_MEMBERNOTFOUND when the object has no such member.
  virtual HRESULT Answer(Member, WORD, const std::vector<VARIANT*>&, VARIANT*) {
    return DISP_E_MEMBERNOTFOUND;
  }
  virtual HRESULT Put(Member, const VARIANT&) { return DISP_E_MEMBERNOTFOUND; }

  HRESULT SetObject(VARIANT* result, Object* object) {
    if (result == nullptr) return S_OK;
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = object;
    object->AddRef();
    return S_OK;
  }

  TestDocument& page_;

 private:
  ULONG refs_ = 0;
};

class TestDocument::Collection : public TestDocument::Object {
 public:
  // Every element of the page (an empty tag), those of one tag, or none.
  Collection(TestDocument& page, std::string tag, bool empty = false)
      : Object(page), tag_(std::move(tag)), empty_(empty) {}

 protected:
  HRESULT Answer(Member member, WORD flags, const std::vector<VARIANT*>& arguments,
                 VARIANT* result) override;

 private:
  std::string tag_;
  bool empty_;
};

class TestDocument::Element : public TestDocument::Object {
 public:
  Element(TestDocument& page, PageElement data, int index)
      : Object(page), data_(std::move(data)), index_(index) {}

  int index() const { return index_; }
  const PageElement& data() const { return data_; }
  std::u16string value;
  int clicks = 0;

 protected:
  bool Is(std::initializer_list<std::string_view> tags) const {
    return std::find(tags.begin(), tags.end(), data_.tag) != tags.end();
  }
  HRESULT Answer(Member member, WORD flags, const std::vector<VARIANT*>& arguments,
                 VARIANT* result) override {
    if (member == Member::kClick && (flags & DISPATCH_METHOD) && arguments.empty()) {
      ++clicks;
      return S_OK;
    }
    if (!(flags & DISPATCH_PROPERTYGET) || !arguments.empty()) return DISP_E_MEMBERNOTFOUND;
    switch (member) {
      case Member::kType:
        // As browsers report it: inputs default to text, buttons to submit.
        if (data_.tag == "input") return SetText(result, Utf16(data_.type.empty() ? "text" : data_.type));
        if (data_.tag == "button") return SetText(result, Utf16(data_.type.empty() ? "submit" : data_.type));
        if (data_.tag == "textarea") return SetText(result, u"textarea");
        return DISP_E_MEMBERNOTFOUND;
      case Member::kName:
        if (!Is({"input", "button", "textarea", "select", "a", "form"})) return DISP_E_MEMBERNOTFOUND;
        return SetText(result, Utf16(data_.name));
      case Member::kId: return SetText(result, Utf16(data_.id));
      case Member::kTitle: return SetText(result, Utf16(data_.title));
      case Member::kValue:
        if (!Is({"input", "button", "textarea"})) return DISP_E_MEMBERNOTFOUND;
        return SetText(result, value);
      case Member::kAll:
        // Only the body has descendants in this flat page.
        return SetObject(result, page_.Keep(std::make_unique<Collection>(page_, "", this != page_.body_)));
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }
  HRESULT Put(Member member, const VARIANT& newValue) override {
    if (member != Member::kValue || !Is({"input", "button", "textarea"})) return DISP_E_MEMBERNOTFOUND;
    if (V_VT(&newValue) != VT_BSTR) return DISP_E_TYPEMISMATCH;
    value.assign(reinterpret_cast<const char16_t*>(V_BSTR(&newValue)), SysStringLen(V_BSTR(&newValue)));
    return S_OK;
  }

 private:
  PageElement data_;
  int index_;
};

HRESULT TestDocument::Collection::Answer(Member member, WORD flags,
                                       const std::vector<VARIANT*>& arguments, VARIANT* result) {
  const std::vector<Element*> elements =
      empty_ ? std::vector<Element*>() : page_.Elements(tag_);
  if (member == Member::kLength && (flags & DISPATCH_PROPERTYGET) && arguments.empty()) {
    if (result != nullptr) {
      V_VT(result) = VT_I4;
      V_I4(result) = static_cast<LONG>(elements.size());
    }
    return S_OK;
  }
  if (!(flags & DISPATCH_METHOD) || arguments.size() != 1) return DISP_E_MEMBERNOTFOUND;
  if (member == Member::kItem) {
    VARIANT index;
    VariantInit(&index);
    if (V_VT(arguments[0]) == VT_BSTR ||
        FAILED(VariantChangeType(&index, arguments[0], 0, VT_I4))) {
      return DISP_E_TYPEMISMATCH;
    }
    const LONG at = V_I4(&index);
    if (at < 0 || at >= static_cast<LONG>(elements.size())) {
      if (result != nullptr) V_VT(result) = VT_NULL;
      return S_OK;
    }
    return SetObject(result, elements[static_cast<size_t>(at)]);
  }
  if (member == Member::kTags && tag_.empty() && !empty_) {
    if (V_VT(arguments[0]) != VT_BSTR) return DISP_E_TYPEMISMATCH;
    std::string tag = TextFromUtf16(std::u16string_view(
        reinterpret_cast<const char16_t*>(V_BSTR(arguments[0])), SysStringLen(V_BSTR(arguments[0]))));
    std::transform(tag.begin(), tag.end(), tag.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return SetObject(result, page_.Keep(std::make_unique<Collection>(page_, tag)));
  }
  return DISP_E_MEMBERNOTFOUND;
}

class TestDocument::Document : public TestDocument::Object {
 public:
  using Object::Object;

 protected:
  bool IsDocument() const override { return true; }
  HRESULT Answer(Member member, WORD flags, const std::vector<VARIANT*>& arguments,
                 VARIANT* result) override {
    if (member != Member::kBody || !(flags & DISPATCH_PROPERTYGET) || !arguments.empty()) {
      return DISP_E_MEMBERNOTFOUND;
    }
    return SetObject(result, page_.body_);
  }
};

TestDocument::TestDocument(const std::vector<PageElement>& elements) {
  document_ = static_cast<Document*>(Keep(std::make_unique<Document>(*this)));
  body_ = static_cast<Element*>(Keep(std::make_unique<Element>(*this, PageElement{"body", "", "", "", ""}, -1)));
  for (const PageElement& data : elements) {
    const int index = static_cast<int>(elements_.size());
    elements_.push_back(static_cast<Element*>(Keep(std::make_unique<Element>(*this, data, index))));
  }
}

TestDocument::~TestDocument() = default;

IUnknown* TestDocument::document() { return document_; }

void TestDocument::Released() {
  if (--live_ != 0) return;
  APTTYPE type{};
  APTTYPEQUALIFIER qualifier{};
  if (CoGetApartmentType(&type, &qualifier) == CO_E_NOTINITIALIZED) releasedWithoutCom_ = true;
}

TestDocument::Object* TestDocument::Keep(std::unique_ptr<Object> object) {
  return objects_.emplace_back(std::move(object)).get();
}

std::vector<TestDocument::Element*> TestDocument::Elements(const std::string& tag) const {
  std::vector<Element*> out;
  for (Element* element : elements_) {
    if (tag.empty() || element->data().tag == tag) out.push_back(element);
  }
  return out;
}

std::string TestDocument::value(int index) const {
  return TextFromUtf16(elements_.at(static_cast<size_t>(index))->value);
}

int TestDocument::clicks(int index) const { return elements_.at(static_cast<size_t>(index))->clicks; }

int TestDocument::IndexOf(const AutomationObject& object) const {
  const IDispatch* dispatch = win32::DispatchOf(object);
  for (const Element* element : elements_) {
    if (static_cast<const IDispatch*>(element) == dispatch) return element->index();
  }
  return -1;
}

}  // namespace quillo::testing
