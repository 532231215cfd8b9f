// A person's click while a call waits for the page runs after the press, never inside it.
// Runs in an X session, where the click comes from the X server.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include "engine_fixture.h"
#include "web_page_operator.h"

namespace quillo::testing {
namespace {

TEST(UserInputDuringWaitTest, ClickIsHeldUntilThePressHasEnded) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs X";
  EnginePage page;
  ASSERT_TRUE(page.LoadBody(QStringLiteral("<input id=\"phone-number\">")));
  QPushButton dial(QStringLiteral("拨号"));
  dial.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dial.windowHandle()->isExposed(); }, 5000));
  QTest::qWait(300);  // the window manager places and frames it
  bool pressing = false;
  int clicks[2] = {0, 0};  // after the press, inside it
  QObject::connect(&dial, &QPushButton::clicked, [&] { ++clicks[pressing ? 1 : 0]; });
  WebPageOperator op;
  ASSERT_TRUE(op.Bind(page.box().registryHandle()));
  // The page is busy as the press starts; the user clicks while the press waits for it.
  page.KeepBusy(600);
  QTimer::singleShot(100, [&] {
    const QPoint at = dial.mapToGlobal(dial.rect().center());
    QProcess::execute(QStringLiteral("xdotool"), {"mousemove", "--sync", QString::number(at.x()),
                                                  QString::number(at.y()), "click", "1"});
  });
  pressing = true;
  EXPECT_TRUE(op.FillTextBox("phone-number", "1", 0));
  pressing = false;
  EXPECT_TRUE(QTest::qWaitFor([&] { return clicks[0] > 0; }, 3000));
  EXPECT_EQ(clicks[0], 1);
  EXPECT_EQ(clicks[1], 0);
}

}  // namespace
}  // namespace quillo::testing
