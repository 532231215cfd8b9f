// A click of the user's while a call waits for the page runs after the call, never inside
// it. Runs in an X session: the click comes from the X server as a person's would.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include "engine_fixture.h"
#include "page_bridge.h"
#include "web_page_operator.h"

namespace quillo::testing {
namespace {

TEST(UserInputDuringWaitTest, ClickIsHeldUntilThePressHasEnded) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs X";
  EnginePage page;
  ASSERT_TRUE(page.LoadBody(QStringLiteral("<input id=\"phone-number\">")));
  QWidget window;
  auto* dial = new QPushButton(QStringLiteral("拨号"), &window);
  dial->setGeometry(10, 10, 120, 40);
  window.resize(200, 100);
  window.show();
  ASSERT_TRUE(WaitUntil([&] { return window.windowHandle()->isExposed(); }, 5000));
  WaitUntil([] { return false; }, 300);  // the window manager places and frames it
  bool pressing = false;
  int inside = 0;
  int after = 0;
  QObject::connect(dial, &QPushButton::clicked, [&] { ++(pressing ? inside : after); });

  WebPageOperator op;
  ASSERT_TRUE(op.Bind(page.box().windowHandle()));
  // The page is busy when the press starts; the user clicks while it waits.
  page.Evaluate(QStringLiteral(
      "setTimeout(() => { const end = Date.now() + 600; while (Date.now() < end) {} }, 0); 1"));
  QTimer::singleShot(100, [&] {
    const QPoint at = dial->mapToGlobal(dial->rect().center());
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                       QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                       QStringLiteral("1")});
  });
  pressing = true;
  const bool filled = op.FillTextBox("phone-number", "1", 0);
  pressing = false;
  EXPECT_TRUE(filled);
  EXPECT_TRUE(WaitUntil([&] { return after > 0; }, 3000));
  EXPECT_EQ(inside, 0);
  EXPECT_EQ(after, 1);
}

}  // namespace
}  // namespace quillo::testing
