#include "surfaces/BrowserPermission.h"

#include <gtest/gtest.h>

#include "core/surfaces/SurfaceFakes.h"

namespace tervane {
namespace {

using testing::FakeAutomationPermission;
using testing::Gate;
using Auth = BrowserAuthorization;

struct BrowserPermissionTest : ::testing::Test {
  std::shared_ptr<AppleEventLane> lane = std::make_shared<AppleEventLane>();
  std::shared_ptr<FakeAutomationPermission> platform = std::make_shared<FakeAutomationPermission>();
  BrowserPermission permission{lane, platform, 10.0};
};

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
