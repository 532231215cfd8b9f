// The fake page's IDispatch face as the browser control serves a document in modes 7 to 11 (as
// Wine's mshtml tests record Windows), its VARIANTs read and written here, not by the program.
#include <mshtmdid.h>

#include <algorithm>

#include "automation_win32.h"
#include "fake_page.h"

namespace quillo::testing {
namespace {

// What a member is on: elements with no name, a name only, or a name, a type and a value.
enum On { kDocument = 1, kEvent = 2, kList = 4, kPlain = 8, kNamed = 16, kControl = 32 };
constexpr int kNameds = kNamed | kControl, kElements = kPlain | kNameds;

struct Member {
  const char* name;
  unsigned long id;  // mshtmdid.h's, unsigned; a collection's item is its default member
  int on;
  int firstMode = 7, lastMode = 11;
};

// Elements lose "all" and fireEvent in mode 11; the DOM events come in mode 9.
constexpr Member kMembers[] = {
    {"body", DISPID_IHTMLDOCUMENT2_BODY, kDocument},
    {"createEvent", DISPID_IDOCUMENTEVENT_CREATEEVENT, kDocument, 9},
    {"initEvent", DISPID_IDOMEVENT_INITEVENT, kEvent, 9},
    {"length", DISPID_IHTMLELEMENTCOLLECTION_LENGTH, kList},
    {"item", DISPID_VALUE, kList},
    {"tags", DISPID_IHTMLELEMENTCOLLECTION_TAGS, kList},
    {"id", DISPID_IHTMLELEMENT_ID, kElements},
    {"title", DISPID_IHTMLELEMENT_TITLE, kElements},
    {"click", DISPID_IHTMLELEMENT_CLICK, kElements},
    {"all", DISPID_IHTMLELEMENT_ALL, kElements, 7, 10},
    {"getElementsByTagName", DISPID_IHTMLELEMENT2_GETELEMENTSBYTAGNAME, kElements},
    {"ownerDocument", DISPID_IHTMLDOMNODE2_OWNERDOCUMENT, kElements},
    {"dispatchEvent", DISPID_IEVENTTARGET_DISPATCHEVENT, kElements, 9},
    {"fireEvent", DISPID_IHTMLELEMENT3_FIREEVENT, kElements, 7, 10},
    {"name", DISPID_IHTMLINPUTELEMENT_NAME, kNameds},
    {"type", DISPID_IHTMLINPUTELEMENT_TYPE, kControl},
    {"value", DISPID_IHTMLINPUTELEMENT_VALUE, kControl}};

int OnOf(const FakePage::Node& node) {
  using Kind = FakePage::Node::Kind;
  if (node.kind == Kind::kDocument) return kDocument;
  if (node.kind == Kind::kEvent) return kEvent;
  if (node.kind == Kind::kCollection) return kList;
  return node.Is({"input", "button", "textarea"}) ? kControl
         : node.Is({"select", "a", "form"})       ? kNamed
                                                  : kPlain;
}

std::string Utf8(const OLECHAR* text) { return TextFromUtf16((const char16_t*)text); }

}  // namespace

// One node's face; its references are the node's.
class ComFace final : public IHTMLDocument {
 public:
  ComFace(FakePage& page, FakePage::Node& node) : page_(page), node_(node) {}

  static IDispatch* Of(FakePage& page, FakePage::Node& node) {
    if (node.face == nullptr)
      node.face = page.faces_.emplace_back(std::make_shared<ComFace>(page, node)).get();
    return node.face;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    const bool has = iid == IID_IUnknown || iid == IID_IDispatch ||
                     (iid == IID_IHTMLDocument && node_.kind == FakePage::Node::Kind::kDocument);
    *out = has ? static_cast<IHTMLDocument*>(this) : nullptr;
    if (has) AddRef();
    return has ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return node_.AddRef(), 2; }
  ULONG STDMETHODCALLTYPE Release() override { return node_.Release(), 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Script(IDispatch** script) override {
    *script = nullptr;
    return E_NOTIMPL;
  }
  // Names match regardless of case; no member takes named arguments.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    std::fill(ids, ids + count, DISPID_UNKNOWN);
    const std::string name = count == 1 ? Utf8(names[0]) : "";
    const Member* member =
        Find([&](const Member& m) { return _stricmp(m.name, name.c_str()) == 0; });
    if (member == nullptr) return DISP_E_UNKNOWNNAME;
    ids[0] = static_cast<DISPID>(member->id);
    return S_OK;
  }

  // Writes must name their value DISPID_PROPERTYPUT; a call the page rejects fails with
  // DISP_E_EXCEPTION; item(index) past the end gives VT_NULL, a negative index E_INVALIDARG.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    const Member* member = Find([&](const Member& m) { return static_cast<DISPID>(m.id) == id; });
    if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
    const std::string name = member->name;
    if (name == "ownerDocument" || name.find("Event") != std::string::npos) {
      return InvokeEvent(name, flags, *parameters, result);
    }
    std::vector<Value> arguments;
    for (UINT i = parameters->cArgs; i > 0; --i) {  // they come last first
      const VARIANT& a = parameters->rgvarg[i - 1];
      if (V_VT(&a) != VT_I4 && V_VT(&a) != VT_R8 && V_VT(&a) != VT_BSTR) return DISP_E_TYPEMISMATCH;
      if (V_VT(&a) == VT_BSTR) arguments.emplace_back(Utf8(V_BSTR(&a)));
      if (V_VT(&a) != VT_BSTR) arguments.emplace_back(V_VT(&a) == VT_I4 ? V_I4(&a) : V_R8(&a));
    }
    std::optional<FakePage::Answer> answer;
    if (flags & DISPATCH_PROPERTYPUT) {
      if (arguments.size() != 1 || parameters->cNamedArgs != 1 ||
          parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      if (page_.Put(node_, name, arguments[0])) answer.emplace();
    } else {
      if (name == "item" && arguments.size() == 1 && std::holds_alternative<double>(arguments[0]) &&
          std::get<double>(arguments[0]) < 0) {
        return E_INVALIDARG;
      }
      if ((flags & DISPATCH_PROPERTYGET) && arguments.empty()) answer = page_.Get(node_, name);
      if (!answer && (flags & DISPATCH_METHOD)) answer = page_.Call(node_, name, arguments);
      // Inputs report the types tel, search and email only from mode 10, "text" below it.
      const auto* type = answer && name == "type" ? std::get_if<Text>(&*answer) : nullptr;
      if (type != nullptr && page_.mode_ < 10 &&
          (*type == "tel" || *type == "search" || *type == "email")) {
        answer = Text("text");
      }
    }
    if (!answer) {  // as a page's script exception
      *exception = EXCEPINFO{};
      exception->bstrSource = SysAllocString(L"page");
      exception->bstrDescription = SysAllocString(L"rejected");
      exception->scode = E_FAIL;
      return DISP_E_EXCEPTION;
    }
    if (result == nullptr) return S_OK;
    VariantInit(result);
    if (name == "item" && std::holds_alternative<std::monostate>(*answer)) {
      V_VT(result) = VT_NULL;
    } else if (const auto* number = std::get_if<double>(&*answer)) {
      V_VT(result) = VT_R8;
      V_R8(result) = *number;
    } else if (const auto* text = std::get_if<Text>(&*answer)) {
      const std::u16string wide = TextToUtf16(*text);
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.c_str()),
                                         static_cast<UINT>(wide.size()));
    } else if (auto* node = std::get_if<FakePage::Node*>(&*answer)) {
      Answer(result, Of(page_, **node));
    }
    return S_OK;
  }

 private:
  // An object, or for none the VARIANT_TRUE that fireEvent and dispatchEvent answer.
  static HRESULT Answer(VARIANT* result, IDispatch* object) {
    if (result == nullptr) return S_OK;
    V_VT(result) = object != nullptr ? VT_DISPATCH : VT_BOOL;
    if (object != nullptr) object->AddRef();
    if (object != nullptr) V_DISPATCH(result) = object;
    if (object == nullptr) V_BOOL(result) = VARIANT_TRUE;
    return S_OK;
  }

  // The members that make, initialise (type, bubbles, cancelable) and raise events.
  HRESULT InvokeEvent(const std::string& name, WORD flags, const DISPPARAMS& parameters,
                      VARIANT* result) {
    if (flags & DISPATCH_PROPERTYPUT) return DISP_E_MEMBERNOTFOUND;
    // The arguments come last first; "?" for one missing or of another type.
    const auto argument = [&](UINT i, VARTYPE type) -> const VARIANT* {
      const VARIANT* v =
          i < parameters.cArgs ? &parameters.rgvarg[parameters.cArgs - 1 - i] : nullptr;
      return v != nullptr && V_VT(v) == type ? v : nullptr;
    };
    const auto text = [&](UINT i) {
      const VARIANT* v = argument(i, VT_BSTR);
      return v ? Utf8(V_BSTR(v)) : std::string("?");
    };
    const auto truth = [&](UINT i) -> std::string {
      const VARIANT* v = argument(i, VT_BOOL);
      return !v ? "?" : V_BOOL(v) ? "true" : "false";
    };
    std::vector<std::string>& calls = page_.eventCalls_;
    if (name == "ownerDocument") return Answer(result, Of(page_, *page_.document_));
    if (name == "fireEvent") {
      const std::string type = text(0);
      calls.push_back("fireEvent(" + type + ")");
      const bool raised = type.rfind("on", 0) == 0 && page_.RaiseEvent(node_, type.substr(2));
      return raised ? Answer(result, nullptr) : E_INVALIDARG;
    }
    if (name == "createEvent") {
      calls.push_back("createEvent(" + text(0) + ")");
      if (text(0) != "HTMLEvents" && text(0) != "Event") return E_INVALIDARG;
      return Answer(result,
                    Of(page_, *page_.Make(FakePage::Node(page_, FakePage::Node::Kind::kEvent))));
    }
    if (name == "initEvent") {
      calls.push_back("initEvent(" + text(0) + "," + truth(1) + "," + truth(2) + ")");
      if (parameters.cArgs != 3 || truth(1) == "?") return DISP_E_TYPEMISMATCH;
      node_.type = text(0);
      node_.bubbles = truth(1) == "true";
      node_.initialised = true;
      return S_OK;
    }
    // dispatchEvent: only an event this page made and initialised.
    const VARIANT* sent = argument(0, VT_DISPATCH);
    const auto made = std::find_if(page_.nodes_.begin(), page_.nodes_.end(), [&](auto& n) {
      return n->kind == FakePage::Node::Kind::kEvent && sent != nullptr &&
             n->face == V_DISPATCH(sent);
    });
    const bool known = made != page_.nodes_.end();
    calls.push_back("dispatchEvent(" + (known ? (*made)->type : "?") + ")");
    if (!known || !(*made)->initialised) return E_INVALIDARG;
    // The page listens on its document, which only a bubbling event reaches.
    if ((*made)->bubbles) page_.RaiseEvent(node_, (*made)->type);
    return Answer(result, nullptr);
  }

  // The member that pred picks, of those the object has in the page's mode, or nullptr.
  template <typename Pred>
  const Member* Find(Pred pred) const {
    for (const Member& m : kMembers) {
      const bool has =
          (m.on & OnOf(node_)) && page_.mode_ >= m.firstMode && page_.mode_ <= m.lastMode;
      if (has && pred(m)) return &m;
    }
    return nullptr;
  }

  FakePage& page_;
  FakePage::Node& node_;
};

IUnknown* FakePage::document() { return ComFace::Of(*this, *document_); }

}  // namespace quillo::testing
