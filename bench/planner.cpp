// Planning cost: `plan` over N applications plus `planWindows` over N windows of 10 tabs,
// with a realistic mix of remembered choices and a wanted set. The baseline copies the
// same inputs once, so the ratio shows what the rules cost beyond touching the data.
#include <benchmark/benchmark.h>

#include "stage/StagePlanner.h"

namespace tervane {
namespace {

struct Inputs {
  std::vector<AppFacts> apps;
  std::vector<WindowFacts> windows;
  RememberedChoices memory;
  std::set<std::string> wanted;
  std::set<std::string> wantedTabs;
};

Inputs makeInputs(int n) {
  Inputs in;
  for (int i = 0; i < n; ++i) {
    const auto id = "com.example.app" + std::to_string(i);
    in.apps.push_back(AppFacts{id, "App " + std::to_string(i), i == 0,
                               i % 7 == 0 ? std::nullopt : std::optional<double>(i * 3.0), i % 50 != 1});
    if (i % 10 == 3) in.memory[id] = i % 20 == 3 ? StagePlanner::Remembered::keep : StagePlanner::Remembered::stow;
    if (i % 5 == 0) in.wanted.insert("App " + std::to_string(i));

    WindowFacts w{kAllBrowserKinds[static_cast<std::size_t>(i % 4)], 1000 + i, {}, i % 25 == 0, i % 30 == 0};
    for (int t = 0; t < 10; ++t) {
      const auto host = "site" + std::to_string((i * 10 + t) % 400) + ".example.com";
      w.tabs.push_back(TabFacts{"Page " + std::to_string(t) + " of " + host, "https://www." + host + "/p/" + std::to_string(t), t == 0});
    }
    in.windows.push_back(std::move(w));
  }
  for (int h = 0; h < 400; h += 9) in.memory[hostKey("site" + std::to_string(h) + ".example.com")] = StagePlanner::Remembered::keep;
  in.wantedTabs.insert("Page 3 of site33.example.com");
  return in;
}

void BM_PlanAppsAndWindows(benchmark::State& state) {
  const auto in = makeInputs(static_cast<int>(state.range(0)));
  const std::set<std::string> stowedIds = {"com.apple.Safari"};
  for (auto _ : state) {
    auto plan = StagePlanner::plan(in.apps, SeedRule::defaultRule(), 10, in.memory, in.wanted, {});
    auto windows = StagePlanner::planWindows(in.windows, stowedIds, SeedRule::defaultRule(), 10,
                                             in.memory, in.wantedTabs);
    benchmark::DoNotOptimize(plan);
    benchmark::DoNotOptimize(windows);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_PlanAppsAndWindows)->Arg(100)->Arg(1000)->Arg(10000)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// Baseline: copying the inputs, the least any plan must do to produce its lists.
void BM_CopyInputsBaseline(benchmark::State& state) {
  const auto in = makeInputs(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto apps = in.apps;
    auto windows = in.windows;
    benchmark::DoNotOptimize(apps);
    benchmark::DoNotOptimize(windows);
  }
}
BENCHMARK(BM_CopyInputsBaseline)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tervane

BENCHMARK_MAIN();
