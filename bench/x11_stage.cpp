// Staging on a private X desktop: 40 applications with 2 windows each (80 windows) and a
// 41st in front, put away by the session model's Start (planner, journal, hidden-window
// record, WM_CHANGE_STATE to every window), against minimizing the same 80 windows with
// one `xdotool windowminimize` per window, in the same run on the same desktop.
//
// The window manager is TERVANE_TEST_WM's (openbox by default). Bringing the 80 windows
// back through the model (Show everything, each restore read back before it counts) is
// reported as `restore_ms`.
//
// Both are timed from the first request until every one of the 80 windows is iconified:
// this program selects property changes on each window and, on each change of WM_STATE,
// reads that window's WM_STATE; the clock stops when the last of the 80 reads
// IconicState (the window manager has unmapped it and published the state). Bringing
// the windows back between iterations is not timed.
//
//   bench_x11_stage --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <xcb/xcb_icccm.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/Defaults.h"
#include "base/MainQueue.h"
#include "linux/WindowMover.h"
#include "linux/X11Platform.h"
#include "session/MacNowModel.h"
#include "support/ManualOffMain.h"
#include "support/TempDir.h"
#include "support/XTestDesktop.h"

namespace {

using namespace tervane;
using testing::XTestDesktop;

constexpr int kApps = 40;
constexpr int kWindowsPerApp = 2;

class NoPicker final : public ActPicking {
 public:
  bool isAvailable() override { return false; }
  void prewarm() override {}
  std::optional<std::set<std::string>> pick(const std::string&,
                                            const std::vector<std::string>&) override {
    return std::nullopt;
  }
};

class NoShield final : public ShieldPresenting {
 public:
  void present(const StageItem&, const std::string&, std::function<void(bool)>) override {}
  void dismiss() override {}
  bool isShowing() const override { return false; }
};

struct Bench {
  Bench() {
    for (int app = 0; app < kApps; ++app) {
      const std::string name = "App" + std::to_string(app + 10);
      for (int w = 0; w < kWindowsPerApp; ++w) {
        windows.push_back(desktop.createWindow(XTestDesktop::WindowSpec::ofClass(name)));
      }
    }
    front = desktop.createWindow(XTestDesktop::WindowSpec::ofClass("Front"));
    if (!desktop.waitActive(front)) throw std::runtime_error("the front window did not settle");
  }

  // Waits until each of the windows reads `iconic`. After each batch of events, only the
  // windows whose WM_STATE changed are read again, all in one round trip.
  void waitAll(bool iconic) {
    x11::XConnection& x = desktop.x();
    const xcb_atom_t wmState = x.extraAtoms().wmState;
    std::set<xcb_window_t> pending(windows.begin(), windows.end());
    std::set<xcb_window_t> changed = pending;
    auto events = x.onEvent([&](const x11::XEvent& event) {
      if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
      const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
      if (notify->atom == wmState && pending.count(notify->window) != 0) {
        changed.insert(notify->window);
      }
    });
    const auto readChanged = [&] {
      std::vector<std::pair<xcb_window_t, xcb_get_property_cookie_t>> cookies;
      for (xcb_window_t w : changed) {
        cookies.emplace_back(w, xcb_get_property(x.raw(), 0, w, wmState, wmState, 0, 2));
      }
      changed.clear();
      for (const auto& [w, cookie] : cookies) {
        auto reply = x.reply(xcb_get_property_reply, cookie);
        const bool isIconic = reply && xcb_get_property_value_length(reply.get()) >= 4 &&
                              *static_cast<const std::uint32_t*>(
                                  xcb_get_property_value(reply.get())) == XCB_ICCCM_WM_STATE_ICONIC;
        if (isIconic == iconic) pending.erase(w);
      }
      return pending.empty();
    };
    if (!XTestDesktop::pumpUntil(x, readChanged, 120)) {
      throw std::runtime_error("windows did not reach their state");
    }
  }

  // Every window back, and the front application in front again (a restored window
  // takes the focus).
  void restoreAll() {
    if (!mover.restore(windows, x11::WindowMover::Focus::give).complete(windows.size())) {
      throw std::runtime_error("windows did not come back");
    }
    x11::requestActivation(desktop.x(), front);
    desktop.x().flush();
    if (!desktop.waitActive(front)) throw std::runtime_error("the front window did not settle");
  }

  XTestDesktop desktop;
  x11::WindowMover mover{x11::XConnection::open(desktop.display()).value()};
  std::vector<xcb_window_t> windows;
  xcb_window_t front = 0;
};

Bench& bench() {
  static Bench instance;
  return instance;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_StartThroughTheModel(benchmark::State& state) {
  Bench& b = bench();
  testing::TempDir folder;
  auto clock = std::make_shared<ManualClock>();
  auto main = std::make_shared<ManualMainQueue>(*clock);
  auto offMain = std::make_shared<testing::ManualOffMain>();
  MemoryDefaults standard, shared;
  auto connection = x11::XConnection::open(b.desktop.display()).value();
  x11::X11Platform::Options options;
  options.stateFolder = folder / "state";
  options.desktopEntryFolders = {};
  options.shield = std::make_shared<NoShield>();
  auto platform = std::make_shared<x11::X11Platform>(connection, options);
  MacNowModel::Dependencies d;
  d.main = main;
  d.clock = clock;
  d.platform = platform;
  d.standardDefaults = std::shared_ptr<Defaults>(&standard, [](Defaults*) {});
  d.store = std::make_shared<Store>(shared);
  d.journal = std::make_shared<StageJournal>(folder / "state");
  d.memory = std::make_shared<StageMemory>(standard);
  d.monitor = platform->guardMonitor();
  d.offMain = offMain;
  d.picker = std::make_shared<NoPicker>();
  auto model = MacNowModel::make(std::move(d));
  model->capture("write the report");

  std::size_t stowed = 0;
  double requestsSent = 0;
  double restoring = 0;
  for (auto _ : state) {
    b.restoreAll();
    const auto start = std::chrono::steady_clock::now();
    model->set(SeedRule::defaultRule());
    while (offMain->runAll() > 0 || main->drain() > 0) {
    }
    requestsSent += secondsSince(start);
    b.waitAll(true);
    state.SetIterationTime(secondsSince(start));

    stowed = model->openStage() ? model->openStage()->stowed.size() : 0;
    const auto back = std::chrono::steady_clock::now();
    model->bringBack(true);
    restoring += secondsSince(back);
    if (!model->notBack().empty()) state.SkipWithError(model->notBack().c_str());
    while (offMain->runAll() > 0 || main->drain() > 0) {
    }
    connection->sync();
    connection->dispatch();
  }
  state.counters["apps_stowed"] = static_cast<double>(stowed);
  // How long Start itself took to return, all requests sent, per iteration.
  state.counters["start_returned_ms"] = requestsSent * 1000 / state.iterations();
  // Show everything through the model, every window read back, per iteration.
  state.counters["restore_ms"] = restoring * 1000 / state.iterations();
  state.counters["windows"] = static_cast<double>(b.windows.size());
}
BENCHMARK(BM_StartThroughTheModel)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_XdotoolMinimizeLoop(benchmark::State& state) {
  Bench& b = bench();
  for (auto _ : state) {
    b.restoreAll();
    const auto start = std::chrono::steady_clock::now();
    for (xcb_window_t w : b.windows) {
      if (b.desktop.run({"xdotool", "windowminimize", std::to_string(w)}) != 0) {
        state.SkipWithError("xdotool failed");
        return;
      }
    }
    b.waitAll(true);
    state.SetIterationTime(secondsSince(start));
  }
  b.restoreAll();
  state.counters["windows"] = static_cast<double>(b.windows.size());
}
BENCHMARK(BM_XdotoolMinimizeLoop)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
