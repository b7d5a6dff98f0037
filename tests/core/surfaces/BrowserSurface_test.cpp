#include "surfaces/BrowserSurface.h"

#include <gtest/gtest.h>

#include <deque>
#include <latch>
#include <limits>
#include <map>
#include <mutex>
#include <tuple>

#include "surfaces/AppleScriptRunner.h"
#include "surfaces/AutomationPermission.h"
#include "surfaces/BrowserAdapters.h"
#include "surfaces/BrowserPermission.h"
#include "surfaces/ScriptExecutor.h"

namespace tervane {
namespace {

using Gate = std::latch;
using R = ReplyDescriptor;
using Auth = BrowserAuthorization;

// Records every call and takes its answer under one lock, then holds the call at `gate` if
// the test has set one. The test sets the public members only while no call runs.
template <typename Call>
class CallRecorder {
 public:
  std::vector<Call> calls() const {
    std::lock_guard guard(mutex_);
    return calls_;
  }
  std::shared_ptr<Gate> gate;

 protected:
  template <typename Answer>
  auto record(Call call, Answer answer) {
    std::unique_lock lock(mutex_);
    calls_.push_back(std::move(call));
    auto result = answer();
    lock.unlock();
    if (gate) gate->wait();
    return result;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
};

// Records the scripts; answers the queued outcomes in order, then missing.
class FakeScriptExecutor final : public ScriptExecutor, public CallRecorder<std::string> {
 public:
  ScriptOutcome execute(const std::string& script) override {
    return record(script, [&]() -> ScriptOutcome {
      if (answers.empty()) return ReplyDescriptor();
      auto answer = answers.front();
      answers.pop_front();
      return answer;
    });
  }
  std::deque<ScriptOutcome> answers;
};

// The bundle id, whether the person may be asked, and the lane worker the query ran on.
using PermissionQuery = std::tuple<std::string, bool, std::optional<std::string>>;

// The platform's permission hook; identifiers without a status answer 0 (allowed).
class FakeAutomationPermission final : public AutomationPermission,
                                       public CallRecorder<PermissionQuery> {
 public:
  std::vector<std::string> runningApplicationIds() override { return running; }
  std::optional<int> automationStatus(const std::string& bundleId, bool askUserIfNeeded) override {
    return record({bundleId, askUserIfNeeded, AppleEventLane::currentQueueLabel()}, [&] {
      const auto it = statuses.find(bundleId);
      return it == statuses.end() ? std::optional<int>(0) : it->second;
    });
  }
  std::vector<std::string> running = {"com.google.Chrome", "com.apple.Safari"};
  std::map<std::string, std::optional<int>> statuses;
};

// Runner, permission and the surface made of both, on one lane, with the platform's
// script executor and permission hook faked; each test suite below names its part.
struct BrowserControlTest : ::testing::Test {
  BrowserSurface surfaceWithPermissionBudget(double seconds) {
    return BrowserSurface(std::make_shared<AppleScriptRunner>(lane, executor),
                          std::make_shared<BrowserPermission>(lane, platform, seconds));
  }

  std::shared_ptr<AppleEventLane> lane = std::make_shared<AppleEventLane>();
  std::shared_ptr<FakeScriptExecutor> executor = std::make_shared<FakeScriptExecutor>();
  std::shared_ptr<FakeAutomationPermission> platform = std::make_shared<FakeAutomationPermission>();
  BrowserPermission permission{lane, platform, 10.0};
  BrowserSurface surface = surfaceWithPermissionBudget(10.0);
};
using AppleScriptRunnerTest = BrowserControlTest;
using BrowserPermissionTest = BrowserControlTest;
using BrowserSurfaceTest = BrowserControlTest;

// Safari's read script answers six lists: here one frontmost window with two tabs. A reply
// of another shape gives no windows.
TEST_F(BrowserSurfaceTest, WindowsSendsTheAdaptersReadScriptAndReadsOnlyAReplyThatFits) {
  const auto list = [](std::vector<R> items) { return R::list(std::move(items)); };
  auto six = std::vector<R>{list({R::integer(5)}), list({R::boolean(false)}), list({R::integer(2)}),
                            list({R::string("Mail"), R::string("News")}),
                            list({R::string("https://mail.example.com/"), R::string("")}),
                            list({R::boolean(false), R::boolean(true)})};
  executor->answers.push_back(R::list(six));
  const std::vector<TabFacts> tabs = {{"Mail", "https://mail.example.com/", false},
                                      {"News", "", true}};
  EXPECT_EQ(surface.windows(BrowserKind::safari).value(),
            (std::vector<WindowFacts>{{BrowserKind::safari, 5, tabs, true, false}}));
  EXPECT_EQ(executor->calls(), std::vector<std::string>{SafariAdapter().readScript()});

  const SafariAdapter safari;
  auto five = six;
  five.pop_back();
  EXPECT_TRUE(safari.windowsFromReply(R::list(five)).empty());
  EXPECT_TRUE(safari.windowsFromReply(R::integer(6)).empty());
  six[3] = R::missing();  // reads as an empty list, so the tab lists no longer line up
  EXPECT_TRUE(safari.windowsFromReply(R::list(six)).empty());
}

TEST_F(BrowserSurfaceTest, WindowsFailsByTheAuthorizationWithoutSendingAScript) {
  EXPECT_EQ(surface.windows(BrowserKind::edge).error(), AppleScriptError::notRunning());
  for (const auto& [status, error] : {std::pair{-1743, AppleScriptError::notPermitted()},
                                      {-1744, AppleScriptError::notPermitted()},
                                      {-50, AppleScriptError::failed(-50, "authorization unknown")}}) {
    platform->statuses["com.google.Chrome"] = status;
    EXPECT_EQ(surface.windows(BrowserKind::chrome).error(), error) << status;
  }
  EXPECT_TRUE(executor->calls().empty());

  auto gate = std::make_shared<Gate>(1);
  platform->gate = gate;
  auto impatient = surfaceWithPermissionBudget(0.02);
  EXPECT_EQ(impatient.windows(BrowserKind::chrome).error(), AppleScriptError::busy());
  gate->count_down();
  lane->joinAbandonedWorkers();
  EXPECT_TRUE(executor->calls().empty());
}

TEST_F(BrowserSurfaceTest, MovesSendTheirScriptOnlyWhenAllowed) {
  EXPECT_EQ(surface.minimize({}, BrowserKind::chrome).value(), 0);
  EXPECT_TRUE(platform->calls().empty());  // not even the permission query

  executor->answers.push_back(R::integer(2));
  EXPECT_EQ(surface.minimize({12, 40}, BrowserKind::chrome).value(), 2);
  executor->answers.push_back(R::integer(1));
  EXPECT_EQ(surface.restore({12}, BrowserKind::chrome).value(), 1);
  executor->answers.push_back(ScriptFailure{false, -1728, "no such window"});
  EXPECT_EQ(surface.focus(12, 3, BrowserKind::safari).error(), AppleScriptError::staleReference());
  const ChromiumAdapter chrome(BrowserKind::chrome);
  EXPECT_EQ(executor->calls(),
            (std::vector<std::string>{chrome.setMinimizedScript(true, {12, 40}),
                                      chrome.setMinimizedScript(false, {12}),
                                      SafariAdapter().focusScript(12, 3)}));

  // Not running, refused, or unknown: the moves all answer notPermitted.
  EXPECT_EQ(surface.minimize({1}, BrowserKind::brave).error(), AppleScriptError::notPermitted());
  platform->statuses["com.google.Chrome"] = -1744;
  EXPECT_EQ(surface.restore({1}, BrowserKind::chrome).error(), AppleScriptError::notPermitted());
  platform->statuses["com.apple.Safari"] = 99;
  EXPECT_EQ(surface.focus(1, 1, BrowserKind::safari).error(), AppleScriptError::notPermitted());
  EXPECT_EQ(executor->calls().size(), 3u);
}

TEST_F(AppleScriptRunnerTest, GivesTheReplyOrTheMappedFailure) {
  AppleScriptRunner runner(lane, executor);
  const auto reply = R::list({R::integer(3)});
  executor->answers.push_back(reply);
  EXPECT_EQ(runner.run("return {3}", BrowserKind::chrome).value(), reply);
  EXPECT_EQ(executor->calls(), std::vector<std::string>{"return {3}"});

  // Named cases drop the message; `failed` keeps both, and both tell errors apart.
  const std::pair<ScriptFailure, AppleScriptError> failures[] = {
      {ScriptFailure::couldNotCompile(), AppleScriptError::failed(0, "could not compile")},
      {{false, std::nullopt, "it broke"}, AppleScriptError::failed(0, "it broke")},
      {{false, -2753, std::nullopt}, AppleScriptError::failed(-2753, "unknown")},
      {{false, -2700, "boom"}, AppleScriptError::failed(-2700, "boom")},
      {{false, -1728, "no such window"}, AppleScriptError::staleReference()},
      {{false, -1743, "not allowed"}, AppleScriptError::notPermitted()},
      {{false, -600, "gone"}, AppleScriptError::notRunning()},
      {{false, -609, "invalid connection"}, AppleScriptError::notRunning()},
  };
  for (const auto& [failure, error] : failures) {
    executor->answers.push_back(failure);
    EXPECT_EQ(runner.run("x", BrowserKind::safari).error(), error) << failure.number.value_or(0);
  }
  EXPECT_NE(AppleScriptError::failed(1, "a"), AppleScriptError::failed(1, "b"));
  EXPECT_NE(AppleScriptError::failed(1, "a"), AppleScriptError::failed(2, "a"));

  // A script that hangs releases the caller as busy.
  auto gate = std::make_shared<Gate>(1);
  executor->gate = gate;
  EXPECT_EQ(AppleScriptRunner(lane, executor, 0.02).run("w", BrowserKind::brave).error(),
            AppleScriptError::busy());
  gate->count_down();
  lane->joinAbandonedWorkers();
}

// Running browsers are listed in their fixed order; one that is not running is never
// queried. Consent is asked on the calling thread, the status on the browser's lane.
TEST_F(BrowserPermissionTest, ConsentIsAskedOnTheCallingThreadAndTheStatusOnTheBrowsersLane) {
  platform->running = {"com.microsoft.edgemac", "org.example.editor", "com.apple.Safari",
                       "com.google.Chrome", "com.google.Chrome.canary"};
  EXPECT_EQ(
      permission.presence().running(),
      (std::vector<BrowserKind>{BrowserKind::chrome, BrowserKind::safari, BrowserKind::edge}));
  EXPECT_EQ(permission.requestConsent(BrowserKind::brave), Auth::notRunning());
  EXPECT_TRUE(platform->calls().empty());
  platform->statuses["com.apple.Safari"] = -1743;
  EXPECT_EQ(permission.requestConsent(BrowserKind::safari), Auth::denied());

  const std::vector<std::pair<std::optional<int>, Auth>> table = {
      {0, Auth::allowed()},       {-1743, Auth::denied()},         {-1744, Auth::needsConsent()},
      {-600, Auth::notRunning()}, {-10000, Auth::unknown(-10000)}, {std::nullopt, Auth::unknown(0)},
  };
  for (const auto& [status, expected] : table) {
    platform->statuses["com.google.Chrome"] = status;
    EXPECT_EQ(permission.status(BrowserKind::chrome), expected);
  }
  std::vector<PermissionQuery> queries = {{"com.apple.Safari", true, std::nullopt}};
  queries.resize(1 + table.size(), {"com.google.Chrome", false, "org.tervane.now.ae.chrome"});
  EXPECT_EQ(platform->calls(), queries);
  EXPECT_NE(Auth::unknown(1), Auth::unknown(2));
}

TEST(BrowserAdapters, AssembleBuildsWindowsOnlyFromListsThatLineUp) {
  const ChromiumAdapter chrome(BrowserKind::chrome);
  const std::vector<std::string> names = {"a", "b", "c", "d", "e"};
  const std::vector<std::string> urls = {"ua", "ub", "uc", "ud", "ue"};
  const std::vector<bool> actives = {false, true, false, true, false};

  using Tabs = std::vector<TabFacts>;
  const Tabs first = {{"a", "ua", false}, {"b", "ub", true}, {"c", "uc", false}};
  const Tabs second = {{"d", "ud", true}, {"e", "ue", false}};
  const auto kind = BrowserKind::chrome;
  EXPECT_EQ(
      chrome.assemble({11, 12}, {false, true}, {3, 2}, names, urls, actives),
      (std::vector<WindowFacts>{{kind, 11, first, true, false}, {kind, 12, second, false, true}}));
  // A window without tabs is left out and moves no offset; when it is the front one, no
  // reported window is frontmost.
  EXPECT_EQ(chrome.assemble({10, 11, 12}, {false, false, false}, {0, 3, 2}, names, urls, actives),
            (std::vector<WindowFacts>{{kind, 11, first, false, false},
                                      {kind, 12, second, false, false}}));

  EXPECT_TRUE(chrome.assemble({11, 12}, {false}, {3, 2}, names, urls, actives).empty());
  EXPECT_TRUE(chrome.assemble({11, 12}, {false, false}, {3, 2}, names, {"ua"}, actives).empty());
  EXPECT_TRUE(chrome.assemble({11, 12}, {false, false}, {2, 2}, names, urls, actives).empty());
  EXPECT_TRUE(chrome.assemble({11, 12, 13}, {false, false, false}, {-1, 1, 5}, names, urls, actives)
                  .empty());
  EXPECT_TRUE(chrome.assemble({}, {}, {}, {}, {}, {}).empty());
  // Counts so large that their sum wraps round to the number of tabs still do not line up.
  constexpr auto kHuge = std::numeric_limits<std::int64_t>::max();
  EXPECT_TRUE(
      chrome.assemble({11, 12, 13}, {false, false, false}, {kHuge, kHuge, 2}, {}, {}, {}).empty());
  EXPECT_TRUE(
      chrome.assemble({11, 12}, {false, false}, {kHuge, 1}, {"a", "b"}, {"ua", "ub"}, {true, false})
          .empty());
}

TEST(ReplyDescriptor, ListReadersCoerceEachItem) {
  const auto list = R::list({R::string("Yes"), R::string("TRUE"), R::string("no"), R::missing(),
                             R::boolean(true), R::integer(4294967297), R::list({R::integer(1)})});
  EXPECT_EQ(list.boolList(), (std::vector<bool>{true, true, false, false, true, false, false}));
  EXPECT_EQ(list.stringList(),
            (std::vector<std::string>{"Yes", "TRUE", "no", "", "true", "4294967297", ""}));
  // The 32-bit value, widened; a missing or unreadable item is 0.
  EXPECT_EQ(list.intList(), (std::vector<std::int64_t>{0, 0, 0, 0, 1, 1, 0}));
  EXPECT_EQ(R::list({R::integer(-5), R::string("12")}).intList(),
            (std::vector<std::int64_t>{-5, 12}));
  // Anything but a non-empty list reads as empty lists.
  for (const auto& reply : {R::list({}), R::missing(), R::string("a, b"), R::integer(3)}) {
    EXPECT_TRUE(reply.stringList().empty());
    EXPECT_TRUE(reply.intList().empty());
    EXPECT_TRUE(reply.boolList().empty());
  }
  EXPECT_EQ(R::list({R::integer(1), R::boolean(false), R::string("t"), R::missing(), R::list({})})
                .toJson()
                .dump(),
            R"([1,false,"t",null,[]])");
}

}  // namespace
}  // namespace tervane
