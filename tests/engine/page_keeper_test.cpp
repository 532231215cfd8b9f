// Pages that lose their renderer or stop answering come back by themselves, after waits
// that grow while they keep dying; a page that only failed to load stays as it is.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <vector>

#include "engine_fixture.h"
#include "page_bridge.h"
#include "page_keeper.h"
#include "web_page_operator.h"

namespace quillo::testing {
namespace {

constexpr char kNumber[] = "+8613800138000";

struct KeeperCase {
  const char* name;
  qt::KeeperTimings timings;
  std::vector<int> killAfterMs;  // one renderer kill per entry, this long after a load
  int spinMs;                    // the first load spins this long after loading; -1 forever
  bool missing;                  // the page's file does not exist
  std::vector<int> waitsMs;      // expected wait from each renderer's end to its reload
};

const KeeperCase kCases[] = {
    {"KilledRendererComesBack", {}, {0}, 0, false, {1000}},
    {"WaitsDoubleUpToTheLongest", {100, 800, 60000, 10000, 1000}, {0, 0, 0, 0, 0}, 0, false,
     {100, 200, 400, 800, 800}},
    {"WaitFallsBackAfterCalm", {300, 4000, 1000, 10000, 1000}, {0, 0, 1500}, 0, false,
     {300, 600, 300}},
    {"SpinningPageIsEndedAndComesBack", {300, 4000, 60000, 1500, 250}, {}, -1, false, {300}},
    {"BriefHangIsLeftAlone", {300, 4000, 60000, 4000, 250}, {}, 2500, false, {}},
    {"FailedLoadIsLeftAsItIs", {200, 4000, 60000, 1500, 250}, {}, 0, true, {}},
};

void PrintTo(const KeeperCase& row, std::ostream* out) { *out << row.name; }

QByteArray CallingPage(int spinMs) {
  QByteArray html =
      "<!doctype html><meta charset=\"utf-8\"><input type=\"text\" id=\"phone-number\">"
      "<input type=\"button\" id=\"ext-gen69\"><script>window.clicks = 0;"
      "document.getElementById('ext-gen69').addEventListener('click', () => clicks++);";
  if (spinMs != 0) {
    html += "setTimeout(() => { const end = " +
            (spinMs < 0 ? QByteArray("Infinity") : "Date.now() + " + QByteArray::number(spinMs)) +
            "; while (Date.now() < end) {} }, 0);";
  }
  return html + "</script>";
}

void WritePage(const QString& path, int spinMs) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(CallingPage(spinMs));
}

// Ends the page's renderer as a crash would (never pid 0: that is the whole process group).
void KillRenderer(QWebEnginePage* web) {
  const qint64 pid = web->renderProcessPid();
  if (pid > 0) kill(static_cast<pid_t>(pid), SIGKILL);
}

void Pause(int ms) {
  WaitUntil([] { return false; }, ms);
}

bool PressWorks(EnginePage& page) {
  WebPageOperator op;
  const bool bound = op.Bind(page.box().windowHandle());
  const bool filled = op.FillTextBox("phone-number", kNumber, 0);
  const bool clicked = op.ClickButton("ext-gen69", 0);
  return bound && filled && clicked;
}

class PageKeeperTest : public ::testing::TestWithParam<KeeperCase> {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<QTemporaryDir>();
    page_ = std::make_unique<EnginePage>();
  }

  // A page that keeps dying is shut down while its reload is due: nothing may fire after.
  static void TearDownTestSuite() {
    QWebEnginePage* web = page_->box().page();
    page_->box().keeper().setTimings({50, 100, 60000, 10000, 1000});
    QObject::connect(web, &QWebEnginePage::loadFinished, web,
                     [web] { KillRenderer(web); });
    int reloads = 0;
    QObject::connect(&page_->box().keeper(), &qt::PageKeeper::reloading, [&] { ++reloads; });
    KillRenderer(web);
    EXPECT_TRUE(WaitUntil([&] { return reloads >= 3; }, 10000));
    page_.reset();
    Pause(300);
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

  QElapsedTimer clock;
  clock.start();
  std::vector<qint64> ends, reloads;
  qint64 hungKill = -1;
  bool loaded = false;
  bool ok = false;
  size_t kills = 0;
  QObject context;
  QObject::connect(web, &QWebEnginePage::renderProcessTerminated, &context,
                   [&] { ends.push_back(clock.elapsed()); });
  QObject::connect(&box.keeper(), &qt::PageKeeper::reloading, &context, [&](const QUrl& what) {
    EXPECT_EQ(what, url);
    reloads.push_back(clock.elapsed());
    loaded = false;
  });
  QObject::connect(&box.keeper(), &qt::PageKeeper::endingHungRenderer, &context,
                   [&] { hungKill = clock.elapsed(); });
  QObject::connect(web, &QWebEnginePage::loadFinished, &context, [&](bool success) {
    loaded = true;
    ok = success;
    if (kills < row.killAfterMs.size()) {
      QTimer::singleShot(row.killAfterMs[kills++], &context, [web] { KillRenderer(web); });
    }
  });
  box.load(url);
  ASSERT_TRUE(WaitUntil([&] { return loaded; }, 10000));
  ASSERT_EQ(ok, !row.missing);

  qint64 hungAt = -1;
  if (row.spinMs != 0) {
    Pause(200);  // the page starts to spin
    EXPECT_FALSE(PressWorks(*page_));
    ASSERT_TRUE(box.bridge().hung());
    hungAt = clock.elapsed();
    WritePage(path, 0);  // what the page shows once it has loaded again
  }

  const auto settled = [&] {
    return reloads.size() == row.waitsMs.size() && loaded && !box.bridge().hung();
  };
  ASSERT_TRUE(WaitUntil(settled, 30000)) << reloads.size() << " reloads";
  Pause(row.timings.firstWaitMs * 2);  // no reload beyond those expected comes
  ASSERT_EQ(reloads.size(), row.waitsMs.size());
  ASSERT_EQ(ends.size(), row.waitsMs.size());
  for (size_t i = 0; i < reloads.size(); ++i) {
    const qint64 wait = reloads[i] - ends[i];
    EXPECT_GE(wait, row.waitsMs[i] * 95 / 100) << "reload " << i;
    EXPECT_LE(wait, row.waitsMs[i] * 3 / 2 + 150) << "reload " << i;
  }
  EXPECT_EQ(hungKill >= 0, row.spinMs < 0);
  if (hungKill >= 0) {
    EXPECT_GE(hungKill - hungAt, row.timings.hangMs - row.timings.probeMs / 2);
  }

  EXPECT_EQ(box.url(), url);
  EXPECT_EQ(PressWorks(*page_), !row.missing);
  if (!row.missing) {
    EXPECT_EQ(page_->Evaluate(QStringLiteral("document.getElementById('phone-number').value"),
                              qt::PageBridge::kWorld),
              QString::fromLatin1(kNumber));
    EXPECT_EQ(page_->Evaluate(QStringLiteral("clicks")).toInt(), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(Keeper, PageKeeperTest, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace quillo::testing
