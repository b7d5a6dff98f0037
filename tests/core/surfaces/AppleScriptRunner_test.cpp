#include "surfaces/AppleScriptRunner.h"

#include <gtest/gtest.h>

#include "core/surfaces/SurfaceFakes.h"

namespace tervane {
namespace {

using testing::FakeScriptExecutor;
using testing::Gate;

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

struct AppleScriptRunnerTest : ::testing::Test {
  std::shared_ptr<AppleEventLane> lane = std::make_shared<AppleEventLane>();
  std::shared_ptr<FakeScriptExecutor> executor = std::make_shared<FakeScriptExecutor>();
};

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

}  // namespace
}  // namespace tervane
