// Reading a large browser: 40 windows of 500 tabs each, with the Chromium and Safari read
// scripts, run by the script engine against a simulated browser. The baseline builds the
// same six-list reply from the same browser calls without a script, so the difference is
// what parsing and interpreting the script costs; a second baseline builds it from one copy
// of the whole state.
//
// The full path times `windows(of:)` through BrowserSurface → permission check →
// AppleScriptRunner → AppleEventLane → ScriptEngine, down to `WindowFacts`.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "script/BrowserRegistry.h"
#include "script/ScriptEngine.h"
#include "script/SimulatedBrowser.h"
#include "surfaces/AppleScriptRunner.h"
#include "surfaces/BrowserAdapters.h"
#include "surfaces/BrowserSurface.h"

namespace {

using namespace tervane;

constexpr int kWindows = 40;
constexpr int kTabsPerWindow = 500;

// The adapters' read scripts, exactly as they send them.
std::string chromiumReadScript() { return ChromiumAdapter(BrowserKind::chrome).readScript(); }
std::string safariReadScript() { return SafariAdapter().readScript(); }

SimulatedState bigState() {
  SimulatedState state;
  for (int w = 0; w < kWindows; ++w) {
    SimulatedWindow window;
    window.id = 1000 + w;
    window.minimized = w % 3 == 0;
    window.activeTabIndex = 1 + w % kTabsPerWindow;
    for (int t = 0; t < kTabsPerWindow; ++t) {
      window.tabs.push_back(SimulatedTab{
          "Tab " + std::to_string(t) + " of window " + std::to_string(w) + " - Example",
          "https://site" + std::to_string(t % 37) + ".example.com/path/" + std::to_string(t)});
    }
    state.windows.push_back(std::move(window));
  }
  return state;
}

struct BigBrowsers {
  std::shared_ptr<SimulatedBrowser> chrome =
      std::make_shared<SimulatedBrowser>(ScriptDictionary::chromium, bigState());
  std::shared_ptr<SimulatedBrowser> safari =
      std::make_shared<SimulatedBrowser>(ScriptDictionary::safari, bigState());
  std::shared_ptr<BrowserRegistry> registry = [this] {
    auto r = std::make_shared<BrowserRegistry>();
    r->add("Google Chrome", chrome);
    r->add("Safari", safari);
    return r;
  }();
  std::shared_ptr<ScriptEngine> engine = std::make_shared<ScriptEngine>(registry);
};

BigBrowsers& browsers() {
  static BigBrowsers instance;
  return instance;
}

// Moves the six lists into one reply (an initializer list would copy them).
ReplyDescriptor sixLists(std::vector<ReplyDescriptor> ids, std::vector<ReplyDescriptor> minimized,
                         std::vector<ReplyDescriptor> counts, std::vector<ReplyDescriptor> titles,
                         std::vector<ReplyDescriptor> urls, std::vector<ReplyDescriptor> actives) {
  std::vector<ReplyDescriptor> lists;
  lists.reserve(6);
  for (auto* list : {&ids, &minimized, &counts, &titles, &urls, &actives}) {
    lists.push_back(ReplyDescriptor::list(std::move(*list)));
  }
  return ReplyDescriptor::list(std::move(lists));
}

// Baseline: the same reply from the same browser calls the script makes, without a script.
void BM_SixListsFromBrowserCalls(benchmark::State& st) {
  ScriptableBrowser& browser = *browsers().chrome;
  for (auto _ : st) {
    std::vector<ReplyDescriptor> ids, minimized, counts, titles, urls, actives;
    if (!browser.connect().ok()) st.SkipWithError("connect failed");
    const auto windows = browser.windowIds();
    for (auto id : windows.value()) {
      const int count = browser.tabCount(id).value();
      (void)browser.windowIndex(id);
      ids.push_back(ReplyDescriptor::integer(id));
      minimized.push_back(ReplyDescriptor::boolean(browser.isMinimized(id).value()));
      counts.push_back(ReplyDescriptor::integer(count));
      const auto active = browser.activeTabIndex(id);
      const int activeIndex = active.ok() ? active.value() : 0;
      for (int i = 1; i <= count; ++i) {
        titles.push_back(ReplyDescriptor::string(browser.tabTitle(id, i).value()));
        urls.push_back(ReplyDescriptor::string(browser.tabUrl(id, i).value()));
        actives.push_back(ReplyDescriptor::boolean(i == activeIndex));
      }
    }
    auto reply = sixLists(std::move(ids), std::move(minimized), std::move(counts),
                          std::move(titles), std::move(urls), std::move(actives));
    benchmark::DoNotOptimize(reply);
  }
}

// A second baseline: the same reply made from one copy of the whole state.
void BM_SixListsFromStateCopy(benchmark::State& st) {
  auto& b = browsers();
  for (auto _ : st) {
    const auto state = b.chrome->state();
    std::vector<ReplyDescriptor> ids, minimized, counts, titles, urls, actives;
    for (const auto& w : state.windows) {
      ids.push_back(ReplyDescriptor::integer(w.id));
      minimized.push_back(ReplyDescriptor::boolean(w.minimized));
      counts.push_back(ReplyDescriptor::integer(static_cast<std::int64_t>(w.tabs.size())));
      for (std::size_t i = 0; i < w.tabs.size(); ++i) {
        titles.push_back(ReplyDescriptor::string(w.tabs[i].title));
        urls.push_back(ReplyDescriptor::string(w.tabs[i].url.value_or("")));
        actives.push_back(ReplyDescriptor::boolean(static_cast<int>(i) + 1 == w.activeTabIndex));
      }
    }
    auto reply = sixLists(std::move(ids), std::move(minimized), std::move(counts),
                          std::move(titles), std::move(urls), std::move(actives));
    benchmark::DoNotOptimize(reply);
  }
}

void runRead(benchmark::State& st, const std::string& script) {
  auto& b = browsers();
  for (auto _ : st) {
    auto outcome = b.engine->execute(script);
    const auto* reply = std::get_if<ReplyDescriptor>(&outcome);
    if (!reply || reply->numberOfItems() != 6 ||
        (*reply->items())[4].numberOfItems() != kWindows * kTabsPerWindow) {
      st.SkipWithError("the read script did not give the six lists");
      break;
    }
    benchmark::DoNotOptimize(outcome);
  }
}

void BM_EngineChromiumRead(benchmark::State& st) {
  runRead(st, chromiumReadScript());
}
void BM_EngineSafariRead(benchmark::State& st) {
  runRead(st, safariReadScript());
}

// Every running browser is allowed, as on an X11 desktop.
class AllowAll final : public AutomationPermission {
 public:
  std::vector<std::string> runningApplicationIds() override { return {"com.google.Chrome"}; }
  std::optional<int> automationStatus(const std::string&, bool) override { return 0; }
};

void BM_SurfaceChromiumWindows(benchmark::State& st) {
  auto lane = std::make_shared<AppleEventLane>();
  auto runner = std::make_shared<AppleScriptRunner>(lane, browsers().engine);
  auto permission = std::make_shared<BrowserPermission>(lane, std::make_shared<AllowAll>());
  BrowserSurface surface(runner, permission);
  for (auto _ : st) {
    auto windows = surface.windows(BrowserKind::chrome);
    if (!windows || windows.value().size() != kWindows) {
      st.SkipWithError("the surface did not read the windows");
      break;
    }
    benchmark::DoNotOptimize(windows);
  }
}

void BM_ParseChromiumRead(benchmark::State& st) {
  const auto script = chromiumReadScript();
  for (auto _ : st) benchmark::DoNotOptimize(ScriptEngine::check(script));
}

}  // namespace

#define TERVANE_READ_BENCHMARK(name, unit) \
  BENCHMARK(name)->Unit(unit)->Repetitions(15)->ReportAggregatesOnly(true)

TERVANE_READ_BENCHMARK(BM_SixListsFromBrowserCalls, benchmark::kMillisecond);
TERVANE_READ_BENCHMARK(BM_SixListsFromStateCopy, benchmark::kMillisecond);
TERVANE_READ_BENCHMARK(BM_EngineChromiumRead, benchmark::kMillisecond);
TERVANE_READ_BENCHMARK(BM_EngineSafariRead, benchmark::kMillisecond);
TERVANE_READ_BENCHMARK(BM_SurfaceChromiumWindows, benchmark::kMillisecond);
TERVANE_READ_BENCHMARK(BM_ParseChromiumRead, benchmark::kMicrosecond);

BENCHMARK_MAIN();
