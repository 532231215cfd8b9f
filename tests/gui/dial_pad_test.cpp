// The dial pad through real clicks on the realised window: each key goes at the very end of
// whatever the number box holds, typed text and selections included.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <string>
#include <vector>

#include "gui_support.h"

namespace quillo {
namespace {

using testing::Control;

QLineEdit* NumberBox() { return Control<QLineEdit>("编辑框1"); }

void Press(const char* key) {
  auto* button = Control<QPushButton>(key);
  ASSERT_NE(button, nullptr) << key;
  QTest::mouseClick(button, Qt::LeftButton);
}

// Empties the number box and types text into it as a user would.
void Type(const QString& text) {
  QLineEdit* number = NumberBox();
  number->clear();
  number->activateWindow();
  number->setFocus(Qt::MouseFocusReason);
  QTest::keyClicks(number, text);
}

struct DialCase {
  const char* name;
  const char* typed;
  std::vector<const char*> keys;
  const char* expected;
};

const DialCase kCases[] = {
    {"OneThreeEight", "", {"按钮1", "按钮3", "按钮8"}, "138"},
    {"PlusAfterTypedDigits", "8613", {"按钮加号键"}, "8613+"},
    {"PlusAnywhereAndAgain", "+86", {"按钮加号键", "按钮1", "按钮加号键"}, "+86+1+"},
    {"StarAndHashLikeDigits", "", {"按钮米子键", "按钮井号键", "按钮0"}, "*#0"},
    {"TypedLettersStay", "abc", {"按钮5"}, "abc5"},
    {"SpacesAndDashesStay", "138 0013-", {"按钮9"}, "138 0013-9"},
    {"EachKeyAppendsItsOwnCaption",
     "",
     {"按钮1", "按钮2", "按钮3", "按钮4", "按钮5", "按钮6", "按钮7", "按钮8", "按钮9", "按钮0",
      "按钮米子键", "按钮井号键", "按钮加号键"},
     "1234567890*#+"},
};

class DialPad : public ::testing::TestWithParam<DialCase> {};

TEST_P(DialPad, AppendsAtTheEnd) {
  const DialCase& c = GetParam();
  Type(QString::fromUtf8(c.typed));
  ASSERT_EQ(NumberBox()->text(), QString::fromUtf8(c.typed));
  for (const char* key : c.keys) Press(key);
  EXPECT_EQ(NumberBox()->text(), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Keys, DialPad, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(DialPadKeys, SelectionStaysAndKeyGoesAtTheVeryEnd) {
  Type(QStringLiteral("12345"));
  NumberBox()->setSelection(1, 2);  // "23"
  Press("按钮5");
  EXPECT_EQ(NumberBox()->text(), QStringLiteral("123455"));
  EXPECT_EQ(NumberBox()->selectedText(), QStringLiteral("23"));
  EXPECT_EQ(NumberBox()->selectionStart(), 1);
}

TEST(DialPadKeys, TwoHundredZeros) {
  Type(QString());
  for (int i = 0; i < 200; ++i) Press("按钮0");
  EXPECT_EQ(NumberBox()->text(), QString(200, u'0'));
}

}  // namespace
}  // namespace quillo
