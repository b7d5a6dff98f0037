// The application's end of the companion: a real socket in a temporary folder and
// stand-in hosts that answer like the extension, or misbehave.
#include "companion/CompanionBrowser.h"

#include <poll.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "companion/NativeFraming.h"
#include "posix/UnixSocket.h"
#include "script/ScriptEngine.h"
#include "script/SimulatedBrowser.h"
#include "support/TempDir.h"
#include "surfaces/AppleScriptRunner.h"
#include "surfaces/BrowserAdapters.h"

namespace tervane::companion {
namespace {

using nlohmann::json;
using Answer = std::function<std::optional<json>(const json& request)>;

// A host that says hello and then answers each request with `answer` (nothing: it hangs
// up; an empty object: it keeps silent) on its own thread.
struct StandInHost {
  StandInHost(const std::filesystem::path& socket, const std::string& browser, Answer answer) {
    fd = posix::connectToAny({socket}, "not running").value();
    send({{"hello", {{"browser", browser}, {"profile", "/p/" + browser}}}});
    reading = std::thread([this, answer = std::move(answer)] {
      FrameReader reader;
      char buffer[4096];
      while (true) {
        const auto got = ::recv(fd.get(), buffer, sizeof buffer, 0);
        if (got <= 0) return;
        reader.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
        for (auto next = reader.next(); next && next.value(); next = reader.next()) {
          auto reply = answer(*next.value());
          if (!reply) {
            ::shutdown(fd.get(), SHUT_RDWR);
            return;
          }
          if (reply->empty()) continue;
          (*reply)["id"] = (*next.value())["id"];
          send(*reply);
        }
      }
    });
  }
  ~StandInHost() {
    ::shutdown(fd.get(), SHUT_RDWR);
    reading.join();
  }
  void send(const json& message) { sendRaw(NativeFraming::encode(message).value()); }
  void sendRaw(const std::string& bytes) {
    ASSERT_EQ(::send(fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  posix::UniqueFd fd;
  std::thread reading;
};

json window(int id, bool minimized, std::vector<std::pair<std::string, std::string>> tabs,
            int active) {
  json out{{"id", id}, {"minimized", minimized}, {"visible", true}, {"activeTab", active}};
  out["tabs"] = json::array();
  for (auto& [title, url] : tabs) out["tabs"].push_back({{"title", title}, {"url", url}});
  return out;
}

// Answers like the extension over a fixed set of windows; minimizing takes effect unless
// `stubborn`.
Answer extension(json windows, bool stubborn = false) {
  auto state = std::make_shared<json>(std::move(windows));
  return [state, stubborn](const json& r) -> std::optional<json> {
    const auto op = r["op"].get<std::string>();
    if (op == "list") return json{{"ok", true}, {"windows", *state}};
    for (auto& w : *state) {
      if (w["id"] != r["window"]) continue;
      if (op == "setMinimized" && !stubborn) w["minimized"] = r["minimized"];
      return json{{"ok", true}, {"minimized", w["minimized"]}};
    }
    return json{{"ok", false}, {"error", "noSuchWindow"}};
  };
}

class Companion : public ::testing::Test {
 protected:
  void SetUp() override {
    server = CompanionServer::start(dir / "companion", {0.5, [this](std::size_t count) {
                                                          std::lock_guard lock(heardMutex);
                                                          heard = count;
                                                          heardChange.notify_all();
                                                        }})
                 .value();
  }
  // Waits until the server both holds and has told of `count` links.
  void awaitLinks(std::size_t count) {
    ASSERT_TRUE(server->awaitLinks(count, 5));
    std::unique_lock lock(heardMutex);
    ASSERT_TRUE(heardChange.wait_for(lock, std::chrono::seconds(5), [&] { return heard == count; }));
  }

  testing::TempDir dir;
  std::mutex heardMutex;
  std::condition_variable heardChange;
  std::size_t heard = 0;
  std::shared_ptr<CompanionServer> server;
};

TEST_F(Companion, ReadsTabsOfEveryProfileAndActsOnTheRightOne) {
  StandInHost one(dir / "companion", "chromium",
                  extension({window(1, false, {{"A", "https://a.test/x"}, {"B", ""}}, 2),
                             window(5, false, {}, 0)}));
  StandInHost two(
      dir / "companion", "chrome",
      extension({window(2, true, {{"C", "http://c.test/"}}, 1), window(5, true, {}, 0)}));
  awaitLinks(2);
  auto registry = std::make_shared<BrowserRegistry>();
  CompanionBrowserLookup lookup(server, registry);
  auto browser = lookup.browserNamed("Google Chrome");
  ASSERT_TRUE(browser);
  ASSERT_TRUE(browser->connect().ok());
  // A window id both profiles use is listed once, from the first.
  ASSERT_EQ(browser->windowIds().value(), (std::vector<std::int64_t>{1, 5, 2}));
  EXPECT_FALSE(browser->isMinimized(5).value());
  EXPECT_EQ(browser->tabUrl(1, 1).value(), "https://a.test/x");
  EXPECT_EQ(browser->tabUrl(1, 2).error().code, ScriptErrors::noSuchObject);
  EXPECT_EQ(browser->activeTabIndex(1).value(), 2);
  EXPECT_EQ(browser->tabTitle(2, 1).value(), "C");

  // Each act goes to the profile that holds the window (the other knows no such window).
  ASSERT_TRUE(browser->setMinimized(2, false).ok());
  ASSERT_TRUE(browser->setMinimized(1, true).ok());
  ASSERT_TRUE(browser->connect().ok());  // a new script reads afresh
  EXPECT_FALSE(browser->isMinimized(2).value());
  EXPECT_TRUE(browser->isMinimized(1).value());

  EXPECT_EQ(lookup.browserNamed("Brave Browser"), nullptr) << "no companion, no fallback";

  // A window the desktop knows by its own id (read before the companion connected) is
  // moved there; the listing stays the companion's.
  auto windows = std::make_shared<SimulatedBrowser>(
      ScriptDictionary::chromium, SimulatedState{{{6291459, true, true, 1, {{"D", {}}}}}});
  registry->add("Google Chrome", windows);
  ASSERT_TRUE(browser->connect().ok());
  ASSERT_TRUE(browser->setMinimized(6291459, false).ok());
  EXPECT_FALSE(windows->state().windows.at(0).minimized);
  EXPECT_EQ(browser->windowIds().value(), (std::vector<std::int64_t>{1, 5, 2}));
  EXPECT_EQ(browser->isMinimized(7).error().code, ScriptErrors::noSuchObject);
}

// Through the lane, as every script runs: the lane gives up on its own limit (cut short
// here) and the script is refused as busy, though the companion's own bound is far off.
TEST_F(Companion, ACompanionThatNeverAnswersGivesTheLanesRefusal) {
  auto host = std::make_unique<StandInHost>(dir / "companion", "chromium",
                                            [](const json&) { return json::object(); });
  awaitLinks(1);
  std::vector<double> budgets;
  auto lane = std::make_shared<AppleEventLane>([&](BrowserKind, double budget) {
    budgets.push_back(budget);
    return 0.05;
  });
  AppleScriptRunner runner(lane, std::make_shared<ScriptEngine>(
                                     std::make_shared<CompanionBrowserLookup>(server, nullptr)));
  const auto reply =
      runner.run(ChromiumAdapter(BrowserKind::chrome).readScript(), BrowserKind::chrome);
  ASSERT_FALSE(reply.ok());
  EXPECT_EQ(reply.error().type(), AppleScriptError::Type::busy);
  EXPECT_EQ(budgets, std::vector<double>{AppleScriptRunner::kBudgetSeconds});
  EXPECT_EQ(lane->stuck(BrowserKind::chrome), 1) << "the call still waits on its own thread";
  // When the companion goes, the call that waited on it ends rather than its worker
  // lingering to the companion's own bound.
  host.reset();
  lane->waitUntilStuckAtMost(BrowserKind::chrome, 0);
}

TEST_F(Companion, PeersThatMisbehaveAreDroppedAndOthersStillServed) {
  {
    // Which bytes break a stream is the frame reader's to say; any break drops the peer.
    StandInHost bad(dir / "companion", "chromium", extension({}));
    bad.sendRaw(NativeFraming::encode({{"x", 1}}).value() + "junk");
    pollfd p{bad.fd.get(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_EQ(::recv(bad.fd.get(), nullptr, 0, MSG_PEEK | MSG_DONTWAIT), 0) << "dropped";
    // A peer that never says hello is dropped after the hello time.
    auto silent = posix::connectToAny({dir / "companion"}, "").value();
    p.fd = silent.get();
    EXPECT_EQ(::poll(&p, 1, 5000), 1);
  }
  awaitLinks(0);
  StandInHost stubborn(dir / "companion", "brave", extension({window(4, false, {}, 0)}, true));
  StandInHost leaving(dir / "companion", "edge", [](const json&) { return std::nullopt; });
  awaitLinks(2);
  // A window the browser did not move is a refusal.
  CompanionBrowser brave(server, {"brave"});
  ASSERT_TRUE(brave.connect().ok());
  EXPECT_EQ(brave.windowIds().value(), std::vector<std::int64_t>{4});
  EXPECT_EQ(brave.setMinimized(4, true).error().code, ScriptErrors::cannotSet);
  EXPECT_EQ(brave.activeTabIndex(4).error().code, ScriptErrors::noSuchObject);
  // A companion that leaves mid-call fails it at once, long before the call's own bound.
  CompanionBrowser edge(server, {"edge"}, 3600);
  ASSERT_TRUE(edge.connect().ok());
  EXPECT_EQ(edge.windowIds().error().code, ScriptErrors::notRunning);
  awaitLinks(1);
  EXPECT_EQ(edge.connect().error().code, ScriptErrors::notRunning);
}

}  // namespace
}  // namespace tervane::companion
