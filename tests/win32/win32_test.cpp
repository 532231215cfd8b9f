// The operator over the system's window and COM functions (user32, oleacc, oleaut32), with
// test pages over IDispatch in windows of this process.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dispatch_win.h"
#include "operator_case_runner.h"
#include "scoped_win.h"
#include "test_document.h"
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
  TestDocument* page = nullptr;
  LRESULT reply = 0;
};

LRESULT CALLBACK AnswerRequest(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static const UINT request = RegisterWindowMessageA("WM_HTML_GETOBJECT");
  const auto* answer = reinterpret_cast<const Answer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message != request || answer == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (answer->page == nullptr) return answer->reply;
  return LresultFromObject(IID_IUnknown, wParam, answer->page->document());
}

constexpr wchar_t kServer[] = L"Internet Explorer_Server";
// Differs from the browser's class name only in letter case. Window classes match without
// regard to case, so this one is registered for another module.
constexpr wchar_t kLowerCaseServer[] = L"internet explorer_server";
HINSTANCE ModuleFor(const wchar_t* className) {
  return GetModuleHandleW(className == kLowerCaseServer ? L"kernel32.dll" : nullptr);
}

bool Is(const AutomationObject& object, TestDocument* page) {
  const void* dispatch = win32::DispatchOf(object);
  return dispatch == (page != nullptr ? static_cast<const void*>(page->document()) : nullptr);
}

class PageOfDocument : public PageUnderTest {
 public:
  explicit PageOfDocument(TestDocument& page) : page_(page) {}
  int IndexOf(const AutomationObject& element) override { return page_.IndexOf(element); }
  std::string ValueOf(int index) override { return page_.value(index); }
  int ClicksOf(int index) override { return page_.clicks(index); }

 private:
  TestDocument& page_;
};

// A document window on a thread of its own that, once it is made, never handles a message.
class HungWindow {
 public:
  explicit HungWindow(Answer answer) : answer_(answer), thread_([this] {
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

class Win32Test : public ::testing::TestWithParam<OperatorCase> {
 protected:
  static void SetUpTestSuite() {
    for (const wchar_t* name :
         {kServer, kLowerCaseServer, L"Shell Embedding", L"Shell DocObject View"}) {
      WNDCLASSW windowClass{};
      windowClass.lpfnWndProc = AnswerRequest;
      windowClass.hInstance = ModuleFor(name);
      windowClass.lpszClassName = name;
      RegisterClassW(&windowClass);
    }
  }

  // A window of the class below parent (none: top-level) that answers as told; it lives as
  // long as the test.
  HWND Make(const wchar_t* className, HWND parent = nullptr, Answer answer = {}) {
    HWND window = CreateWindowExW(0, className, L"", parent != nullptr ? WS_CHILD : WS_OVERLAPPED,
                                  0, 0, 10, 10, parent, nullptr, ModuleFor(className), nullptr);
    EXPECT_NE(window, nullptr) << GetLastError();
    if (answer.page != nullptr || answer.reply != 0) {
      answers_.push_back(std::make_unique<Answer>(answer));
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(answers_.back().get()));
    }
    if (parent == nullptr) windows_.emplace_back(window);
    return window;
  }

  // A browser box: its window, a view window and the document window serving the page.
  HWND MakeBrowser(TestDocument& page) {
    HWND outer = Make(L"Shell Embedding");
    Make(kServer, Make(L"Shell DocObject View", outer), {&page});
    return outer;
  }

  static std::int32_t Handle(HWND window) { return HandleFromWindow(window); }

  std::vector<std::unique_ptr<Answer>> answers_;
  std::vector<ScopedWindow> windows_;  // top-level ones; children go with them
};

TEST_F(Win32Test, BindSearchesTheRealWindowsAndAsksTheBrowsersDocumentWindow) {
  TestDocument first;
  TestDocument second;
  // outer > view > (a server in another case, the server), then outer > a later server.
  HWND outer = Make(L"Shell Embedding");
  HWND view = Make(L"Shell DocObject View", outer);
  HWND lowerCase = Make(kLowerCaseServer, view, {&second});
  HWND server = Make(kServer, view, {&first});
  HWND later = Make(kServer, outer, {&second});
  HWND onlyLowerCase = Make(L"Shell Embedding");
  Make(kLowerCaseServer, onlyLowerCase, {&first});
  HWND empty = Make(L"Shell Embedding");
  Make(L"Shell DocObject View", empty);
  HWND garbage = Make(kServer, nullptr, {nullptr, 0x7777});
  HWND silent = Make(kServer);
  HWND dead = Make(L"Shell Embedding");
  windows_.pop_back();
  HungWindow hung(Answer{&first});

  struct Case {
    const char* name;
    HWND window;
    TestDocument* document;  // the document bound, or none
    bool live;               // the handle names a window, which becomes the bound one
  };
  const Case cases[] = {
      {"outer window: pre-order, the first server", outer, &first, true},
      {"view window", view, &first, true},
      {"the server itself", server, &first, true},
      {"a later sibling server", later, &second, true},
      {"class name in another case", lowerCase, nullptr, true},
      {"only a server in another case below", onlyLowerCase, nullptr, true},
      {"no server below", empty, nullptr, true},
      {"a reply that is no object", garbage, nullptr, true},
      {"a zero reply", silent, nullptr, true},
      {"a server whose thread never answers", hung.get(), nullptr, true},
      {"a dead handle", dead, nullptr, false},
      {"no handle", nullptr, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WebPageOperator op;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(op.Bind(Handle(c.window)), c.document != nullptr);
    // The request's wait is bounded (with a margin for a loaded machine).
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(op.boundWindow(), c.live ? Handle(c.window) : 0);
    EXPECT_TRUE(Is(op.GetDocument(), c.document));
  }
  EXPECT_EQ(first.liveReferences() + second.liveReferences(), 0);
}

TEST_P(Win32Test, FindsFillsAndClicksTheExpectedElement) {
  TestDocument page(GetParam().page);
  HWND browser = MakeBrowser(page);
  {
    WebPageOperator op;
    ASSERT_TRUE(op.Bind(Handle(browser)));
    PageOfDocument pageUnderTest(page);
    RunOperatorCase(GetParam(), op, pageUnderTest);
    // Only the operator's own document reference is left.
    EXPECT_EQ(page.liveReferences(), 1);
  }
  EXPECT_EQ(page.liveReferences(), 0);
  EXPECT_FALSE(page.overReleased());
  EXPECT_FALSE(page.releasedWithoutCom());
}

INSTANTIATE_TEST_SUITE_P(IDispatchPage, Win32Test, ::testing::ValuesIn(OperatorCases()),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(Win32Test, TheDocumentGoesWhileComIsStillInitialised) {
  // Operators and their copies ended in either order; nothing else initialises COM here.
  for (bool copyEndsFirst : {false, true}) {
    TestDocument page;
    HWND browser = MakeBrowser(page);
    {
      auto op = std::make_unique<WebPageOperator>();
      ASSERT_TRUE(op->Bind(Handle(browser)));
      auto copy = op->Copy();
      if (copyEndsFirst) copy.reset();
      op.reset();
    }
    EXPECT_EQ(page.liveReferences(), 0) << copyEndsFirst;
    EXPECT_FALSE(page.releasedWithoutCom()) << copyEndsFirst;
  }
}

}  // namespace
}  // namespace quillo::testing
