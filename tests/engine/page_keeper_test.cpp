// Pages that lose their renderer or stop answering come back by themselves, after waits
// that grow while they keep dying; a page that only failed to load stays as it is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <vector>

#include "engine_fixture.h"
#include "page_bridge.h"
#include "page_keeper.h"

namespace quillo::testing {
namespace {

struct KeeperCase {
  const char* name;
  qt::KeeperTimings timings;
  std::vector<int> killAfterMs;  // one renderer kill per entry, this long after a load
  int spinMs;                    // the first load spins this long after loading; -1 for ever
  bool missing;                  // the page's file does not exist
  std::vector<int> waitsMs;      // expected wait from each renderer's end to its reload
};

// clang-format off
const KeeperCase kCases[] = {
    {"KilledRendererComesBack", {}, {0}, 0, false, {1000}},
    {"WaitsDoubleUpToTheLongest", {100, 800, 60000, 10000, 1000}, {0, 0, 0, 0, 0}, 0, false,
     {100, 200, 400, 800, 800}},
    // The calm time is shorter than the longest wait: a dead page does not count as calm. It
    // is long beside the time a killed renderer takes to be noticed on a busy machine.
    {"DyingPageKeepsItsLongWait", {300, 2400, 2000, 10000, 1000}, {0, 0, 0, 0, 0}, 0, false,
     {300, 600, 1200, 2400, 2400}},
    {"WaitFallsBackAfterCalm", {300, 4000, 1000, 10000, 1000}, {0, 0, 1500}, 0, false,
     {300, 600, 300}},
    {"SpinningPageIsEndedAndComesBack", {300, 4000, 60000, 1500, 250}, {}, -1, false, {300}},
    {"BriefHangIsLeftAlone", {300, 4000, 60000, 4000, 250}, {}, 2500, false, {}},
    {"FailedLoadIsLeftAsItIs", {200, 4000, 60000, 1500, 250}, {}, 0, true, {}},
};
// clang-format on

void PrintTo(const KeeperCase& row, std::ostream* out) { *out << row.name; }

// The calling page, which spins spinMs (-1: for ever) once it has loaded.
void WritePage(const QString& path, int spinMs) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write((QStringLiteral("<input id=\"phone-number\"><input type=\"button\" id=\"ext-gen69\">"
                             "<script>window.clicks = 0;"
                             "document.getElementById('ext-gen69').onclick = () => clicks++;") +
              EnginePage::BusyScript(spinMs) + QStringLiteral("</script>"))
                 .toUtf8());
}

class PageKeeperTest : public ::testing::TestWithParam<KeeperCase> {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<QTemporaryDir>();
    page_ = std::make_unique<EnginePage>();
  }

  // The box goes while its page keeps dying and a reload is due: nothing may fire after.
  static void TearDownTestSuite() {
    QWebEnginePage* web = page_->box().page();
    page_->box().keeper().setTimings({50, 100, 60000, 10000, 1000});
    QObject::connect(web, &QWebEnginePage::loadFinished, web, [] { page_->KillRenderer(); });
    int reloads = 0;
    QObject::connect(&page_->box().keeper(), &qt::PageKeeper::reloading, [&] { ++reloads; });
    page_->KillRenderer();
    EXPECT_TRUE(QTest::qWaitFor([&] { return reloads >= 3; }, 10000));
    page_.reset();
    QTest::qWait(300);
    dir_.reset();
  }

  static std::unique_ptr<QTemporaryDir> dir_;
  static std::unique_ptr<EnginePage> page_;
};

std::unique_ptr<QTemporaryDir> PageKeeperTest::dir_;
std::unique_ptr<EnginePage> PageKeeperTest::page_;

TEST_P(PageKeeperTest, PageComesBackAndTakesAPress) {
  const KeeperCase& row = GetParam();
  qt::BrowserBox& box = page_->box();
  QWebEnginePage* web = box.page();
  box.keeper().setTimings(row.timings);
  const QString path = dir_->filePath(QString::fromLatin1(row.name) + QStringLiteral(".html"));
  if (!row.missing) WritePage(path, row.spinMs);
  const QUrl url = QUrl::fromLocalFile(path);

  // When each renderer ended and each reload started, from the test's start.
  QElapsedTimer clock;
  clock.start();
  std::vector<qint64> ends, reloads;
  bool loaded = false, ok = false;
  size_t kills = 0;
  QObject context;
  QObject::connect(web, &QWebEnginePage::renderProcessTerminated, &context,
                   [&] { ends.push_back(clock.elapsed()); });
  QObject::connect(&box.keeper(), &qt::PageKeeper::reloading, &context, [&](const QUrl& what) {
    EXPECT_EQ(what, url);
    reloads.push_back(clock.elapsed());
    loaded = false;
  });
  QObject::connect(web, &QWebEnginePage::loadFinished, &context, [&](bool success) {
    loaded = true;
    ok = success;
    if (kills < row.killAfterMs.size()) {
      QTimer::singleShot(row.killAfterMs[kills++], &context, [] { page_->KillRenderer(); });
    }
  });
  box.load(url);
  ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 10000));
  ASSERT_EQ(ok, !row.missing);

  qint64 hungAt = 0;
  if (row.spinMs != 0) {  // a press meets the page spinning
    QTest::qWait(200);
    EXPECT_FALSE(page_->Press().works());
    ASSERT_TRUE(box.bridge().hung());
    hungAt = clock.elapsed();
    // Once hung, calls fail at once instead of waiting out their time again.
    QElapsedTimer call;
    call.start();
    EXPECT_TRUE(box.bridge().Document().IsEmpty());
    EXPECT_FALSE(page_->Press().bound);
    EXPECT_LT(call.elapsed(), qt::PageBridge::kCallTimeoutMs / 4);
    WritePage(path, 0);  // what the page shows once it has loaded again
  }

  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return reloads.size() == row.waitsMs.size() && loaded && !box.bridge().hung(); },
      30000))
      << reloads.size() << " reloads";
  QTest::qWait(row.timings.firstWaitMs * 2);  // and no further reload
  ASSERT_TRUE(reloads.size() == row.waitsMs.size() && ends.size() == reloads.size());
  for (size_t i = 0; i < reloads.size(); ++i) {
    EXPECT_GE(reloads[i] - ends[i], row.waitsMs[i] * 95 / 100) << "reload " << i;
    EXPECT_LE(reloads[i] - ends[i], row.waitsMs[i] * 3 / 2 + 150) << "reload " << i;
  }
  if (row.spinMs < 0) {  // the hung page's renderer ended once its hang time was up
    EXPECT_GE(ends[0] - hungAt, row.timings.hangMs - row.timings.probeMs / 2);
  }
  EXPECT_EQ(box.url(), url);
  EXPECT_EQ(page_->Press().works(), !row.missing);
  EXPECT_EQ(page_->Evaluate(
                QStringLiteral("`${document.getElementById('phone-number').value} ${clicks}`")),
            row.missing ? QVariant() : QVariant(QStringLiteral("+8613800138000 1")));
}

// A page that has stopped answering and then waits on its message is not hung, however long
// the message stays; the hang time starts again once it is answered, and a real hang after
// that ends the page.
TEST_F(PageKeeperTest, MessageHoldsTheHangClockAndARealHangAfterItEndsThePage) {
  qt::BrowserBox& box = page_->box();
  const qt::KeeperTimings timings{300, 4000, 60000, 2500, 100};
  box.keeper().setTimings(timings);
  const QString path = dir_->filePath(QStringLiteral("message.html"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(
      "<script>setTimeout(() => { const end = Date.now() + 1500; while (Date.now() < end) {}"
      " alert('x'); while (true) {} }, 0)</script>");
  file.close();
  QElapsedTimer clock;
  qint64 closed = -1, ended = -1;
  QObject context;
  QObject::connect(box.page(), &QWebEnginePage::renderProcessTerminated, &context,
                   [&] { ended = clock.elapsed(); });
  QSignalSpy loaded(box.page(), &QWebEnginePage::loadFinished);
  box.load(QUrl::fromLocalFile(path));
  ASSERT_TRUE(loaded.wait(10000));
  clock.start();
  // A call meets the page busy, before its message; the user answers the message well past
  // the hang time, from the message's own event loop.
  QTimer::singleShot(100, &context, [&] { EXPECT_TRUE(box.bridge().Document().IsEmpty()); });
  QTimer::singleShot(6000, &context, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (qobject_cast<QDialog*>(widget) != nullptr && widget->isVisible()) {
        closed = clock.elapsed();
        widget->close();
      }
    }
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return ended >= 0; }, 20000));
  EXPECT_GT(closed, 0) << "the page ended while its message was open, at " << ended;
  EXPECT_GE(ended - closed, timings.hangMs - 2 * timings.probeMs) << "ended too soon after";
  WritePage(path, 0);
  ASSERT_TRUE(loaded.wait(10000));  // the keeper's reload
}

INSTANTIATE_TEST_SUITE_P(Keeper, PageKeeperTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quillo::testing
