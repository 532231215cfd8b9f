// What a call into the page costs: a bare script round trip, one by-name call through the
// bridge, a new document's load and first search, the element search and a whole press on
// pages of growing size, and the resident memory a thousand presses leave behind.
#include <benchmark/benchmark.h>
#include <dirent.h>

#include <QEventLoop>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "engine_bench_main.h"
#include "engine_fixture.h"
#include "page_bridge.h"
#include "web_page_operator.h"

namespace quillo::testing {
namespace {

EnginePage& Page() { return SharedPage(); }

// A page of count text inputs with "phone-number" last, then the call button.
void LoadInputs(int count) {
  QString body;
  for (int i = 1; i < count; ++i) body += QStringLiteral("<input name=\"n%1\">").arg(i);
  body += QStringLiteral("<input id=\"phone-number\"><input type=\"button\" id=\"ext-gen69\">");
  Page().LoadBody(body);
}

void BM_BareRoundTrip(benchmark::State& state) {
  LoadInputs(3);
  QWebEnginePage* page = Page().box().page();
  for (auto _ : state) {
    // The same nested wait as the bridge's, around the smallest script.
    auto done = std::make_shared<bool>(false);
    QEventLoop loop;
    page->runJavaScript(QStringLiteral("1"), qt::PageBridge::kWorld,
                        [done, &loop](const QVariant&) {
                          *done = true;
                          loop.quit();
                        });
    if (!*done) loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
}
BENCHMARK(BM_BareRoundTrip)->Unit(benchmark::kMicrosecond);

void BM_BridgeCall(benchmark::State& state) {
  LoadInputs(3);
  const AutomationObject document = Page().box().bridge().Document();
  const AutomationObject body = document.GetObject("body");
  for (auto _ : state) benchmark::DoNotOptimize(body.GetText("id"));
}
BENCHMARK(BM_BridgeCall)->Unit(benchmark::kMicrosecond);

// A new document and the first search in it: the bridge's page side comes with the first call.
void BM_LoadAndFirstSearch(benchmark::State& state) {
  WebPageOperator op;
  for (auto _ : state) {
    LoadInputs(3);
    op.Bind(Page().box().registryHandle());
    if (op.FindTextBox("phone-number", 0).IsEmpty()) state.SkipWithError("phone-number not found");
  }
}
BENCHMARK(BM_LoadAndFirstSearch)->Unit(benchmark::kMillisecond);

void BM_FindFormElement(benchmark::State& state) {
  const int inputs = static_cast<int>(state.range(0));
  LoadInputs(inputs);
  WebPageOperator op;
  op.Bind(Page().box().registryHandle());
  const long long before = Page().box().bridge().roundTrips();
  for (auto _ : state) {
    std::int32_t position = 0;
    if (op.FindFormElement(kTextBoxTypes, "phone-number", 0, position).IsEmpty()) {
      state.SkipWithError("phone-number not found");
    }
  }
  const double trips = static_cast<double>(Page().box().bridge().roundTrips() - before) /
                       static_cast<double>(state.iterations());
  state.counters["round_trips"] = trips;
  state.counters["trips_per_candidate"] = trips / inputs;
}
BENCHMARK(BM_FindFormElement)
    ->Arg(3)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond);

void BM_PlaceCall(benchmark::State& state) {
  LoadInputs(static_cast<int>(state.range(0)));
  WebPageOperator op;
  const long long before = Page().box().bridge().roundTrips();
  for (auto _ : state) {
    op.Bind(Page().box().registryHandle());
    op.FillTextBox("phone-number", "+8613800138000", 0);
    op.ClickButton("ext-gen69", 0);
  }
  state.counters["round_trips"] = static_cast<double>(Page().box().bridge().roundTrips() - before) /
                                  static_cast<double>(state.iterations());
}
BENCHMARK(BM_PlaceCall)->Arg(3)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Resident memory of this process and every process below it, in kB.
long ResidentKb(int pid = getpid()) {
  long total = 0;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) total += std::stol(line.substr(6));
  }
  std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                         "/children");
  for (int child; children >> child;) total += ResidentKb(child);
  return total;
}

// Collects the page's garbage in both script worlds, so a reading shows what is held rather
// than when the collector last ran.
void CollectGarbage() {
  for (quint32 world : {0u, qt::PageBridge::kWorld}) {
    Page().Evaluate(QStringLiteral("typeof gc === 'function' && gc(); 1"), world);
  }
}

void BM_ThousandPressesMemory(benchmark::State& state) {
  LoadInputs(3);
  WebPageOperator op;
  const auto press = [&op] {
    op.Bind(Page().box().registryHandle());
    op.FillTextBox("phone-number", "+8613800138000", 0);
    op.ClickButton("ext-gen69", 0);
  };
  for (int i = 0; i < 200; ++i) press();  // settle caches and heaps before the baseline
  for (auto _ : state) {
    CollectGarbage();
    const long before = ResidentKb();
    const int registryBefore = Page().box().bridge().RegistrySize();
    for (int i = 0; i < 1000; ++i) press();
    CollectGarbage();
    state.counters["rss_growth_kb"] = static_cast<double>(ResidentKb() - before);
    state.counters["registry_growth"] = Page().box().bridge().RegistrySize() - registryBefore;
    state.counters["rss_total_kb"] = static_cast<double>(ResidentKb());
  }
}
BENCHMARK(BM_ThousandPressesMemory)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillo::testing

int main(int argc, char** argv) {
  // Lets the memory benchmark collect the page's garbage before it reads the memory.
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--js-flags=--expose-gc", 0);
  return quillo::testing::RunEngineBenchmarks(argc, argv);
}
