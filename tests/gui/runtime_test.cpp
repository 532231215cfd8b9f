// The Qt GUI runtime's services over a small window of its own: texts in and out of
// controls, events and their arguments, window handles, the hidden browser box, the message
// loop, the end routines and processing pending messages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <vector>

#include "gui_runtime.h"
#include "gui_runtime_qt.h"
#include "gui_support.h"
#include "process_switches.h"
#include "web_page_operator.h"

namespace quillo {
namespace {

struct Recorded {
  std::vector<std::vector<std::int32_t>> clicks, created, presses;
};

EventHandler Into(std::vector<std::vector<std::int32_t>>& calls) {
  return [&calls](std::span<const std::int32_t> arguments) {
    calls.emplace_back(arguments.begin(), arguments.end());
  };
}

class Runtime : public ::testing::Test {
 protected:
  void SetUp() override {
    // clang-format off
    spec_ = WindowSpec{.name = "TestWindow", .caption = "运行时", .left = 20, .top = 20,
                       .clientWidth = 200, .clientHeight = 100, .icon = "none",
                       .events = {{kCreatedEvent, Into(recorded_.created)}},
                       .tabOrder = {"按钮", "浏览框", "编辑框"}};
    spec_.controls = {
        {.name = "编辑框", .kind = ControlKind::EditBox, .width = 100, .height = 24, .shown = true,
         .focusable = true, .caption = "起"},
        {.name = "按钮", .kind = ControlKind::Button, .top = 30, .width = 60, .height = 24,
         .shown = true, .focusable = true, .caption = "按",
         .events = {{kClickEvent, Into(recorded_.clicks)}}},
        {.name = "标签", .kind = ControlKind::TransparentLabel, .left = 100, .top = 30, .width = 60,
         .height = 16, .shown = true, .caption = "签",
         .events = {{kLeftButtonDownEvent, Into(recorded_.presses)}}},
        {.name = "隐藏标签", .kind = ControlKind::TransparentLabel, .top = 60, .width = 60,
         .height = 16},
        // Hidden, yet inside the client area: the runtime must move it out of sight.
        {.name = "浏览框", .kind = ControlKind::BrowserBox, .left = 10, .top = 10, .width = 30,
         .height = 20, .focusable = true, .address = "about:blank"},
    };
    // clang-format on
    LoadWindow(spec_);
    ASSERT_TRUE(QTest::qWaitFor(qt::BrowserBoxesStarted, 30000));
  }
  void TearDown() override { Exit(0); }

  Recorded recorded_;
  WindowSpec spec_;
};

TEST_F(Runtime, TextsGoInAndComeOutAsTheProgramsBytes) {
  EXPECT_EQ(ReadControlText("编辑框"), TextFromUtf8("起"));
  const Text texts[] = {"", "+8613800138000", TextFromUtf8("号码 abc"), TextFromUtf8("€ 𠀀"),
                        std::string(500, '9')};
  for (const Text& text : texts) {
    WriteControlText("编辑框", text);
    EXPECT_EQ(qobject_cast<QLineEdit*>(qt::ControlWidget("编辑框"))->text(),
              QString::fromStdString(TextToUtf8(text)));
    EXPECT_EQ(ReadControlText("编辑框"), text);
  }
  WriteControlText("按钮", TextFromUtf8("拨"));
  EXPECT_EQ(qobject_cast<QPushButton*>(qt::ControlWidget("按钮"))->text(), QStringLiteral("拨"));
  EXPECT_EQ(ReadControlText("标签"), TextFromUtf8("签"));
}

TEST_F(Runtime, UnknownControlsReadEmptyAndIgnoreWrites) {
  WriteControlText("没有", "x");
  EXPECT_EQ(ReadControlText("没有"), "");
  EXPECT_EQ(ControlWindowHandle("没有"), 0);
}

TEST_F(Runtime, OnlyBrowserBoxesHaveWindowsWithTheDocumentWindowBelow) {
  EXPECT_EQ(ControlWindowHandle("按钮"), 0);
  const std::int32_t box = ControlWindowHandle("浏览框");
  ASSERT_TRUE(IsLiveWindow(box));
  WebPageOperator finder;
  const std::int32_t server = finder.FindBrowserServerWindow(box);
  EXPECT_EQ(GetWindowClassName(server), "Internet Explorer_Server");
}

TEST_F(Runtime, EventsReachTheirHandlersWithTheirArguments) {
  EXPECT_EQ(recorded_.created, (std::vector<std::vector<std::int32_t>>{{}}));
  QTest::mouseClick(qt::ControlWidget("按钮"), Qt::LeftButton);
  EXPECT_EQ(recorded_.clicks, (std::vector<std::vector<std::int32_t>>{{}}));
  QTest::mousePress(qt::ControlWidget("标签"), Qt::LeftButton, Qt::ControlModifier, QPoint(5, 6));
  QTest::mousePress(qt::ControlWidget("标签"), Qt::RightButton, Qt::NoModifier, QPoint(1, 1));
  EXPECT_EQ(recorded_.presses, (std::vector<std::vector<std::int32_t>>{{5, 6, 1}}));
}

TEST_F(Runtime, HiddenBrowserBoxStaysShownOutsideTheClientArea) {
  QWidget* box = qt::ControlWidget("浏览框");
  EXPECT_TRUE(box->isVisible());
  EXPECT_FALSE(box->geometry().intersects(qt::LoadedWindow()->rect()));
  EXPECT_FALSE(qt::ControlWidget("隐藏标签")->isVisible());
}

TEST_F(Runtime, MessageLoopReturnsOnceTheWindowIsClosed) {
  QTimer::singleShot(50, qt::LoadedWindow(), &QWidget::close);
  RunMessageLoop();
  EXPECT_FALSE(qt::LoadedWindow()->isVisible());
  RunMessageLoop();  // nothing shown: returns at once
}

TEST_F(Runtime, ExitRunsEndRoutinesOnceLatestFirstWhileControlsStillAnswer) {
  std::vector<Text> order;
  RegisterEndRoutine([&] { order.push_back("first " + ReadControlText("编辑框")); });
  RegisterEndRoutine([&] { order.push_back("second"); });
  EXPECT_EQ(Exit(3), 3);
  EXPECT_EQ(order, (std::vector<Text>{"second", "first " + TextFromUtf8("起")}));
  EXPECT_EQ(qt::LoadedWindow(), nullptr);
  Exit(0);
  EXPECT_EQ(order.size(), 2u);
}

struct FocusStep {
  Qt::Key key;
  const char* from;
  const char* to;
};

TEST_F(Runtime, TabGoesRoundTheTabOrderPassingOverWhatCannotBeSeen) {
  QWidget* window = qt::LoadedWindow();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  const FocusStep steps[] = {{Qt::Key_Tab, "编辑框", "按钮"},
                             {Qt::Key_Tab, "按钮", "编辑框"},
                             {Qt::Key_Backtab, "编辑框", "按钮"},
                             {Qt::Key_Backtab, "按钮", "编辑框"}};
  for (const FocusStep& step : steps) {
    qt::ControlWidget(step.from)->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(QApplication::focusWidget(), step.key);
    EXPECT_EQ(QApplication::focusWidget(), qt::ControlWidget(step.to)) << step.from;
  }
  // The browser box out of sight refuses the focus even when asked for it directly.
  QWidget* box = qt::ControlWidget("浏览框");
  box->setFocus(Qt::OtherFocusReason);
  for (QWidget* part : box->findChildren<QWidget*>()) part->setFocus(Qt::OtherFocusReason);
  EXPECT_EQ(QApplication::focusWidget(), qt::ControlWidget("编辑框"));
}

TEST_F(Runtime, ProcessPendingMessagesHandlesQueuedEvents) {
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  ProcessPendingMessages();
  EXPECT_TRUE(ran);
}

struct AddressRow {
  const char* address;
  QUrl expected;
  bool builtIn;
};

TEST(Addresses, BuiltInPagesLieBelowThePagesFolderAndOthersStayAsTheyAre) {
  const QString pages = qt::PagesFolder();
  EXPECT_TRUE(pages.endsWith(QStringLiteral("/share/quillo/pages"))) << pages.toStdString();
  QUrl partner = QUrl::fromLocalFile(pages + QStringLiteral("/partner/index.html"));
  partner.setQuery(QStringLiteral("fromuid=42&x=1"));
  const AddressRow rows[] = {
      {"https://calls.example/locale/cn", QUrl(QStringLiteral("https://calls.example/locale/cn")),
       false},
      {"locale/cn/index.html", QUrl::fromLocalFile(pages + QStringLiteral("/locale/cn/index.html")),
       true},
      {"partner/index.html?fromuid=42&x=1", partner, true},
      {"", QUrl(), false},
  };
  for (const AddressRow& row : rows) {
    EXPECT_EQ(qt::ResolveAddress(row.address), row.expected) << row.address;
    EXPECT_EQ(qt::ResolveAddress(row.address).isLocalFile(), row.builtIn) << row.address;
  }
}

}  // namespace
}  // namespace quillo

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  quillo::qt::PrepareToolkit();  // as the program does
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
