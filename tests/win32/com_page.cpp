#include "com_page.h"

#include <algorithm>

#include "dispatch_win.h"

namespace quillo::testing {

class ComPage::Object : public IHTMLDocument {
 public:
  Object(ComPage& page, AutomationObject inner) : page_(page), inner_(std::move(inner)) {}
  virtual ~Object() = default;
  const AutomationObject& inner() const { return inner_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch &&
        !(iid == IID_IHTMLDocument && this == page_.document_)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IHTMLDocument*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    ++page_.live_;
    return ++refs_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    if (refs_ == 0) {
      page_.overReleased_ = true;
      return 0;
    }
    page_.Released();
    return --refs_;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    std::vector<std::string>& known = page_.names_;
    for (UINT i = 0; i < count; ++i) {
      const std::string name = TextFromUtf16(reinterpret_cast<const char16_t*>(names[i]));
      auto found = std::find(known.begin(), known.end(), name);
      if (found == known.end()) found = known.insert(known.end(), name);
      ids[i] = static_cast<DISPID>(found - known.begin()) + 1;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (id < 1 || static_cast<size_t>(id) > page_.names_.size()) return DISP_E_MEMBERNOTFOUND;
    const std::string& name = page_.names_[static_cast<size_t>(id) - 1];
    std::vector<Value> arguments;
    for (UINT i = parameters->cArgs; i > 0; --i) {
      const VARIANT& argument = parameters->rgvarg[i - 1];
      if (V_VT(&argument) == VT_I4)
        arguments.emplace_back(static_cast<double>(V_I4(&argument)));
      else if (V_VT(&argument) == VT_R8)
        arguments.emplace_back(V_R8(&argument));
      else if (V_VT(&argument) == VT_BSTR)
        arguments.emplace_back(TextFromUtf16(reinterpret_cast<const char16_t*>(V_BSTR(&argument))));
      else
        return DISP_E_TYPEMISMATCH;
    }
    std::optional<Value> answer;
    if (flags & DISPATCH_PROPERTYPUT) {
      if (arguments.size() != 1 || parameters->cNamedArgs != 1 ||
          parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      if (inner_.get()->Put(name, arguments[0])) answer = Value();
    } else {
      if ((flags & DISPATCH_PROPERTYGET) && arguments.empty()) answer = inner_.get()->Get(name);
      if (!answer && (flags & DISPATCH_METHOD)) answer = inner_.get()->Call(name, arguments);
    }
    if (!answer) {
      // As a page's script exception.
      *exception = EXCEPINFO{};
      exception->bstrSource = SysAllocString(L"page");
      exception->bstrDescription = SysAllocString(L"rejected");
      exception->scode = E_FAIL;
      return DISP_E_EXCEPTION;
    }
    if (result == nullptr) return S_OK;
    VariantInit(result);
    if (const auto* number = std::get_if<double>(&*answer)) {
      V_VT(result) = VT_R8;
      V_R8(result) = *number;
    } else if (const auto* text = std::get_if<Text>(&*answer)) {
      const std::u16string wide = TextToUtf16(*text);
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.c_str()),
                                         static_cast<UINT>(wide.size()));
    } else if (auto* object = std::get_if<AutomationObject>(&*answer);
               object && !object->IsEmpty()) {
      V_VT(result) = VT_DISPATCH;
      V_DISPATCH(result) = page_.Serve(std::move(*object));
      V_DISPATCH(result)->AddRef();
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Script(IDispatch** script) override {
    *script = nullptr;
    return E_NOTIMPL;
  }

 private:
  ComPage& page_;
  AutomationObject inner_;
  ULONG refs_ = 0;
};

ComPage::ComPage(FakeDom& dom) : dom_(dom), document_(Serve(dom.Document())) {}

ComPage::~ComPage() = default;

IUnknown* ComPage::document() const { return document_; }

ComPage::Object* ComPage::Serve(AutomationObject inner) {
  std::unique_ptr<Object>& served = objects_[inner.get()];
  if (!served) served = std::make_unique<Object>(*this, std::move(inner));
  return served.get();
}

void ComPage::Released() {
  if (--live_ != 0) return;
  APTTYPE type{};
  APTTYPEQUALIFIER qualifier{};
  if (CoGetApartmentType(&type, &qualifier) == CO_E_NOTINITIALIZED) releasedWithoutCom_ = true;
}

int ComPage::IndexOf(const AutomationObject& object) const {
  const void* dispatch = win32::DispatchOf(object);
  for (const auto& [inner, served] : objects_) {
    if (static_cast<const void*>(static_cast<IDispatch*>(served.get())) == dispatch) {
      return dom_.IndexOf(served->inner());
    }
  }
  return -1;
}

}  // namespace quillo::testing
