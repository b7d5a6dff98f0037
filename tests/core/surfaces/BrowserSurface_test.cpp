#include "surfaces/BrowserSurface.h"

#include <gtest/gtest.h>

#include "core/surfaces/SurfaceFakes.h"
#include "surfaces/AppleScriptRunner.h"
#include "surfaces/BrowserPermission.h"

namespace tervane {
namespace {

using testing::FakeAutomationPermission;
using testing::FakeScriptExecutor;
using testing::Gate;
using R = ReplyDescriptor;
using Auth = BrowserAuthorization;

// Runner, permission and the surface made of both, on one lane, with the platform's
// script executor and permission hook faked; each test suite below names its part.
struct BrowserControlTest : ::testing::Test {
  BrowserControlTest() { platform->setRunning({"com.google.Chrome", "com.apple.Safari"}); }

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

R twoWindowReply() {
  const auto list = [](std::vector<R> items) { return R::list(std::move(items)); };
  return list(
      {list({R::integer(11), R::integer(12)}), list({R::boolean(false), R::string("true")}),
       list({R::integer(3), R::integer(2)}),
       list({R::string("a"), R::string("b"), R::string("c"), R::string("d"), R::string("e")}),
       list({R::string("1"), R::string("2"), R::string("3"), R::string("4"), R::string("5")}),
       list({R::boolean(true), R::boolean(false), R::boolean(false), R::boolean(false),
             R::boolean(true)})});
}

TEST_F(BrowserSurfaceTest, WindowsSendsTheAdaptersReadScriptWhenAllowed) {
  executor->answer(twoWindowReply());
  auto windows = surface.windows(BrowserKind::safari);
  ASSERT_TRUE(windows.ok()) << windows.error();
  ASSERT_EQ(windows.value().size(), 2u);
  EXPECT_EQ(windows.value(), SafariAdapter().windowsFromReply(twoWindowReply()));
  EXPECT_EQ(executor->scripts(), std::vector<std::string>{SafariAdapter().readScript()});

  executor->answer(ScriptFailure{false, -600, "gone"});
  EXPECT_EQ(surface.windows(BrowserKind::chrome).error(), AppleScriptError::notRunning());
  executor->answer(R::list({}));
  auto none = surface.windows(BrowserKind::chrome);
  ASSERT_TRUE(none.ok());
  EXPECT_TRUE(none.value().empty());
}

TEST_F(BrowserSurfaceTest, WindowsFailsByTheAuthorizationWithoutSendingAScript) {
  EXPECT_EQ(surface.windows(BrowserKind::edge).error(), AppleScriptError::notRunning());
  platform->setStatus("com.google.Chrome", -1743);
  EXPECT_EQ(surface.windows(BrowserKind::chrome).error(), AppleScriptError::notPermitted());
  platform->setStatus("com.google.Chrome", -1744);
  EXPECT_EQ(surface.windows(BrowserKind::chrome).error(), AppleScriptError::notPermitted());
  platform->setStatus("com.google.Chrome", -50);
  EXPECT_EQ(surface.windows(BrowserKind::chrome).error(),
            AppleScriptError::failed(-50, "authorization unknown"));
  EXPECT_TRUE(executor->scripts().empty());

  auto gate = std::make_shared<Gate>();
  platform->holdAt(gate);
  auto impatient = surfaceWithPermissionBudget(0.02);
  EXPECT_EQ(impatient.windows(BrowserKind::chrome).error(), AppleScriptError::busy());
  gate->open();
  lane->joinAbandonedWorkers();
  EXPECT_TRUE(executor->scripts().empty());
}

TEST_F(BrowserSurfaceTest, MovesSendTheirScriptOnlyWhenAllowed) {
  EXPECT_EQ(surface.minimize({}, BrowserKind::chrome).value(), 0);
  EXPECT_TRUE(platform->calls().empty());  // not even the permission query

  executor->answer(R::integer(2));
  EXPECT_EQ(surface.minimize({12, 40}, BrowserKind::chrome).value(), 2);
  executor->answer(R::integer(1));
  EXPECT_EQ(surface.restore({12}, BrowserKind::chrome).value(), 1);
  executor->answer(ScriptFailure{false, -1728, "no such window"});
  EXPECT_EQ(surface.focus(12, 3, BrowserKind::safari).error(), AppleScriptError::staleReference());
  const ChromiumAdapter chrome(BrowserKind::chrome);
  EXPECT_EQ(executor->scripts(),
            (std::vector<std::string>{chrome.setMinimizedScript(true, {12, 40}),
                                      chrome.setMinimizedScript(false, {12}),
                                      SafariAdapter().focusScript(12, 3)}));

  // Not running, refused, or unknown: the moves all answer notPermitted.
  EXPECT_EQ(surface.minimize({1}, BrowserKind::brave).error(), AppleScriptError::notPermitted());
  platform->setStatus("com.google.Chrome", -1744);
  EXPECT_EQ(surface.restore({1}, BrowserKind::chrome).error(), AppleScriptError::notPermitted());
  platform->setStatus("com.apple.Safari", 99);
  EXPECT_EQ(surface.focus(1, 1, BrowserKind::safari).error(), AppleScriptError::notPermitted());
  EXPECT_EQ(executor->scripts().size(), 3u);
}

TEST(AppleScriptError, MapsScriptErrorNumbers) {
  EXPECT_EQ(AppleScriptError(-1743, "not allowed"), AppleScriptError::notPermitted());
  EXPECT_EQ(AppleScriptError(-600, "gone"), AppleScriptError::notRunning());
  EXPECT_EQ(AppleScriptError(-609, "invalid connection"), AppleScriptError::notRunning());
  EXPECT_EQ(AppleScriptError(-1728, "no such window"), AppleScriptError::staleReference());
  EXPECT_EQ(AppleScriptError(-2700, "boom"), AppleScriptError::failed(-2700, "boom"));
  // The named cases drop the message; failed compares code and message.
  EXPECT_EQ(AppleScriptError(-1728, "a").message(), "");
  EXPECT_NE(AppleScriptError::failed(1, "a"), AppleScriptError::failed(1, "b"));
  EXPECT_NE(AppleScriptError::failed(1, "a"), AppleScriptError::failed(2, "a"));
}

TEST_F(AppleScriptRunnerTest, GivesTheReplyOrTheMappedFailure) {
  AppleScriptRunner runner(lane, executor);
  const auto reply = ReplyDescriptor::list({ReplyDescriptor::integer(3)});
  executor->answer(reply);
  executor->answer(ScriptFailure::couldNotCompile());
  executor->answer(ScriptFailure{false, std::nullopt, "it broke"});
  executor->answer(ScriptFailure{false, -2753, std::nullopt});
  executor->answer(ScriptFailure{false, -1728, std::nullopt});

  auto first = runner.run("return {3}", BrowserKind::chrome);
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(first.value(), reply);
  EXPECT_EQ(runner.run("tell", BrowserKind::chrome).error(),
            AppleScriptError::failed(0, "could not compile"));
  EXPECT_EQ(runner.run("x", BrowserKind::safari).error(), AppleScriptError::failed(0, "it broke"));
  EXPECT_EQ(runner.run("y", BrowserKind::safari).error(),
            AppleScriptError::failed(-2753, "unknown"));
  EXPECT_EQ(runner.run("z", BrowserKind::edge).error(), AppleScriptError::staleReference());
  EXPECT_EQ(executor->scripts(), (std::vector<std::string>{"return {3}", "tell", "x", "y", "z"}));
}

TEST_F(AppleScriptRunnerTest, AHungScriptReleasesTheCallerAsBusy) {
  auto gate = std::make_shared<Gate>();
  executor->holdAt(gate);
  AppleScriptRunner runner(lane, executor, 0.02);

  EXPECT_EQ(runner.run("one", BrowserKind::brave).error(), AppleScriptError::busy());
  EXPECT_EQ(runner.run("two", BrowserKind::brave).error(), AppleScriptError::busy());
  EXPECT_EQ(runner.run("three", BrowserKind::brave).error(), AppleScriptError::busy());
  executor->waitForCalls(2);
  EXPECT_EQ(executor->scripts(), (std::vector<std::string>{"one", "two"}));  // third refused

  gate->open();
  lane->joinAbandonedWorkers();
  AppleScriptRunner patient(lane, executor);
  EXPECT_TRUE(patient.run("four", BrowserKind::brave).ok());
}

TEST_F(BrowserPermissionTest, StatusMapsThePlatformAnswerOnTheBrowsersLane) {
  platform->setRunning({"com.google.Chrome"});
  const std::vector<std::pair<std::optional<int>, Auth>> table = {
      {0, Auth::allowed()},       {-1743, Auth::denied()},         {-1744, Auth::needsConsent()},
      {-600, Auth::notRunning()}, {-10000, Auth::unknown(-10000)}, {std::nullopt, Auth::unknown(0)},
  };
  for (const auto& [status, expected] : table) {
    platform->setStatus("com.google.Chrome", status);
    EXPECT_EQ(permission.status(BrowserKind::chrome), expected);
  }
  const auto queries = platform->calls();
  ASSERT_EQ(queries.size(), table.size());
  EXPECT_EQ(queries[0].bundleId, "com.google.Chrome");
  EXPECT_FALSE(queries[0].askUserIfNeeded);
  EXPECT_EQ(queries[0].laneLabel, "org.tervane.now.ae.chrome");

  EXPECT_TRUE(Auth::allowed().canRead());
  for (auto other :
       {Auth::unknown(0), Auth::denied(), Auth::needsConsent(), Auth::notRunning(), Auth::busy()}) {
    EXPECT_FALSE(other.canRead()) << other;
  }
  EXPECT_NE(Auth::unknown(1), Auth::unknown(2));
}

// Running browsers are listed in their fixed order; one that is not running is never
// queried, and consent is asked on the calling thread.
TEST_F(BrowserPermissionTest, ConsentIsAskedOnTheCallingThread) {
  platform->setRunning({"com.microsoft.edgemac", "org.example.editor", "com.apple.Safari",
                        "com.google.Chrome", "com.google.Chrome.canary"});
  EXPECT_EQ(
      permission.presence().running(),
      (std::vector<BrowserKind>{BrowserKind::chrome, BrowserKind::safari, BrowserKind::edge}));
  EXPECT_EQ(permission.status(BrowserKind::brave), Auth::notRunning());
  EXPECT_EQ(permission.requestConsent(BrowserKind::brave), Auth::notRunning());
  EXPECT_TRUE(platform->calls().empty());

  platform->setStatus("com.apple.Safari", -1743);
  EXPECT_EQ(permission.requestConsent(BrowserKind::safari), Auth::denied());
  ASSERT_EQ(platform->calls().size(), 1u);
  EXPECT_TRUE(platform->calls()[0].askUserIfNeeded);
  EXPECT_EQ(platform->calls()[0].laneLabel, std::nullopt);
}

TEST_F(BrowserPermissionTest, AHungQueryIsBusyAndTwoRefuseTheBrowser) {
  platform->setRunning({"com.brave.Browser"});
  auto gate = std::make_shared<Gate>();
  platform->holdAt(gate);
  BrowserPermission impatient(lane, platform, 0.02);

  EXPECT_EQ(impatient.status(BrowserKind::brave), Auth::busy());
  EXPECT_EQ(impatient.status(BrowserKind::brave), Auth::busy());
  platform->waitForCalls(2);
  EXPECT_EQ(permission.status(BrowserKind::brave), Auth::busy());  // refused, not queried
  EXPECT_EQ(platform->calls().size(), 2u);

  gate->open();
  lane->joinAbandonedWorkers();
}

}  // namespace
}  // namespace tervane
