// The operator's search, fill and click cases, run on the fake page and on real pages alike.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "fake_page.h"
#include "gui_runtime.h"
#include "web_page_operator.h"

namespace quillo::testing {

enum class Action { kFindFormElement, kFindTextBox, kFillTextBox, kFindButton, kClickButton };

struct OperatorCase {
  const char* name;
  std::vector<PageElement> page;
  Action action;
  std::string key;
  int expected = -1;      // the element found, filled or clicked; -1 for none
  int skip = 0;           // matches passed over first
  std::string text = {};  // what a fill writes; a search's type filter
  int position = 0;       // a search's position counter afterwards
  // In document modes below 10, tel, search and email inputs report "text": text boxes.
  std::optional<int> belowMode10 = {};
};
inline void PrintTo(const OperatorCase& c, std::ostream* out) { *out << c.name; }

inline std::vector<OperatorCase> OperatorCases() {
  using enum Action;
  const std::string p = "phone-number", dial = "ext-gen69", boxes = "text|password|file";
  // Elements as {tag, type, name, id, title}; tx(name, id, title) is a text input.
  const auto tx = [](std::string name, std::string id = "", std::string title = "") {
    return PageElement{"input", "text", std::move(name), std::move(id), std::move(title)};
  };
  const PageElement a = tx("a", "a", "a"), b = tx("b", "b", "b");
  // clang-format off
  return {
      {"FillsFirstTextInputById", {tx("", p)}, kFillTextBox, p, 0, 0, "+8613800138000"},
      {"FillsEmptyText", {tx(p, p)}, kFillTextBox, p, 0, 0, ""},
      {"FillsPasswordInput", {{"input", "checkbox", p}, {"input", "password", p}}, kFillTextBox, p,
       1, 0, "123"},
      {"FillsInputWithoutTypeAsText", {{"input", "", "", p}}, kFillTextBox, p, 0, 0, "5"},
      {"FillRefusedOnTextarea", {{"textarea", "", p, p}}, kFillTextBox, p, -1, 0, "5"},
      {"FillRefusedOnHidden", {{"input", "hidden", p, p}}, kFillTextBox, p, -1, 0, "5"},
      {"FillRefusedOnTel", {{"input", "tel", "", p}}, kFillTextBox, p, -1, 0, "5", 0, 0},
      {"FillRefusedOnSearch", {{"input", "search", "", p}}, kFillTextBox, p, -1, 0, "5", 0, 0},
      {"FillRefusedOnEmail", {{"input", "email", "", p}}, kFillTextBox, p, -1, 0, "5", 0, 0},
      {"FillSkipsOneMatchByName", {tx("n"), tx("n")}, kFillTextBox, "n", 1, 1, "x"},
      {"TextBoxNeverLooksAtButtonElements", {{"button", "button", p}}, kFindTextBox, p},
      {"IdMatchBeforeLaterNameMatch", {tx("", "k"), tx("k")}, kFindTextBox, "k", 0},
      {"TitleMatches", {tx("a", "b"), tx("", "", "k")}, kFindTextBox, "k", 1},
      {"CaseMatters", {tx("Phone-Number")}, kFindTextBox, p},
      {"EmptyKeyMatchesElementWithEmptyName", {tx("", "x")}, kFindTextBox, "", 0},
      {"NonCandidatesAreNotCounted", {{"input", "checkbox"}, a, b}, kFindTextBox, "2", 2},
      {"KeyBeyondInt32NeverMatchesByPosition", {a}, kFindTextBox, "99999999999"},
      {"ExponentKeyNeverMatchesByPosition", {a}, kFindTextBox, "1e12"},
      {"ExponentKeyWithinRangeMatchesByPosition", {a, b}, kFindTextBox, "2e0", 1},
      {"KeyWithFractionTruncates", {a}, kFindTextBox, "1.9", 0},
      {"NegativeKeyNeverMatchesByPosition", {a}, kFindTextBox, "-1"},
      {"NoElementsFindsNothing", {}, kFindTextBox, p},
      {"ClicksInputButtonById", {tx(p, p), {"input", "button", "", dial}}, kClickButton, dial, 1},
      {"ClicksButtonElementAfterInputs", {{"button", "button", "", dial}, {"input", "submit", "x"}},
       kClickButton, dial, 0},
      {"InputsComeBeforeButtonElements",
       {{"button", "button", "", dial}, {"input", "reset", "", dial}}, kClickButton, dial, 1},
      {"ButtonElementWithoutTypeIsSubmit", {{"button", "", dial}}, kClickButton, dial, 0},
      {"ClickRefusedOnLink", {{"a", "", dial, dial}}, kClickButton, dial},
      {"ClickRefusedOnDiv", {{"div", "", "", dial}}, kClickButton, dial},
      {"ClickRefusedOnTextInput", {tx("", dial)}, kClickButton, dial},
      {"ClickSkipsOneMatch", {{"input", "button", "b"}, {"button", "button", "b"}}, kClickButton,
       "b", 1, 1},
      {"PositionTwoCrossesFromInputsToButtons",
       {{"input", "submit", "x"}, tx("y"), {"button", "button", "z"}}, kFindButton, "2", 2},
      {"PositionMatchIgnoresRemainingSkips", {tx("k"), tx("q")}, kFindTextBox, "2", 1, 5},
      // The search itself, for "k", with its position counter.
      {"PositionCounterHoldsFoundPosition", {{"input", "hidden"}, tx("a"), tx("k")},
       kFindFormElement, "k", 2, 0, boxes, 2},
      {"PositionCounterIsMinusOneOnFailure", {tx("a"), tx("b")}, kFindFormElement, "k", -1, 0,
       boxes, -1},
      {"FilterWithoutButtonSkipsButtonElements", {{"button", "submit", "k"}}, kFindFormElement, "k",
       -1, 0, "submit", -1},
      {"FilterIsSearchedAsPlainText", {tx("k")}, kFindFormElement, "k", 0, 0, "context", 1},
      {"SkipCountCarriesIntoButtonPhase", {{"input", "button", "k"}, {"button", "button", "k"}},
       kFindFormElement, "k", 1, 1, "button", 2},
  };
  // clang-format on
}

// page: the fake page or one that reads as it does (IndexOf, value, clicks, events); documentMode:
// the Windows browser control's, for the rows it changes.
template <typename Page>
void RunOperatorCase(const OperatorCase& c, WebPageOperator& op, Page& page,
                     int documentMode = 11) {
  using enum Action;
  const int expected = documentMode < 10 ? c.belowMode10.value_or(c.expected) : c.expected;
  const bool fills = c.action == kFillTextBox && expected != -1;
  // A fill tells the page as typing does (modes 7 and 8 lack "input"), then gives it its turn.
  std::vector<std::string> told, values;
  if (fills && documentMode >= 9) told.push_back("input=" + c.text);
  if (fills) told.push_back("change=" + c.text);
  std::vector<std::pair<std::int64_t, std::vector<std::string>>> turns, turnsTaken;
  if (fills) turns.emplace_back(100, told);
  SetProcessPendingMessagesHook([&](std::chrono::milliseconds time) {
    if (time.count() != 0)
      turnsTaken.emplace_back(time.count(), fills ? page.events(expected) : told);
  });
  std::int32_t position = 0;
  int found = expected;
  for (int i = 0; i < static_cast<int>(c.page.size()); ++i) values.push_back(page.value(i));
  if (c.action == kFindFormElement)
    found = page.IndexOf(op.FindFormElement(c.text, c.key, c.skip, position));
  if (c.action == kFindTextBox) found = page.IndexOf(op.FindTextBox(c.key, c.skip));
  if (c.action == kFindButton) found = page.IndexOf(op.FindButton(c.key, c.skip));
  const bool done = c.action == kFillTextBox   ? op.FillTextBox(c.key, c.text, c.skip)
                    : c.action == kClickButton ? op.ClickButton(c.key, c.skip)
                                               : expected != -1;
  SetProcessPendingMessagesHook({});
  EXPECT_EQ(std::tuple(found, done, position, turnsTaken),
            std::tuple(expected, expected != -1, c.position, turns));
  for (int i = 0; i < static_cast<int>(c.page.size()); ++i)
    EXPECT_EQ(std::tuple(page.value(i), page.clicks(i), page.events(i)),
              std::tuple(i == expected && fills ? c.text : values[i],
                         i == expected && c.action == kClickButton ? 1 : 0,
                         i == expected && fills ? told : std::vector<std::string>()))
        << "element " << i;
}

}  // namespace quillo::testing
