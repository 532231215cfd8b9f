// The built-in pages in the window's browser boxes: they load offline and the hidden calling
// page stays live (the call button driving it is the end-to-end tests').
#include <gtest/gtest.h>

#include <QTest>
#include <QWebEngineView>
#include <fstream>
#include <iterator>
#include <string>

#include "gui_runtime_qt.h"
#include "gui_support.h"
#include "process_switches.h"

namespace quillo {
namespace {

using testing::Control;
using testing::Evaluate;

QWebEngineView* Box(const char* name) { return Control<QWebEngineView>(name); }

bool Loaded(QWebEngineView& view) {
  // The empty document a view starts with is "complete" too, so the address must be ours.
  return Evaluate(view, QStringLiteral("location.protocol + document.readyState")).toString() ==
         QStringLiteral("file:complete");
}

struct PageRow {
  const char* box;
  const char* path;    // below the pages folder
  const char* script;  // reads something only that page shows once its scripts have run
  const char* expected;
};

const PageRow kPages[] = {
    {"超文本浏览框1", "locale/cn/index.html", "document.getElementById('ext-gen69').textContent",
     "免费拨打"},
    {"超文本浏览框2", "partner/index.html", "document.getElementById('referral').textContent",
     "推荐人：20180818"},
    {"超文本浏览框3", "author/index.html", "document.querySelector('h1').textContent", "Quillo"},
};

class BuiltInPage : public ::testing::TestWithParam<PageRow> {};

TEST_P(BuiltInPage, LoadsOfflineFromThePagesFolder) {
  const PageRow& row = GetParam();
  QWebEngineView* view = Box(row.box);
  ASSERT_NE(view, nullptr);
  // Until its first load commits, a view that has just started has no address yet.
  ASSERT_TRUE(QTest::qWaitFor([&] { return Loaded(*view); }, 30000)) << row.box;
  EXPECT_EQ(view->url().toLocalFile(), qt::PagesFolder() + "/" + row.path);
  EXPECT_EQ(Evaluate(*view, QString::fromUtf8(row.script)).toString(),
            QString::fromUtf8(row.expected))
      << row.box;
}

INSTANTIATE_TEST_SUITE_P(Boxes, BuiltInPage, ::testing::ValuesIn(kPages),
                         [](const auto& param) { return "box" + std::to_string(param.index + 1); });

class CallingPage : public ::testing::Test {
 protected:
  void SetUp() override {
    view_ = Box("超文本浏览框1");
    ASSERT_NE(view_, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Loaded(*view_); }, 30000));
  }
  QWebEngineView* view_ = nullptr;
};

TEST_F(CallingPage, OffersTheInputAndTheButtonTheCallButtonLooksFor) {
  EXPECT_EQ(
      Evaluate(*view_, QStringLiteral("(() => { const e = document.getElementById('phone-number');"
                                      " return e.tagName + ' ' + e.type + ' ' + e.name; })()"))
          .toString(),
      QStringLiteral("INPUT text phone-number"));
  EXPECT_EQ(
      Evaluate(*view_, QStringLiteral("document.getElementById('ext-gen69').type")).toString(),
      QStringLiteral("button"));
}

TEST_F(CallingPage, StaysLiveOutOfTheUsersSight) {
  EXPECT_EQ(Evaluate(*view_, QStringLiteral("document.visibilityState")).toString(),
            QStringLiteral("visible"));
  // A hidden page's timers are throttled to about one a second.
  Evaluate(
      *view_,
      QStringLiteral("window.ticks = 0; window.ticker = setInterval(() => ++window.ticks, 20); 0"));
  QTest::qWait(1000);
  const int ticks =
      Evaluate(*view_, QStringLiteral("clearInterval(window.ticker); window.ticks")).toInt();
  EXPECT_GE(ticks, 10);
}

// With the pages loaded and painted, no part of a GL driver is in the process: drawing in
// software keeps it out, and with it tens of MiB per start.
const char* const kGlDriverParts[] = {
    "xcbglintegrations",  // the toolkit's GL glue
    "/libGLX_",           // a vendor's GLX library (libGLX_mesa, libGLX_nvidia)
    "_dri.so",            // a Mesa driver (swrast, iris, radeonsi...)
};

class SoftwareDrawing : public ::testing::TestWithParam<const char*> {};

TEST_P(SoftwareDrawing, LoadsNoGlDriver) {
  ASSERT_TRUE(qt::DrawsInSoftware());
  QWebEngineView* partner = Box("超文本浏览框2");
  ASSERT_NE(partner, nullptr);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Loaded(*partner); }, 30000));
  partner->grab();  // the box composites at least once
  std::ifstream maps("/proc/self/maps");
  const std::string mapped{std::istreambuf_iterator<char>(maps), {}};
  ASSERT_FALSE(mapped.empty());
  EXPECT_EQ(mapped.find(GetParam()), std::string::npos) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Parts, SoftwareDrawing, ::testing::ValuesIn(kGlDriverParts));

}  // namespace
}  // namespace quillo
