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
  std::string filter;  // kFindFormElement only
  std::string text;    // kFillTextBox only
  int expected = -1;   // index of the element found, filled or clicked; -1 for none
  int position = 0;    // kFindFormElement only: the position counter afterwards
  // Where the Windows browser control's document modes below 10 change the row: there an
  // input of type tel, search or email reports its type as "text", so it is a text box.
  std::optional<int> belowMode10 = {};
};

// Names the case in test output instead of dumping its bytes.
inline void PrintTo(const OperatorCase& c, std::ostream* out) { *out << c.name; }

inline std::vector<OperatorCase> OperatorCases() {
  const PageElement phoneText{"input", "text", "phone-number", "phone-number", ""};
  const PageElement dialButton{"input", "button", "", "ext-gen69", ""};
  // clang-format off
  return {
      // Text boxes.
      {"FillsFirstTextInputById", {{"input", "text", "", "phone-number", ""}},
       Action::kFillTextBox, "phone-number", 0, "", "+8613800138000", 0},
      {"FillsEmptyText", {phoneText}, Action::kFillTextBox, "phone-number", 0, "", "", 0},
      {"FillsPasswordInput",
       {{"input", "checkbox", "phone-number", "", ""}, {"input", "password", "phone-number", "", ""}},
       Action::kFillTextBox, "phone-number", 0, "", "123", 1},
      {"FillsInputWithoutTypeAsText", {{"input", "", "", "phone-number", ""}},
       Action::kFillTextBox, "phone-number", 0, "", "5", 0},
      {"FillRefusedOnTextarea", {{"textarea", "", "phone-number", "phone-number", ""}},
       Action::kFillTextBox, "phone-number", 0, "", "5", -1},
      {"FillRefusedOnHidden", {{"input", "hidden", "phone-number", "phone-number", ""}},
       Action::kFillTextBox, "phone-number", 0, "", "5", -1},
      {"FillRefusedOnTel", {{"input", "tel", "", "phone-number", ""}}, Action::kFillTextBox,
       "phone-number", 0, "", "5", -1, 0, 0},
      {"FillRefusedOnSearch", {{"input", "search", "", "phone-number", ""}},
       Action::kFillTextBox, "phone-number", 0, "", "5", -1, 0, 0},
      {"FillRefusedOnEmail", {{"input", "email", "", "phone-number", ""}},
       Action::kFillTextBox, "phone-number", 0, "", "5", -1, 0, 0},
      {"FillSkipsOneMatchByName",
       {{"input", "text", "n", "", ""}, {"input", "text", "n", "", ""}}, Action::kFillTextBox,
       "n", 1, "", "x", 1},
      {"TextBoxNeverLooksAtButtonElements", {{"button", "button", "phone-number", "", ""}},
       Action::kFindTextBox, "phone-number", 0, "", "", -1},
      {"IdMatchBeforeLaterNameMatch",
       {{"input", "text", "", "k", ""}, {"input", "text", "k", "", ""}}, Action::kFindTextBox,
       "k", 0, "", "", 0},
      {"TitleMatches", {{"input", "text", "a", "b", ""}, {"input", "text", "", "", "k"}},
       Action::kFindTextBox, "k", 0, "", "", 1},
      {"CaseMatters", {{"input", "text", "Phone-Number", "", ""}}, Action::kFindTextBox,
       "phone-number", 0, "", "", -1},
      {"EmptyKeyMatchesElementWithEmptyName", {{"input", "text", "", "x", ""}},
       Action::kFindTextBox, "", 0, "", "", 0},
      {"NonCandidatesAreNotCounted",
       {{"input", "checkbox", "", "", ""}, {"input", "text", "a", "a", "a"},
        {"input", "text", "b", "b", "b"}},
       Action::kFindTextBox, "2", 0, "", "", 2},
      {"KeyBeyondInt32NeverMatchesByPosition", {{"input", "text", "a", "a", "a"}},
       Action::kFindTextBox, "99999999999", 0, "", "", -1},
      {"ExponentKeyNeverMatchesByPosition", {{"input", "text", "a", "a", "a"}},
       Action::kFindTextBox, "1e12", 0, "", "", -1},
      {"ExponentKeyWithinRangeMatchesByPosition",
       {{"input", "text", "a", "a", "a"}, {"input", "text", "b", "b", "b"}},
       Action::kFindTextBox, "2e0", 0, "", "", 1},
      {"KeyWithFractionTruncates", {{"input", "text", "a", "a", "a"}}, Action::kFindTextBox,
       "1.9", 0, "", "", 0},
      {"NegativeKeyNeverMatchesByPosition", {{"input", "text", "a", "a", "a"}},
       Action::kFindTextBox, "-1", 0, "", "", -1},
      {"NoElementsFindsNothing", {}, Action::kFindTextBox, "phone-number", 0, "", "", -1},
      // Buttons.
      {"ClicksInputButtonById", {phoneText, dialButton}, Action::kClickButton, "ext-gen69", 0,
       "", "", 1},
      {"ClicksButtonElementAfterInputs",
       {{"button", "button", "", "ext-gen69", ""}, {"input", "submit", "x", "", ""}},
       Action::kClickButton, "ext-gen69", 0, "", "", 0},
      {"InputsComeBeforeButtonElements",
       {{"button", "button", "", "ext-gen69", ""}, {"input", "reset", "", "ext-gen69", ""}},
       Action::kClickButton, "ext-gen69", 0, "", "", 1},
      {"ButtonElementWithoutTypeIsSubmit", {{"button", "", "ext-gen69", "", ""}},
       Action::kClickButton, "ext-gen69", 0, "", "", 0},
      {"ClickRefusedOnLink", {{"a", "", "ext-gen69", "ext-gen69", ""}}, Action::kClickButton,
       "ext-gen69", 0, "", "", -1},
      {"ClickRefusedOnDiv", {{"div", "", "", "ext-gen69", ""}}, Action::kClickButton,
       "ext-gen69", 0, "", "", -1},
      {"ClickRefusedOnTextInput", {{"input", "text", "", "ext-gen69", ""}},
       Action::kClickButton, "ext-gen69", 0, "", "", -1},
      {"ClickSkipsOneMatch",
       {{"input", "button", "b", "", ""}, {"button", "button", "b", "", ""}},
       Action::kClickButton, "b", 1, "", "", 1},
      {"PositionTwoCrossesFromInputsToButtons",
       {{"input", "submit", "x", "", ""}, {"input", "text", "y", "", ""},
        {"button", "button", "z", "", ""}},
       Action::kFindButton, "2", 0, "", "", 2},
      {"PositionMatchIgnoresRemainingSkips",
       {{"input", "text", "k", "", ""}, {"input", "text", "q", "", ""}},
       Action::kFindTextBox, "2", 5, "", "", 1},
      // The search itself, with its position counter.
      {"PositionCounterHoldsFoundPosition",
       {{"input", "hidden", "", "", ""}, {"input", "text", "a", "", ""},
        {"input", "text", "k", "", ""}},
       Action::kFindFormElement, "k", 0, "text|password|file", "", 2, 2},
      {"PositionCounterIsMinusOneOnFailure",
       {{"input", "text", "a", "", ""}, {"input", "text", "b", "", ""}},
       Action::kFindFormElement, "k", 0, "text|password|file", "", -1, -1},
      {"FilterWithoutButtonSkipsButtonElements",
       {{"button", "submit", "k", "", ""}}, Action::kFindFormElement, "k", 0, "submit", "", -1,
       -1},
      {"FilterIsSearchedAsPlainText", {{"input", "text", "k", "", ""}},
       Action::kFindFormElement, "k", 0, "context", "", 0, 1},
      {"SkipCountCarriesIntoButtonPhase",
       {{"input", "button", "k", "", ""}, {"button", "button", "k", "", ""}},
       Action::kFindFormElement, "k", 1, "button", "", 1, 2},
  };
  // clang-format on
}

}  // namespace quillo::testing
