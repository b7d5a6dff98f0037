#include "surfaces/BrowserSurface.h"

#include <gtest/gtest.h>

#include "core/surfaces/SurfaceFakes.h"
#include "surfaces/AppleScriptRunner.h"

namespace tervane {
namespace {

using testing::FakeAutomationPermission;
using testing::FakeScriptExecutor;
using testing::Gate;
using R = ReplyDescriptor;

// The whole core path: surface, permission and runner on one lane, with the platform's
// script executor and permission hook faked.
struct BrowserSurfaceTest : ::testing::Test {
  BrowserSurfaceTest() { platform->setRunning({"com.google.Chrome", "com.apple.Safari"}); }

  BrowserSurface surfaceWithPermissionBudget(double seconds) {
    return BrowserSurface(std::make_shared<AppleScriptRunner>(lane, executor),
                          std::make_shared<BrowserPermission>(lane, platform, seconds));
  }

  std::shared_ptr<AppleEventLane> lane = std::make_shared<AppleEventLane>();
  std::shared_ptr<FakeScriptExecutor> executor = std::make_shared<FakeScriptExecutor>();
  std::shared_ptr<FakeAutomationPermission> platform = std::make_shared<FakeAutomationPermission>();
  BrowserSurface surface = surfaceWithPermissionBudget(10.0);
};

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

}  // namespace
}  // namespace tervane
