// The main of a benchmark over engine pages: the application first, the benchmarks, then the
// shared page, which must go before the application does.
#pragma once

#include <benchmark/benchmark.h>

#include "engine_fixture.h"

namespace quillo::testing {

inline int RunEngineBenchmarks(int argc, char** argv) {
  const auto app = MakeEngineApplication(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ReleaseSharedPage();
  return 0;
}

}  // namespace quillo::testing
