// The search, fill and click cases of the operator, as data that any page backend can run:
// the fake page of the unit tests and real pages in the browser engine.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "page_element.h"

namespace quillo::testing {

enum class Action { kFindFormElement, kFindTextBox, kFillTextBox, kFindButton, kClickButton };

struct OperatorCase {
  const char* name;
  std::vector<PageElement> page;
  Action action;
  std::string key;
  int skip = 0;
  std::string filter = {};  // kFindFormElement only
  std::string text = {};    // kFillTextBox only
  int expected = -1;        // index of the element found, filled or clicked; -1 for none
  int position = 0;         // kFindFormElement only: the position counter afterwards
  // Where the Windows browser control's document modes below 10 change the row: there an
  // input of type tel, search or email reports its type as "text", so it is a text box.
  std::optional<int> belowMode10 = {};
};

// Names the case in test output instead of dumping its bytes.
inline void PrintTo(const OperatorCase& c, std::ostream* out) { *out << c.name; }

// A row: the page, what is done with which key, the element expected (-1: none) and how many
// matches are skipped first.
inline OperatorCase Row(const char* name, std::vector<PageElement> page, Action action,
                        std::string key, int expected, int skip = 0) {
  OperatorCase c{name, std::move(page), action, std::move(key), skip};
  c.expected = expected;
  return c;
}
inline OperatorCase Fill(const char* name, std::vector<PageElement> page, std::string key,
                         std::string text, int expected, int skip = 0) {
  OperatorCase c = Row(name, std::move(page), Action::kFillTextBox, std::move(key), expected, skip);
  c.text = std::move(text);
  return c;
}
// The form-element search for "k" with its filter, and the position counter afterwards.
inline OperatorCase Search(const char* name, std::vector<PageElement> page, std::string filter,
                           int expected, int position, int skip = 0) {
  OperatorCase c = Row(name, std::move(page), Action::kFindFormElement, "k", expected, skip);
  c.filter = std::move(filter);
  c.position = position;
  return c;
}
inline OperatorCase BelowMode10(OperatorCase c, int expected) {
  c.belowMode10 = expected;
  return c;
}

inline std::vector<OperatorCase> OperatorCases() {
  using enum Action;
  const std::string phone = "phone-number";
  const std::string dial = "ext-gen69";
  const PageElement a{"input", "text", "a", "a", "a"}, b{"input", "text", "b", "b", "b"};
  // Elements as {tag, type, name, id, title}.
  // clang-format off
  return {
      // Text boxes.
      Fill("FillsFirstTextInputById", {{"input", "text", "", phone}}, phone, "+8613800138000", 0),
      Fill("FillsEmptyText", {{"input", "text", phone, phone}}, phone, "", 0),
      Fill("FillsPasswordInput", {{"input", "checkbox", phone}, {"input", "password", phone}},
           phone, "123", 1),
      Fill("FillsInputWithoutTypeAsText", {{"input", "", "", phone}}, phone, "5", 0),
      Fill("FillRefusedOnTextarea", {{"textarea", "", phone, phone}}, phone, "5", -1),
      Fill("FillRefusedOnHidden", {{"input", "hidden", phone, phone}}, phone, "5", -1),
      BelowMode10(Fill("FillRefusedOnTel", {{"input", "tel", "", phone}}, phone, "5", -1), 0),
      BelowMode10(Fill("FillRefusedOnSearch", {{"input", "search", "", phone}}, phone, "5", -1), 0),
      BelowMode10(Fill("FillRefusedOnEmail", {{"input", "email", "", phone}}, phone, "5", -1), 0),
      Fill("FillSkipsOneMatchByName", {{"input", "text", "n"}, {"input", "text", "n"}}, "n", "x", 1,
           1),
      Row("TextBoxNeverLooksAtButtonElements", {{"button", "button", phone}}, kFindTextBox, phone,
          -1),
      Row("IdMatchBeforeLaterNameMatch", {{"input", "text", "", "k"}, {"input", "text", "k"}},
          kFindTextBox, "k", 0),
      Row("TitleMatches", {{"input", "text", "a", "b"}, {"input", "text", "", "", "k"}},
          kFindTextBox, "k", 1),
      Row("CaseMatters", {{"input", "text", "Phone-Number"}}, kFindTextBox, phone, -1),
      Row("EmptyKeyMatchesElementWithEmptyName", {{"input", "text", "", "x"}}, kFindTextBox, "", 0),
      Row("NonCandidatesAreNotCounted", {{"input", "checkbox"}, a, b}, kFindTextBox, "2", 2),
      Row("KeyBeyondInt32NeverMatchesByPosition", {a}, kFindTextBox, "99999999999", -1),
      Row("ExponentKeyNeverMatchesByPosition", {a}, kFindTextBox, "1e12", -1),
      Row("ExponentKeyWithinRangeMatchesByPosition", {a, b}, kFindTextBox, "2e0", 1),
      Row("KeyWithFractionTruncates", {a}, kFindTextBox, "1.9", 0),
      Row("NegativeKeyNeverMatchesByPosition", {a}, kFindTextBox, "-1", -1),
      Row("NoElementsFindsNothing", {}, kFindTextBox, phone, -1),
      // Buttons.
      Row("ClicksInputButtonById", {{"input", "text", phone, phone}, {"input", "button", "", dial}},
          kClickButton, dial, 1),
      Row("ClicksButtonElementAfterInputs", {{"button", "button", "", dial}, {"input", "submit", "x"}},
          kClickButton, dial, 0),
      Row("InputsComeBeforeButtonElements",
          {{"button", "button", "", dial}, {"input", "reset", "", dial}}, kClickButton, dial, 1),
      Row("ButtonElementWithoutTypeIsSubmit", {{"button", "", dial}}, kClickButton, dial, 0),
      Row("ClickRefusedOnLink", {{"a", "", dial, dial}}, kClickButton, dial, -1),
      Row("ClickRefusedOnDiv", {{"div", "", "", dial}}, kClickButton, dial, -1),
      Row("ClickRefusedOnTextInput", {{"input", "text", "", dial}}, kClickButton, dial, -1),
      Row("ClickSkipsOneMatch", {{"input", "button", "b"}, {"button", "button", "b"}}, kClickButton,
          "b", 1, 1),
      Row("PositionTwoCrossesFromInputsToButtons",
          {{"input", "submit", "x"}, {"input", "text", "y"}, {"button", "button", "z"}}, kFindButton,
          "2", 2),
      Row("PositionMatchIgnoresRemainingSkips", {{"input", "text", "k"}, {"input", "text", "q"}},
          kFindTextBox, "2", 1, 5),
      // The search itself, with its position counter.
      Search("PositionCounterHoldsFoundPosition",
             {{"input", "hidden"}, {"input", "text", "a"}, {"input", "text", "k"}},
             "text|password|file", 2, 2),
      Search("PositionCounterIsMinusOneOnFailure", {{"input", "text", "a"}, {"input", "text", "b"}},
             "text|password|file", -1, -1),
      Search("FilterWithoutButtonSkipsButtonElements", {{"button", "submit", "k"}}, "submit", -1, -1),
      Search("FilterIsSearchedAsPlainText", {{"input", "text", "k"}}, "context", 0, 1),
      Search("SkipCountCarriesIntoButtonPhase", {{"input", "button", "k"}, {"button", "button", "k"}},
             "button", 1, 2, 1),
  };
  // clang-format on
}

}  // namespace quillo::testing
