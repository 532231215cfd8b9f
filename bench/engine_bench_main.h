// The main of a benchmark over engine pages: the application first, the benchmarks, then the
// shared page, which must go before the application does.
#pragma once

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTest>
#include <chrono>

#include "engine_fixture.h"
#include "gui_runtime.h"

namespace quillo::testing {

inline int RunEngineBenchmarks(int argc, char** argv) {
  const auto app = MakeEngineApplication(argc, argv);
  // Everything runs while a press gives the page its turn, as in the program's window.
  SetProcessPendingMessagesHook([](std::chrono::milliseconds time) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (time.count() > 0) QTest::qWait(static_cast<int>(time.count()));
  });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ReleaseSharedPage();
  SetProcessPendingMessagesHook({});
  return 0;
}

}  // namespace quillo::testing
