// Reading every window and tab of a browser with 10 windows of 20 tabs, with the Chromium
// read script run by the script engine: through the companion socket (a stand-in host
// answering the listing as the extension does, over the real socket and framing), for
// Chromium and for Firefox (found by its name through the companion lookup, as the
// application finds it), against the same read of 10 browser windows through X11 on a
// private desktop, in the same run.
//
// The companion's figure is the application's side of the round trip; the browser's own
// part (the extension asking its windows and tabs) comes on top of it.
//
//   bench_companion_read --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <memory>
#include <string>
#include <thread>
#include <variant>

#include "companion/CompanionBrowser.h"
#include "companion/NativeFraming.h"
#include "linux/X11ScriptableBrowser.h"
#include "posix/UnixSocket.h"
#include "script/ScriptEngine.h"
#include "support/TempDir.h"
#include "support/XTestDesktop.h"
#include "surfaces/BrowserAdapters.h"

namespace {

using namespace tervane;

constexpr int kWindows = 10;
constexpr int kTabsPerWindow = 20;

nlohmann::json listing() {
  nlohmann::json windows = nlohmann::json::array();
  for (int w = 0; w < kWindows; ++w) {
    nlohmann::json tabs = nlohmann::json::array();
    for (int t = 0; t < kTabsPerWindow; ++t) {
      tabs.push_back({{"title", "Tab " + std::to_string(t) + " of window " + std::to_string(w)},
                      {"url", "https://site" + std::to_string(t % 7) + ".example.com/path/" +
                                  std::to_string(t)}});
    }
    windows.push_back({{"id", 1000 + w},
                       {"minimized", w % 3 == 0},
                       {"visible", true},
                       {"activeTab", 1 + w % kTabsPerWindow},
                       {"tabs", tabs}});
  }
  return windows;
}

// A host that says hello and answers every request with the listing.
class StandInHost {
 public:
  StandInHost(const std::filesystem::path& socket, const std::string& kind) {
    fd_ = posix::connectToAny({socket}, "not running").value();
    send({{"hello", {{"browser", kind}, {"profile", "/bench"}}}});
    thread_ = std::thread([this] {
      const auto windows = listing();
      companion::FrameReader reader;
      char buffer[4096];
      while (true) {
        const auto got = ::recv(fd_.get(), buffer, sizeof buffer, 0);
        if (got <= 0) return;
        reader.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
        for (auto next = reader.next(); next && next.value(); next = reader.next()) {
          send({{"id", (*next.value())["id"]}, {"ok", true}, {"windows", windows}});
        }
      }
    });
  }
  ~StandInHost() {
    ::shutdown(fd_.get(), SHUT_RDWR);
    thread_.join();
  }

 private:
  void send(const nlohmann::json& message) {
    const auto frame = companion::NativeFraming::encode(message).value();
    (void)::send(fd_.get(), frame.data(), frame.size(), MSG_NOSIGNAL);
  }
  posix::UniqueFd fd_;
  std::thread thread_;
};

void readAll(benchmark::State& state, ScriptEngine& engine, BrowserKind kind,
             std::size_t expectedWindows) {
  const auto script = ChromiumAdapter(kind).readScript();
  for (auto _ : state) {
    auto outcome = engine.execute(script);
    const auto* reply = std::get_if<ReplyDescriptor>(&outcome);
    if (reply == nullptr || !reply->item(1) ||
        reply->item(1)->intList().size() != expectedWindows) {
      state.SkipWithError("the read did not list every window");
      return;
    }
    benchmark::DoNotOptimize(outcome);
  }
}

// `kind` is the companion's kind as its host names it: chromium or firefox.
void companionRead(benchmark::State& state, const std::string& kind) {
  testing::TempDir dir;
  std::shared_ptr<companion::CompanionServer> server =
      companion::CompanionServer::start(dir / "companion").value();
  StandInHost host(dir / "companion", kind);
  if (!server->awaitLinks(1, 10)) {
    state.SkipWithError("the stand-in host did not connect");
    return;
  }
  const auto browser = kind == "firefox" ? BrowserKind::firefox : BrowserKind::chrome;
  ScriptEngine engine(std::make_shared<companion::CompanionBrowserLookup>(server, nullptr));
  readAll(state, engine, browser, kWindows);
  state.counters["tabs"] = kWindows * kTabsPerWindow;
}

void x11Read(benchmark::State& state) {
  testing::XTestDesktop desktop;
  for (int w = 0; w < kWindows; ++w) {
    desktop.createWindow(testing::XTestDesktop::WindowSpec::ofClass("Chromium")
                             .titled("Page " + std::to_string(w) + " - Chromium"));
  }
  auto connection = x11::XConnection::open(desktop.display()).value();
  auto registry = std::make_shared<BrowserRegistry>();
  registry->add("Google Chrome",
                std::make_shared<x11::X11ScriptableBrowser>(connection, BrowserKind::chrome));
  ScriptEngine engine(registry);
  readAll(state, engine, BrowserKind::chrome, kWindows);
  state.counters["tabs"] = kWindows;
}

}  // namespace

BENCHMARK_CAPTURE(companionRead, chromium, std::string("chromium"))
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(companionRead, firefox, std::string("firefox"))
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);
BENCHMARK(x11Read)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
