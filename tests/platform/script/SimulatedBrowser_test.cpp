#include "script/SimulatedBrowser.h"

#include <gtest/gtest.h>

#include "ScriptTestSupport.h"

namespace tervane::testing {
namespace {

TEST(SimulatedBrowser, StatesAreCheckedAndWrittenBackAndFailuresStartAtTheChosenCall) {
  const auto state = SimulatedState::parse(R"({"windows":[
    {"id":7,"tabs":[{"title":"A","url":"https://a/"},{"title":"Blank","url":null}]},
    {"id":8,"minimized":true,"visible":false,"activeTabIndex":0,"tabs":[]}]})");
  ASSERT_TRUE(state.ok()) << state.error().message;
  const auto written = state.value().toJson();
  EXPECT_EQ(written, nlohmann::json::parse(R"({"windows":[
    {"id":7,"minimized":false,"visible":true,"activeTabIndex":1,
     "tabs":[{"title":"A","url":"https://a/"},{"title":"Blank"}]},
    {"id":8,"minimized":true,"visible":false,"activeTabIndex":0,"tabs":[]}]})"));
  EXPECT_EQ(SimulatedState::fromJson(written).value(), state.value());

  SimulatedBrowser browser(ScriptDictionary::chromium, state.value());
  browser.failWith(-1743, "", 2);
  EXPECT_TRUE(browser.connect().ok());
  EXPECT_TRUE(browser.windowIds().ok());
  EXPECT_EQ(browser.tabCount(7).error().code, -1743);
  EXPECT_EQ(browser.isMinimized(8).error().code, -1743);
  browser.stopFailing();
  EXPECT_TRUE(browser.isMinimized(8).value());
  EXPECT_EQ(browser.calls(), 5);
  EXPECT_FALSE(browser.dropWindow(99));

  // Invalid states are refused with a clear reason.
  const std::pair<const char*, const char*> cases[] = {
      {"{\"windows\":[", "not JSON"}, {"[]", "must be an object"},
      {"{}", "\"windows\" must be a list"},
      {R"({"windows":[{"id":7}]})", "\"tabs\" must be a list"},
      {R"({"windows":[{"id":"7","tabs":[]}]})", "window 1: \"id\" must be a whole number"},
      {R"({"windows":[{"id":7,"tabs":[]},{"id":7,"tabs":[]}]})", "id 7 is used twice"},
      {R"({"windows":[{"id":18446744073709551615,"tabs":[]}]})", "\"id\" must be a whole number"},
      {R"({"windows":[{"id":7,"activeTabIndex":2,"tabs":[{"title":"a"}]}]})",
       "\"activeTabIndex\" 2 is not between 0 and 1"},
      {R"({"windows":[{"id":7,"minimised":true,"tabs":[]}]})", "unknown field \"minimised\""},
      {R"({"windows":[{"id":7,"visible":"yes","tabs":[]}]})", "\"visible\" must be true or false"},
      {R"({"windows":[{"id":7,"tabs":[{"url":"u"}]}]})", "tab 1: \"title\" must be a string"},
      {R"({"windows":[{"id":7,"tabs":[{"title":"a","url":3}]}]})", "\"url\" must be a string"}};
  for (const auto& [text, reason] : cases) {
    EXPECT_THAT(SimulatedState::parse(text).error().message, ::testing::HasSubstr(reason)) << text;
  }
}

}  // namespace
}  // namespace tervane::testing
