// The operator over user32, oleacc and oleaut32, with IDispatch test pages in this process.
#include <gtest/gtest.h>
#include <mshtmdid.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "automation_win32.h"
#include "binding_cases.h"
#include "fake_page.h"
#include "operator_case_runner.h"
#include "scoped_win.h"

namespace quillo::testing {
namespace {

constexpr wchar_t kServer[] = L"Internet Explorer_Server";

// How a browser document window answers the document request: its page's document, or a reply.
struct Answer {
  FakePage* page = nullptr;
  LRESULT reply = 0;
};

LRESULT CALLBACK AnswerRequest(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT request = RegisterWindowMessageA("WM_HTML_GETOBJECT");
  const auto* answer = reinterpret_cast<const Answer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message != request || answer == nullptr)
    return DefWindowProcW(window, message, wParam, lParam);
  if (answer->page == nullptr) return answer->reply;
  return LresultFromObject(IID_IUnknown, wParam, answer->page->document());
}

// A window of the class under parent (or top-level); the browser's, in other case, kernel32's.
HWND MakeWindow(const std::wstring& className, HWND parent, const Answer* answer) {
  const bool otherCase = className != kServer && _wcsicmp(className.c_str(), kServer) == 0;
  HINSTANCE module = GetModuleHandleW(otherCase ? L"kernel32.dll" : nullptr);
  WNDCLASSW windowClass{0, AnswerRequest, 0, 0, module, {}, {}, {}, {}, className.c_str()};
  RegisterClassW(&windowClass);  // fails harmlessly when it is there already
  HWND window =
      CreateWindowExW(0, className.c_str(), L"", parent != nullptr ? WS_CHILD : WS_OVERLAPPED, 0, 0,
                      10, 10, parent, nullptr, module, nullptr);
  EXPECT_NE(window, nullptr) << GetLastError();
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(answer));
  return window;
}

bool Is(const AutomationObject& object, FakePage* page) {
  const void* dispatch = win32::DispatchOf(object);
  return dispatch == (page != nullptr ? static_cast<const void*>(page->document()) : nullptr);
}

// A document window on a thread of its own that, once it is made, never handles a message.
class HungWindow {
 public:
  explicit HungWindow(Answer answer)
      : answer_(answer), thread_([this] {
          window_ = MakeWindow(kServer, nullptr, &answer_);
          SetEvent(created_.get());
          WaitForSingleObject(finish_.get(), INFINITE);
          DestroyWindow(window_);
        }) {
    WaitForSingleObject(created_.get(), INFINITE);
  }
  ~HungWindow() {
    SetEvent(finish_.get());
    thread_.join();
  }
  HWND get() const { return window_; }

 private:
  win32::ScopedKernelHandle created_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  win32::ScopedKernelHandle finish_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  HWND window_ = nullptr;
  Answer answer_;
  std::thread thread_;
};

// Windows of this process answering as told, for the shared Bind table and the tests here.
class RealWindows : public WindowsUnderTest {
 public:
  HWND Make(const std::wstring& className, HWND parent = nullptr, Answer answer = {}) {
    HWND window = MakeWindow(className, parent,
                             answers_.emplace_back(std::make_unique<Answer>(answer)).get());
    if (parent == nullptr) windows_.emplace_back(window);  // children go with it
    return window;
  }
  // A browser box: its window, a view window and the document window serving the page.
  HWND Browser(FakePage& page) {
    HWND outer = Make(L"Shell Embedding");
    Make(kServer, Make(L"Shell DocObject View", outer), {&page});
    return outer;
  }

  std::int32_t Make(const char* className, std::int32_t parent, Reply reply) override {
    if (reply == Reply::kHung) {
      return HandleFromWindow(
          hung_.emplace_back(std::make_unique<HungWindow>(Answer{&first_}))->get());
    }
    FakePage* page = reply == Reply::kFirstPage    ? &first_
                     : reply == Reply::kSecondPage ? &second_
                                                   : nullptr;
    return HandleFromWindow(Make(std::wstring(className, className + std::strlen(className)),
                                 WindowFromHandle(parent),
                                 {page, reply == Reply::kNoObject ? 0x7777 : 0}));
  }
  std::int32_t Destroyed() override {
    HWND gone = Make(L"Shell Embedding");
    windows_.pop_back();
    return HandleFromWindow(gone);
  }
  std::int32_t BrowserBefore() override { return HandleFromWindow(Browser(before_)); }
  bool Holds(const AutomationObject& document, Held page) override {
    return Is(document, page == Held::kFirstPage    ? &first_
                        : page == Held::kSecondPage ? &second_
                        : page == Held::kPageBefore ? &before_
                                                    : nullptr);
  }
  int LiveReferences() override {
    return first_.liveReferences() + second_.liveReferences() + before_.liveReferences();
  }

 private:
  FakePage first_, second_, before_;
  std::vector<std::unique_ptr<Answer>> answers_;
  std::vector<win32::ScopedWindow> windows_;  // top-level ones
  std::vector<std::unique_ptr<HungWindow>> hung_;
};

class Win32Test : public ::testing::TestWithParam<OperatorCase> {
 protected:
  RealWindows windows_;
};

// The shared operator rows over IDispatch in every document mode, and the events a fill raised.
TEST_P(Win32Test, FindsFillsAndClicksTheExpectedElement) {
  for (int mode = 7; mode <= 11; ++mode) {
    SCOPED_TRACE("document mode " + std::to_string(mode));
    FakePage page(GetParam().page, mode);
    {
      WebPageOperator op;
      ASSERT_TRUE(op.Bind(HandleFromWindow(windows_.Browser(page))));
      RunOperatorCase(GetParam(), op, page, mode);
      const bool filled = GetParam().action == Action::kFillTextBox &&
                          (mode < 10 ? GetParam().belowMode10.value_or(GetParam().expected)
                                     : GetParam().expected) != -1;
      const std::vector<std::string> told[] = {
          {},
          {"fireEvent(onchange)"},
          {"createEvent(HTMLEvents)", "initEvent(input,true,false)", "dispatchEvent(input)",
           "createEvent(HTMLEvents)", "initEvent(change,true,false)", "dispatchEvent(change)"}};
      EXPECT_EQ(page.eventCalls(), told[filled ? 1 + (mode >= 9) : 0]);
      EXPECT_EQ(page.liveReferences(), 1);  // only the operator's own document reference
    }
    EXPECT_EQ(page.liveReferences(), 0);
    EXPECT_FALSE(page.overReleased());
    EXPECT_FALSE(page.releasedWithoutCom());
  }
}

INSTANTIATE_TEST_SUITE_P(IDispatchPage, Win32Test, ::testing::ValuesIn(OperatorCases()),
                         [](const auto& param) { return std::string(param.param.name); });

// Operators and their copies ended in either order; nothing else initialises COM here.
TEST_F(Win32Test, TheDocumentGoesWhileComIsStillInitialised) {
  for (bool copyEndsFirst : {false, true}) {
    FakePage page;
    auto op = std::make_unique<WebPageOperator>();
    ASSERT_TRUE(op->Bind(HandleFromWindow(windows_.Browser(page))));
    auto copy = op->Copy();
    if (copyEndsFirst) copy.reset();
    op.reset();
    copy.reset();
    EXPECT_EQ(page.liveReferences(), 0) << copyEndsFirst;
    EXPECT_FALSE(page.releasedWithoutCom()) << copyEndsFirst;
  }
}

std::string Number(double number) {
  char buffer[32];
  return std::string(
      buffer, std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed).ptr);
}

// What a by-name call gave, as text a table can hold.
std::string Describe(const std::optional<Value>& value, FakePage& page) {
  if (!value) return "rejected";
  if (const auto* number = std::get_if<double>(&*value)) return Number(*number);
  if (const auto* text = std::get_if<Text>(&*value)) return "text " + *text;
  if (const auto* object = std::get_if<AutomationObject>(&*value)) {
    return Is(*object, &page) ? "the document" : object->IsEmpty() ? "no object" : "an object";
  }
  return "nothing";
}

// A VARIANT as text a table can hold; BSTRs as their UTF-16 units.
std::string Describe(const VARIANT& variant, FakePage& page) {
  const VARTYPE type = V_VT(&variant);
  if (type == VT_EMPTY || type == VT_NULL) return type == VT_EMPTY ? "empty" : "null";
  if (type == VT_I4) return "I4 " + std::to_string(V_I4(&variant));
  if (type == VT_R8) return "R8 " + Number(V_R8(&variant));
  if (type == VT_DISPATCH)
    return V_DISPATCH(&variant) == (void*)page.document() ? "the document" : "an object";
  if (type != VT_BSTR) return "type " + std::to_string(type);
  if (V_BSTR(&variant) == nullptr) return "BSTR null";
  std::string out = "BSTR";
  for (UINT i = 0; i < SysStringLen(V_BSTR(&variant)); ++i) {
    char unit[8];
    std::snprintf(unit, sizeof unit, " %04x", static_cast<unsigned>(V_BSTR(&variant)[i]));
    out += unit;
  }
  return out;
}

// A VARIANT of the type, filled by hand with a pointer (or for VT_ERROR, the code).
VARIANT Holding(VARTYPE type, void* pointer, SCODE error = S_OK) {
  VARIANT variant{};
  V_VT(&variant) = type;
  V_BYREF(&variant) = pointer;
  if (type == VT_ERROR) V_ERROR(&variant) = error;
  return variant;
}

// A VARIANT of the type, made by the system from a double.
VARIANT Made(VARTYPE type, double number) {
  VARIANT from = Holding(VT_R8, nullptr), made{};
  V_R8(&from) = number;
  EXPECT_EQ(VariantChangeType(&made, &from, 0, type), S_OK) << type;
  return made;
}

TEST_F(Win32Test, VariantsCrossIntoValuesAndBack) {
  FakePage page;
  IUnknown* document = page.document();
  document->AddRef();  // for the two rows that hold it, which are cleared
  document->AddRef();
  LONG answer = 42;
  // clang-format off
  std::pair<VARIANT, const char*> in[] = {
      {Made(VT_I1, -5), "-5"},                    {Made(VT_UI1, 200), "200"},
      {Made(VT_I2, -300), "-300"},                {Made(VT_UI2, 65535), "65535"},
      {Made(VT_I4, -7e4), "-70000"},              {Made(VT_UI4, 4e9), "4000000000"},
      {Made(VT_INT, 7), "7"},                     {Made(VT_I8, -0x1p40), "-1099511627776"},
      {Made(VT_UINT, 8), "8"},                    {Made(VT_UI8, 0x1p53), "9007199254740992"},
      {Made(VT_R4, 1.5), "1.5"},                  {Made(VT_R8, 0.1), "0.1"},
      {Made(VT_CY, 1.2345), "1.2345"},            {Made(VT_DECIMAL, 2.5), "2.5"},
      {Made(VT_BOOL, -1), "1"},                   {Made(VT_BOOL, 0), "0"},
      {Made(VT_DATE, 1), "rejected"},             {Holding(VT_EMPTY, nullptr), "nothing"},
      {Holding(VT_NULL, nullptr), "nothing"},     {Holding(VT_BSTR, nullptr), "text "},
      {Holding(VT_DISPATCH, nullptr), "nothing"}, {Holding(VT_DISPATCH, document), "the document"},
      {Holding(VT_UNKNOWN, document), "the document"},
      {Holding(VT_BSTR, SysAllocString(L"\u62E8\u53F7")), "text \xB2\xA6\xBA\xC5"},
      {Holding(VT_ERROR, nullptr, DISP_E_PARAMNOTFOUND), "rejected"},
      {Holding(VT_BYREF | VT_I4, &answer), "42"}};
  // clang-format on
  for (auto& [variant, expected] : in) {
    EXPECT_EQ(Describe(win32::ValueFromVariant(variant), page), expected) << V_VT(&variant);
    VariantClear(&variant);
  }
  // clang-format off
  const std::pair<Value, const char*> out[] = {
      {Value(), "empty"},                         {3.0, "I4 3"},
      {-2147483648.0, "I4 -2147483648"},          {2147483648.0, "R8 2147483648"},
      {2.5, "R8 2.5"},                            {std::nan(""), "R8 nan"},
      {Text("\xB2\xA6\xBA\xC5"), "BSTR 62e8 53f7"}, {Text(), "BSTR"},
      {AutomationObject(), "null"},               {win32::WrapUnknown(document), "the document"},
      {page.Document(), "refused"}};  // the fake page's own object, of another backend
  // clang-format on
  for (const auto& [value, expected] : out) {
    win32::ScopedVariant variant;
    const bool crossed = win32::VariantFromValue(value, *variant.get());
    EXPECT_EQ(crossed ? Describe(*variant.get(), page) : "refused", expected) << expected;
  }
  // Every reference the conversions took has been given back, the table's own two aside.
  EXPECT_EQ(page.liveReferences(), 2);
}

// Counts the task allocator's blocks still held, BSTRs among them as OANOCACHE=1 stops caching.
class AllocationSpy final : public IMallocSpy {
 public:
  AllocationSpy() { EXPECT_EQ(CoRegisterMallocSpy(this), S_OK); }
  ~AllocationSpy() { CoRevokeMallocSpy(); }
  long held() const { return held_; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IMallocSpy ? this : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
  void* STDMETHODCALLTYPE PostAlloc(void* block) override { return Count(block, block != nullptr); }
  void* STDMETHODCALLTYPE PreFree(void* block, WINBOOL spied) override {
    return Count(block, -(block != nullptr && spied));
  }
  void STDMETHODCALLTYPE PostFree(WINBOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T size, void** out, WINBOOL) override {
    return *out = block, size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* block, WINBOOL) override { return block; }
  void* STDMETHODCALLTYPE PreGetSize(void* block, WINBOOL) override { return block; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, WINBOOL) override { return size; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* block, WINBOOL) override { return block; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, WINBOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  void* Count(void* block, long by) { return held_ += by, block; }
  long held_ = 0;
};

// What a call hands back, the page's exception texts too, is freed on every path.
TEST_F(Win32Test, MembersThePageRejectsOrLacksFailQuietly) {
  FakePage page({{"input", "text", "n", "i", "t"}});
  page.Reject("title");
  const AutomationObject body = win32::WrapUnknown(page.document()).GetObject("body");
  const AutomationObject element = body.GetObject("all").CallObject("item", 0.0);
  ASSERT_EQ(page.IndexOf(element), 0);
  Dispatch& object = *element.get();
  const Value x(Text("x"));
  // How ("read", "write" x, "call" or "call(x)"), the member, what came back.
  const std::tuple<std::string, const char*, const char*> cases[] = {
      {"read", "id", "text i"},        {"read", "title", "rejected"},  // title throws
      {"read", "colour", "rejected"},  {"write", "value", "nothing"}, {"write", "id", "rejected"},
      {"write", "title", "rejected"},  {"call", "click", "nothing"},  {"call", "id", "rejected"},
      {"call(x)", "item", "rejected"},  // another object's method
  };
  for (const auto& [how, member, expected] : cases) {
    const AllocationSpy spy;
    std::optional<Value> got;
    if (how == "read") got = object.Get(member);
    if (how == "write" && object.Put(member, x)) got = Value();
    if (how.starts_with("call")) got = object.Call(member, std::span(&x, how == "call(x)"));
    EXPECT_EQ(Describe(got, page), expected) << how << " " << member;
    EXPECT_EQ(spy.held(), 0) << how << " " << member;
  }
  EXPECT_EQ(page.value(0), "x");
  EXPECT_EQ(page.clicks(0), 1);
}

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
  if (node.kind == FakePage::Kind::kDocument) return kDocument;
  if (node.kind == FakePage::Kind::kEvent) return kEvent;
  if (node.kind == FakePage::Kind::kCollection) return kList;
  return node.Is({"input", "button", "textarea"}) ? kControl
         : node.Is({"select", "a", "form"})       ? kNamed
                                                  : kPlain;
}

std::string Utf8(const OLECHAR* text) { return TextFromUtf16((const char16_t*)text); }

}  // namespace

// The fake page's nodes as the browser control serves them in modes 7 to 11 (as Wine's mshtml
// tests record Windows), their references the node's, their VARIANTs not the program's.
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
                     (iid == IID_IHTMLDocument && node_.kind == FakePage::Kind::kDocument);
    *out = has ? static_cast<IHTMLDocument*>(this) : nullptr;
    if (has) AddRef();
    return has ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return node_.AddRef(), 2; }
  ULONG STDMETHODCALLTYPE Release() override { return node_.Release(), 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return *count = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Script(IDispatch** s) override { return *s = nullptr, E_NOTIMPL; }
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
    if (name == "ownerDocument" || name.find("Event") != std::string::npos)
      return InvokeEvent(name, flags, *parameters, result);
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
      const double* index = arguments.size() == 1 ? std::get_if<double>(&arguments[0]) : nullptr;
      if (name == "item" && index != nullptr && *index < 0) return E_INVALIDARG;
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
    const auto put = [&](VARTYPE type) { return V_VT(result) = type, result; };
    if (name == "item" && std::holds_alternative<std::monostate>(*answer)) put(VT_NULL);
    if (const auto* number = std::get_if<double>(&*answer)) V_R8(put(VT_R8)) = *number;
    if (const auto* text = std::get_if<Text>(&*answer)) {
      const std::u16string wide = TextToUtf16(*text);
      V_BSTR(put(VT_BSTR)) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.c_str()),
                                               static_cast<UINT>(wide.size()));
    }
    if (auto* node = std::get_if<FakePage::Node*>(&*answer)) Answer(result, Of(page_, **node));
    return S_OK;
  }

 private:
  // An object, or for none the VARIANT_TRUE that fireEvent and dispatchEvent answer.
  static HRESULT Answer(VARIANT* result, IDispatch* object) {
    if (result == nullptr) return S_OK;
    V_VT(result) = object != nullptr ? VT_DISPATCH : VT_BOOL;
    if (object != nullptr) (V_DISPATCH(result) = object)->AddRef();
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
      return Answer(result, Of(page_, *page_.Make(FakePage::Node(page_, FakePage::Kind::kEvent))));
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
      return n->kind == FakePage::Kind::kEvent && sent != nullptr && n->face == V_DISPATCH(sent);
    });
    const bool known = made != page_.nodes_.end();
    calls.push_back("dispatchEvent(" + (known ? (*made)->type : "?") + ")");
    if (!known || !(*made)->initialised) return E_INVALIDARG;
    // The page listens on its document, which only a bubbling event reaches.
    if ((*made)->bubbles) page_.RaiseEvent(node_, (*made)->type);
    return Answer(result, nullptr);
  }

  // Of the members the object has in the page's mode.
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

std::unique_ptr<WindowsUnderTest> MakeWindowsUnderTest() { return std::make_unique<RealWindows>(); }

}  // namespace quillo::testing
