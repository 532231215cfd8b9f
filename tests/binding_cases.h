// What the Bind table (binding_cases_test.cpp) needs of each system's windows.
#pragma once

#include <cstdint>
#include <memory>

#include "web_page_operator.h"

namespace quillo::testing {

// How a window answers the document request; a hung one never does.
enum class Reply { kNothing, kFirstPage, kSecondPage, kNoObject, kHung };
enum class Held { kNone, kFirstPage, kSecondPage, kPageBefore };  // what a bound operator holds

class WindowsUnderTest {
 public:
  virtual ~WindowsUnderTest() = default;
  // A window of the class below parent (0: top-level; a hung one always) that answers as told.
  virtual std::int32_t Make(const char* className, std::int32_t parent, Reply reply) = 0;
  virtual std::int32_t Destroyed() = 0;      // the handle of a window that has been destroyed
  virtual std::int32_t BrowserBefore() = 0;  // a browser serving the page held before
  virtual bool Holds(const AutomationObject& document, Held page) = 0;
  virtual int LiveReferences() = 0;  // to the pages, handed out and not given back
};

std::unique_ptr<WindowsUnderTest> MakeWindowsUnderTest();  // each system's tests define it

}  // namespace quillo::testing
