#include "guard/GuardMonitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FakeActivationSource.h"

namespace tervane {
namespace {

TEST(GuardMonitor, WatchesBetweenStartAndStopWithTheFirstCallback) {
  auto shared = std::make_shared<testing::FakeActivationSource>("XTerm");
  auto& source = *shared;
  GuardMonitor monitor(shared);
  std::vector<std::string> first, second;

  source.activate("Before");
  monitor.stop();  // idle: nothing happens
  EXPECT_FALSE(monitor.isRunning());

  monitor.start([&](const std::string& id) { first.push_back(id); });
  monitor.start([&](const std::string& id) { second.push_back(id); });
  EXPECT_TRUE(monitor.isRunning());
  source.activate("XClock");
  source.activate("XTerm");
  EXPECT_EQ(first, (std::vector<std::string>{"XClock", "XTerm"}));
  EXPECT_TRUE(second.empty()) << "a second start while watching is dropped";

  monitor.stop();
  EXPECT_FALSE(monitor.isRunning());
  source.activate("XLogo");
  EXPECT_EQ(first.size(), 2u);

  monitor.start([&](const std::string& id) { second.push_back(id); });
  source.activate("XLogo");
  EXPECT_EQ(second, std::vector<std::string>{"XLogo"});
}

}  // namespace
}  // namespace tervane
