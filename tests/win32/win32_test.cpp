// The operator over the system's window and COM functions (user32, oleacc, oleaut32), with
// test pages over IDispatch in windows of this process.
#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "automation_win32.h"
#include "binding_cases.h"
#include "control_stub.h"
#include "fake_page.h"
#include "gui_runtime.h"
#include "operator_case_runner.h"
#include "scoped_win.h"
#include "web_page_operator.h"
#include "window_api.h"

namespace quillo::testing {
namespace {

using win32::ScopedKernelHandle;
using win32::ScopedVariant;
using win32::ScopedWindow;

// How a browser document window answers the document request: with its page's document,
// or with a plain reply.
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

constexpr wchar_t kServer[] = L"Internet Explorer_Server";
// Window classes match without regard to case, so a class that differs from the browser's
// only in letter case is registered for another module.
HINSTANCE ModuleFor(const std::wstring& className) {
  const bool otherCase = className != kServer && _wcsicmp(className.c_str(), kServer) == 0;
  return GetModuleHandleW(otherCase ? L"kernel32.dll" : nullptr);
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
          window_ = CreateWindowExW(0, kServer, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                    ModuleFor(kServer), nullptr);
          SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&answer_));
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
  ScopedKernelHandle created_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  ScopedKernelHandle finish_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  HWND window_ = nullptr;
  Answer answer_;
  std::thread thread_;
};

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
  switch (V_VT(&variant)) {
    case VT_EMPTY:
      return "empty";
    case VT_NULL:
      return "null";
    case VT_I4:
      return "I4 " + std::to_string(V_I4(&variant));
    case VT_R8:
      return "R8 " + Number(V_R8(&variant));
    case VT_DISPATCH:
      return V_DISPATCH(&variant) == static_cast<void*>(page.document()) ? "the document"
                                                                         : "an object";
    case VT_BSTR: {
      if (V_BSTR(&variant) == nullptr) return "BSTR null";
      std::string out = "BSTR";
      for (UINT i = 0; i < SysStringLen(V_BSTR(&variant)); ++i) {
        char unit[8];
        std::snprintf(unit, sizeof unit, " %04x", static_cast<unsigned>(V_BSTR(&variant)[i]));
        out += unit;
      }
      return out;
    }
    default:
      return "type " + std::to_string(V_VT(&variant));
  }
}

// Windows of this process that answer the document request as told; they live as long as
// this object.
class TestWindows {
 public:
  // A window of the class below parent (none: top-level).
  HWND Make(const std::wstring& className, HWND parent = nullptr, Answer answer = {}) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = AnswerRequest;
    windowClass.hInstance = ModuleFor(className);
    windowClass.lpszClassName = className.c_str();
    RegisterClassW(&windowClass);  // fails harmlessly when it is there already
    HWND window =
        CreateWindowExW(0, className.c_str(), L"", parent != nullptr ? WS_CHILD : WS_OVERLAPPED, 0,
                        0, 10, 10, parent, nullptr, ModuleFor(className), nullptr);
    EXPECT_NE(window, nullptr) << GetLastError();
    answers_.push_back(std::make_unique<Answer>(answer));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(answers_.back().get()));
    if (parent == nullptr) windows_.emplace_back(window);
    return window;
  }
  // A browser box: its window, a view window and the document window serving the page.
  HWND Browser(FakePage& page) {
    HWND outer = Make(L"Shell Embedding");
    Make(kServer, Make(L"Shell DocObject View", outer), {&page});
    return outer;
  }
  // A window that has been destroyed.
  HWND Destroyed() {
    HWND gone = Make(L"Shell Embedding");
    windows_.pop_back();
    return gone;
  }

 private:
  std::vector<std::unique_ptr<Answer>> answers_;
  std::vector<ScopedWindow> windows_;  // top-level ones; children go with them
};

class Win32Test : public ::testing::TestWithParam<OperatorCase> {
 protected:
  TestWindows windows_;
};

// The shared table of Bind over window layouts, in real windows.
class RealWindows : public WindowsUnderTest {
 public:
  std::int32_t Make(const char* className, std::int32_t parent, Reply reply) override {
    if (reply == Reply::kHung) {
      windows_.Make(kServer);  // registers the class for the hung window's thread
      hung_.push_back(std::make_unique<HungWindow>(Answer{&first_}));
      return HandleFromWindow(hung_.back()->get());
    }
    FakePage* page = reply == Reply::kFirstPage    ? &first_
                     : reply == Reply::kSecondPage ? &second_
                                                   : nullptr;
    return HandleFromWindow(
        windows_.Make(std::wstring(className, className + std::strlen(className)),
                      WindowFromHandle(parent), {page, reply == Reply::kNoObject ? 0x7777 : 0}));
  }
  std::int32_t Destroyed() override { return HandleFromWindow(windows_.Destroyed()); }
  std::int32_t BrowserBefore() override { return HandleFromWindow(windows_.Browser(before_)); }
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
  std::vector<std::unique_ptr<HungWindow>> hung_;
  TestWindows windows_;
};

TEST_P(Win32Test, FindsFillsAndClicksTheExpectedElement) {
  for (int mode = 7; mode <= 11; ++mode) {
    SCOPED_TRACE("document mode " + std::to_string(mode));
    FakePage page(GetParam().page, mode);
    HWND browser = windows_.Browser(page);
    {
      WebPageOperator op;
      ASSERT_TRUE(op.Bind(HandleFromWindow(browser)));
      FakePageUnderTest pageUnderTest(page);
      RunOperatorCase(GetParam(), op, pageUnderTest, mode);
      // How the page was told of a fill: the members the mode has, in order.
      const bool filled = GetParam().action == Action::kFillTextBox &&
                          (mode < 10 ? GetParam().belowMode10.value_or(GetParam().expected)
                                     : GetParam().expected) != -1;
      std::vector<std::string> told;
      if (filled && mode >= 9) {
        for (const std::string type : {"input", "change"}) {
          told.insert(told.end(), {"createEvent(HTMLEvents)", "initEvent(" + type + ",true,false)",
                                   "dispatchEvent(" + type + ")"});
        }
      } else if (filled) {
        told = {"fireEvent(onchange)"};
      }
      EXPECT_EQ(page.eventCalls(), told);
      // Only the operator's own document reference is left.
      EXPECT_EQ(page.liveReferences(), 1);
    }
    EXPECT_EQ(page.liveReferences(), 0);
    EXPECT_FALSE(page.overReleased());
    EXPECT_FALSE(page.releasedWithoutCom());
  }
}

INSTANTIATE_TEST_SUITE_P(IDispatchPage, Win32Test, ::testing::ValuesIn(OperatorCases()),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(Win32Test, TheDocumentGoesWhileComIsStillInitialised) {
  // Operators and their copies ended in either order; nothing else initialises COM here.
  for (bool copyEndsFirst : {false, true}) {
    FakePage page;
    HWND browser = windows_.Browser(page);
    {
      auto op = std::make_unique<WebPageOperator>();
      ASSERT_TRUE(op->Bind(HandleFromWindow(browser)));
      auto copy = op->Copy();
      if (copyEndsFirst) copy.reset();
      op.reset();
    }
    EXPECT_EQ(page.liveReferences(), 0) << copyEndsFirst;
    EXPECT_FALSE(page.releasedWithoutCom()) << copyEndsFirst;
  }
  // The window's browser controls are closed and let go before OLE ends.
  // clang-format off
  const WindowSpec window{.name = "W", .caption = "W", .clientWidth = 64, .clientHeight = 64,
                          .controls = {{.name = "box", .kind = ControlKind::BrowserBox,
                                        .width = 32, .height = 32, .shown = true,
                                        .focusable = true, .address = "https://calling.test/"}}};
  // clang-format on
  ControlStubFactory factory;
  {
    win32::ScopedInit<CoInitialize, CoUninitialize> com;  // for the registration only
    ASSERT_EQ(factory.Register(), S_OK);
    LoadWindow(window);
    factory.Revoke();
  }
  Exit(0);
  ASSERT_EQ(factory.made().size(), 1u);
  const ControlStub& control = *factory.made()[0];
  const std::string& names = control.calls();
  EXPECT_NE(names.find("DoVerb"), std::string::npos) << names;
  EXPECT_EQ(control.withoutOle(), "") << names;
  EXPECT_EQ(control.references(), 0u) << names;
  EXPECT_EQ(control.site(), nullptr) << names;
}

TEST_F(Win32Test, VariantsCrossIntoValuesAndBack) {
  FakePage page;
  IUnknown* document = page.document();
  // Numbers of each type, made by the system from a double.
  const struct {
    VARTYPE type;
    double number;
    const char* expected;
  } numbers[] = {
      {VT_I1, -5, "-5"},
      {VT_UI1, 200, "200"},
      {VT_I2, -300, "-300"},
      {VT_UI2, 65535, "65535"},
      {VT_I4, -7e4, "-70000"},
      {VT_UI4, 4e9, "4000000000"},
      {VT_I8, -0x1p40, "-1099511627776"},
      {VT_INT, 7, "7"},
      {VT_UI8, 0x1p53, "9007199254740992"},
      {VT_UINT, 8, "8"},
      {VT_R4, 1.5, "1.5"},
      {VT_R8, 0.1, "0.1"},
      {VT_CY, 1.2345, "1.2345"},
      {VT_DECIMAL, 2.5, "2.5"},
      {VT_BOOL, -1, "1"},
      {VT_BOOL, 0, "0"},
      {VT_DATE, 1, "rejected"},
  };
  for (const auto& c : numbers) {
    ScopedVariant number;
    ScopedVariant variant;
    V_VT(number.get()) = VT_R8;
    V_R8(number.get()) = c.number;
    ASSERT_EQ(VariantChangeType(variant.get(), number.get(), 0, c.type), S_OK) << c.type;
    EXPECT_EQ(Describe(win32::ValueFromVariant(*variant.get()), page), c.expected) << c.type;
  }
  // The rest, each as a VARIANT filled by hand.
  {
    LONG answer = 42;
    win32::ScopedVariantArray others(9);
    document->AddRef();
    document->AddRef();
    V_VT(&others[0]) = VT_EMPTY;
    V_VT(&others[1]) = VT_NULL;
    V_VT(&others[2]) = VT_BSTR;
    V_BSTR(&others[2]) = SysAllocString(L"\u62E8\u53F7");
    V_VT(&others[3]) = VT_BSTR;
    V_BSTR(&others[3]) = nullptr;
    V_VT(&others[4]) = VT_DISPATCH;
    V_DISPATCH(&others[4]) = static_cast<IHTMLDocument*>(document);
    V_VT(&others[5]) = VT_UNKNOWN;
    V_UNKNOWN(&others[5]) = document;
    V_VT(&others[6]) = VT_DISPATCH;
    V_DISPATCH(&others[6]) = nullptr;
    V_VT(&others[7]) = VT_ERROR;
    V_ERROR(&others[7]) = DISP_E_PARAMNOTFOUND;
    V_VT(&others[8]) = VT_BYREF | VT_I4;
    V_I4REF(&others[8]) = &answer;
    const char* expected[] = {"nothing", "nothing",      "text \xB2\xA6\xBA\xC5",
                              "text ",   "the document", "the document",
                              "nothing", "rejected",     "42"};
    for (size_t i = 0; i < others.size(); ++i) {
      EXPECT_EQ(Describe(win32::ValueFromVariant(others[i]), page), expected[i]) << i;
    }
  }

  struct Out {
    Value value;
    const char* expected;
  };
  const Out values[] = {
      {Value(), "empty"},
      {3.0, "I4 3"},
      {-2147483648.0, "I4 -2147483648"},
      {2147483648.0, "R8 2147483648"},
      {2.5, "R8 2.5"},
      {std::nan(""), "R8 nan"},
      {Text("\xB2\xA6\xBA\xC5"), "BSTR 62e8 53f7"},
      {Text(), "BSTR"},
      {AutomationObject(), "null"},
      {win32::WrapUnknown(document), "the document"},
      {page.Document(), "refused"},  // the fake page's own object, of another backend
  };
  for (const Out& c : values) {
    ScopedVariant variant;
    const bool crossed = win32::VariantFromValue(c.value, *variant.get());
    EXPECT_EQ(crossed ? Describe(*variant.get(), page) : "refused", c.expected) << c.expected;
  }
  // Every reference the conversions took has been given back, the table's own two aside.
  EXPECT_EQ(page.liveReferences(), 2);
}

// Counts the blocks of the task allocator still held: BSTRs among them, since OANOCACHE=1
// keeps oleaut32 from caching those freed ("IMallocSpy", Microsoft's COM reference).
class AllocationSpy final : public IMallocSpy {
 public:
  AllocationSpy() { registered_ = CoRegisterMallocSpy(this); }
  ~AllocationSpy() { CoRevokeMallocSpy(); }
  HRESULT registered() const { return registered_; }
  long held() const { return held_; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IMallocSpy ? this : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
  void* STDMETHODCALLTYPE PostAlloc(void* block) override {
    held_ += block != nullptr;
    return block;
  }
  void* STDMETHODCALLTYPE PreFree(void* block, WINBOOL spied) override {
    held_ -= block != nullptr && spied;
    return block;
  }
  void STDMETHODCALLTYPE PostFree(WINBOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T size, void** out, WINBOOL) override {
    *out = block;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* block, WINBOOL) override { return block; }
  void* STDMETHODCALLTYPE PreGetSize(void* block, WINBOOL) override { return block; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, WINBOOL) override { return size; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* block, WINBOOL) override { return block; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, WINBOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  HRESULT registered_;
  long held_ = 0;
};

TEST_F(Win32Test, MembersThePageRejectsOrLacksFailQuietly) {
  FakePage page({{"input", "text", "n", "i", "t"}});
  page.Reject("title");
  const AutomationObject element = win32::WrapUnknown(page.document())
                                       .GetObject("body")
                                       .GetObject("all")
                                       .CallObject("item", 0.0);
  ASSERT_EQ(page.IndexOf(element), 0);
  Dispatch& object = *element.get();
  const Value argument(Text("x"));
  struct Case {
    const char* name;
    std::function<std::optional<Value>()> call;
    const char* expected;
  };
  auto put = [&](const char* name) -> std::optional<Value> {
    return object.Put(name, argument) ? std::optional<Value>(Value()) : std::nullopt;
  };
  const Case cases[] = {
      {"read", [&] { return object.Get("id"); }, "text i"},
      {"read of a member that throws", [&] { return object.Get("title"); }, "rejected"},
      {"read of an unknown name", [&] { return object.Get("colour"); }, "rejected"},
      {"write", [&] { return put("value"); }, "nothing"},
      {"write of a read-only member", [&] { return put("id"); }, "rejected"},
      {"write of a member that throws", [&] { return put("title"); }, "rejected"},
      {"call", [&] { return object.Call("click", {}); }, "nothing"},
      {"call of a property", [&] { return object.Call("id", {}); }, "rejected"},
      {"call of another object's method",
       [&] { return object.Call("item", std::span(&argument, 1)); }, "rejected"},
  };
  for (const Case& c : cases) {
    // What a call hands back, the page's exception texts too, is freed on every path.
    const AllocationSpy spy;
    ASSERT_EQ(spy.registered(), S_OK);
    EXPECT_EQ(Describe(c.call(), page), c.expected) << c.name;
    EXPECT_EQ(spy.held(), 0) << c.name;
  }
  EXPECT_EQ(page.value(0), "x");
  EXPECT_EQ(page.clicks(0), 1);
}

}  // namespace

std::unique_ptr<WindowsUnderTest> MakeWindowsUnderTest() { return std::make_unique<RealWindows>(); }

}  // namespace quillo::testing
