// The fake page's IDispatch face, as the browser control serves a document in a document mode
// (7 to 11), from Microsoft's documentation and Wine's conformance tests (which record
// Windows' results): GetIDsOfNames matches names regardless of case and gives
// DISP_E_UNKNOWNNAME for a name the object lacks, with the fixed ids of mshtmdid.h, a
// collection's item being its default member (Wine's dlls/mshtml/dispex.c and tests/dom.c).
// item(index) past the end gives S_OK and VT_NULL, a negative index E_INVALIDARG (tests/dom.c).
// Elements have no "all" in mode 11 (MS-DOM2CE 2.1.3.1; Wine's htmlelem.c hides it there), but
// getElementsByTagName in every mode; inputs report the types tel, search and email only from
// mode 10 and "text" below it (tests/documentmode.js). Elements have dispatchEvent and
// documents createEvent from mode 9 (tests/documentmode.js, elem_props and doc_props);
// fireEvent is gone in mode 11 ("Legacy DOM events are no longer supported", Microsoft's IE11
// compatibility notes). initEvent takes the type, whether the event bubbles and whether it can
// be cancelled ("initEvent method", Microsoft's DOM events reference). Writes must name their
// value DISPID_PROPERTYPUT; a call the page rejects fails with DISP_E_EXCEPTION. Arguments and
// results are read and written here, not through the program's own VARIANT conversions.
#include <mshtmdid.h>

#include <algorithm>

#include "automation_win32.h"
#include "fake_page.h"

namespace quillo::testing {
namespace {

struct Member {
  const char* name;
  DISPID id;
  int firstMode = 7;
  int lastMode = 11;
};

// mshtmdid.h's ids are unsigned.
constexpr DISPID Id(unsigned long raw) { return static_cast<DISPID>(raw); }

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

const std::vector<Member>& MembersOf(const FakePage::Node& node) {
  using Kind = FakePage::Node::Kind;
  static const std::vector<Member> document = {
      {"body", Id(DISPID_IHTMLDOCUMENT2_BODY)},
      {"createEvent", Id(DISPID_IDOCUMENTEVENT_CREATEEVENT), 9}};
  static const std::vector<Member> event = {{"initEvent", Id(DISPID_IDOMEVENT_INITEVENT), 9}};
  static const std::vector<Member> collection = {
      {"length", Id(DISPID_IHTMLELEMENTCOLLECTION_LENGTH)},
      {"item", DISPID_VALUE},
      {"tags", Id(DISPID_IHTMLELEMENTCOLLECTION_TAGS)}};
  static const std::vector<Member> element = {
      {"id", Id(DISPID_IHTMLELEMENT_ID)},
      {"title", Id(DISPID_IHTMLELEMENT_TITLE)},
      {"click", Id(DISPID_IHTMLELEMENT_CLICK)},
      {"all", Id(DISPID_IHTMLELEMENT_ALL), 7, 10},
      {"getElementsByTagName", Id(DISPID_IHTMLELEMENT2_GETELEMENTSBYTAGNAME)},
      {"ownerDocument", Id(DISPID_IHTMLDOMNODE2_OWNERDOCUMENT)},
      {"dispatchEvent", Id(DISPID_IEVENTTARGET_DISPATCHEVENT), 9},
      {"fireEvent", Id(DISPID_IHTMLELEMENT3_FIREEVENT), 7, 10}};
  static const std::vector<Member> named = [] {
    std::vector<Member> members = element;
    members.push_back({"name", Id(DISPID_IHTMLINPUTELEMENT_NAME)});
    return members;
  }();
  static const std::vector<Member> control = [] {
    std::vector<Member> members = named;
    members.push_back({"type", Id(DISPID_IHTMLINPUTELEMENT_TYPE)});
    members.push_back({"value", Id(DISPID_IHTMLINPUTELEMENT_VALUE)});
    return members;
  }();
  if (node.kind == Kind::kDocument) return document;
  if (node.kind == Kind::kEvent) return event;
  if (node.kind == Kind::kCollection) return collection;
  if (node.Is({"input", "button", "textarea"})) return control;
  if (node.Is({"select", "a", "form"})) return named;
  return element;
}

}  // namespace

// One node's face; its references are the node's.
class ComFace final : public IHTMLDocument {
 public:
  ComFace(FakePage& page, FakePage::Node& node) : page_(page), node_(node) {}

  static IDispatch* Of(FakePage& page, FakePage::Node& node) {
    if (node.face == nullptr) {
      node.face = page.faces_.emplace_back(std::make_shared<ComFace>(page, node)).get();
    }
    return node.face;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch &&
        !(iid == IID_IHTMLDocument && node_.kind == FakePage::Node::Kind::kDocument)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IHTMLDocument*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    node_.AddRef();
    return 2;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    node_.Release();
    return 1;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Script(IDispatch** script) override {
    *script = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    std::fill(ids, ids + count, DISPID_UNKNOWN);
    // The names after the first would be named arguments, which none of these members takes.
    if (count != 1) return DISP_E_UNKNOWNNAME;
    const std::string name = TextFromUtf16(reinterpret_cast<const char16_t*>(names[0]));
    const Member* member = Find([&](const Member& m) { return SameName(m.name, name); });
    if (member == nullptr) return DISP_E_UNKNOWNNAME;
    ids[0] = member->id;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    const Member* member = Find([&](const Member& m) { return m.id == id; });
    if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
    const std::string name = member->name;
    if (name == "ownerDocument" || name == "createEvent" || name == "initEvent" ||
        name == "dispatchEvent" || name == "fireEvent") {
      return InvokeEvent(name, flags, *parameters, result);
    }
    std::vector<Value> arguments;
    for (UINT i = parameters->cArgs; i > 0; --i) {  // they come last first
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
    if (result != nullptr && object != nullptr) {
      V_VT(result) = VT_DISPATCH;
      V_DISPATCH(result) = object;
      object->AddRef();
    } else if (result != nullptr) {
      V_VT(result) = VT_BOOL;
      V_BOOL(result) = VARIANT_TRUE;
    }
    return S_OK;
  }

  // The members that make, initialise and raise events.
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
      return v ? TextFromUtf16(reinterpret_cast<const char16_t*>(V_BSTR(v))) : std::string("?");
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
    for (const Member& member : MembersOf(node_)) {
      if (page_.mode_ < member.firstMode || page_.mode_ > member.lastMode) continue;
      if (pred(member)) return &member;
    }
    return nullptr;
  }

  FakePage& page_;
  FakePage::Node& node_;
};

IUnknown* FakePage::document() { return ComFace::Of(*this, *document_); }

}  // namespace quillo::testing
