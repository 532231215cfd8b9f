// Runs one case of the shared table on a bound operator and checks what the page shows.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "fake_page.h"
#include "gui_runtime.h"
#include "operator_cases.h"
#include "web_page_operator.h"

namespace quillo::testing {

// What a case needs to see of a page, whatever backend serves it.
class PageUnderTest {
 public:
  virtual ~PageUnderTest() = default;
  // The table index of the element an object refers to, or -1.
  virtual int IndexOf(const AutomationObject& element) = 0;
  virtual std::string ValueOf(int index) = 0;
  virtual int ClicksOf(int index) = 0;
  // The events the element heard, in order, each as "type=its value then".
  virtual std::vector<std::string> EventsOf(int index) = 0;
};

// The fake page, on either system.
class FakePageUnderTest : public PageUnderTest {
 public:
  explicit FakePageUnderTest(FakePage& page) : page_(page) {}
  int IndexOf(const AutomationObject& element) override { return page_.IndexOf(element); }
  std::string ValueOf(int index) override { return page_.value(index); }
  int ClicksOf(int index) override { return page_.clicks(index); }
  std::vector<std::string> EventsOf(int index) override { return page_.events(index); }

 private:
  FakePage& page_;
};

// documentMode: the Windows browser control's, for the rows it changes.
inline void RunOperatorCase(const OperatorCase& c, WebPageOperator& op, PageUnderTest& page,
                            int documentMode = 11) {
  const int expected = documentMode < 10 ? c.belowMode10.value_or(c.expected) : c.expected;
  const bool fills = c.action == Action::kFillTextBox && expected != -1;
  // A fill tells the page as typing does (modes 7 and 8 of the Windows browser control have
  // no input event), then gives it its turn: what the page heard by then is recorded.
  std::vector<std::string> told;
  for (const char* type : {"input", "change"}) {
    if (fills && (documentMode >= 9 || type != std::string_view("input"))) {
      told.push_back(type + ("=" + c.text));
    }
  }
  std::vector<std::string> turns;
  SetProcessPendingMessagesHook([&](std::chrono::milliseconds time) {
    if (time.count() == 0) return;
    std::string heard = std::to_string(time.count()) + "ms";
    if (fills) {
      for (const std::string& event : page.EventsOf(expected)) heard += " " + event;
    }
    turns.push_back(heard);
  });
  std::int32_t position = 0;
  int found = expected;
  switch (c.action) {
    case Action::kFindFormElement:
      found = page.IndexOf(op.FindFormElement(c.filter, c.key, c.skip, position));
      EXPECT_EQ(position, c.position);
      break;
    case Action::kFindTextBox:
      found = page.IndexOf(op.FindTextBox(c.key, c.skip));
      break;
    case Action::kFindButton:
      found = page.IndexOf(op.FindButton(c.key, c.skip));
      break;
    case Action::kFillTextBox: {
      std::vector<std::string> before;
      for (int i = 0; i < static_cast<int>(c.page.size()); ++i) before.push_back(page.ValueOf(i));
      EXPECT_EQ(op.FillTextBox(c.key, c.text, c.skip), expected != -1);
      for (int i = 0; i < static_cast<int>(c.page.size()); ++i) {
        EXPECT_EQ(page.ValueOf(i), i == expected ? c.text : before[i]) << "element " << i;
      }
      break;
    }
    case Action::kClickButton:
      EXPECT_EQ(op.ClickButton(c.key, c.skip), expected != -1);
      for (int i = 0; i < static_cast<int>(c.page.size()); ++i) {
        EXPECT_EQ(page.ClicksOf(i), i == expected ? 1 : 0) << "element " << i;
      }
      break;
  }
  SetProcessPendingMessagesHook({});
  EXPECT_EQ(found, expected);
  for (int i = 0; i < static_cast<int>(c.page.size()); ++i) {
    EXPECT_EQ(page.EventsOf(i), i == expected && fills ? told : std::vector<std::string>())
        << "element " << i;
  }
  std::string turn = "100ms";
  for (const std::string& event : told) turn += " " + event;
  EXPECT_EQ(turns, fills ? std::vector<std::string>{turn} : std::vector<std::string>());
}

}  // namespace quillo::testing
