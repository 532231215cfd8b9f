// The page keeper at work: how long the call button stays without effect when the calling
// page's renderer ends, and when the page stops answering for good: from that moment to the
// first press that fills and clicks again, with the keeper's own timings. Presses are tried
// every 10 ms.
#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>

#include "engine_bench_main.h"
#include "engine_fixture.h"
#include "page_keeper.h"

namespace quillo::testing {
namespace {

EnginePage& Page() { return SharedPage(); }

QString WritePage(bool spin) {
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("calling.html"));
  QFile file(path);
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(EnginePage::CallingPage(spin ? EnginePage::BusyScript(-1) : QString()).toUtf8());
  return path;
}

void Load(const QString& path) {
  QSignalSpy loaded(Page().box().page(), &QWebEnginePage::loadFinished);
  Page().box().load(QUrl::fromLocalFile(path));
  loaded.wait(10000);
}

// Presses until one works; the seconds since clock started.
void PressUntilItWorks(benchmark::State& state, const QElapsedTimer& clock) {
  while (!Page().Press().works()) QTest::qWait(10);
  state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
}

void BM_CrashToWorkingPress(benchmark::State& state) {
  for (auto _ : state) {
    Load(WritePage(false));
    Page().box().keeper().setTimings({});  // the waits start afresh, as after a calm spell
    QElapsedTimer clock;
    clock.start();
    Page().KillRenderer();
    PressUntilItWorks(state, clock);
  }
}
BENCHMARK(BM_CrashToWorkingPress)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_HangToWorkingPress(benchmark::State& state) {
  for (auto _ : state) {
    Load(WritePage(true));
    Page().box().keeper().setTimings({});
    WritePage(false);  // what the page shows once it has loaded again
    QElapsedTimer clock;
    clock.start();  // the page spins from now on
    PressUntilItWorks(state, clock);
  }
}
BENCHMARK(BM_HangToWorkingPress)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillo::testing

int main(int argc, char** argv) { return quillo::testing::RunEngineBenchmarks(argc, argv); }
