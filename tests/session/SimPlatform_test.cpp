// The model on the simulated platform, browsers answering through the real engine,
// runner and lanes: what the preview and the card tool run.
#include "support/ModelFixture.h"

namespace tervane::testing {
namespace {
using nlohmann::json;

class OnSimPlatform : public ModelFixture {};

TEST_F(OnSimPlatform, SafariWindowsAreMinimizedAndABusyChromeIsNamed) {
  // The two-browser desk with a third Safari window that is not visible, and Chrome busy.
  picker->available = false;
  auto description = kTwoBrowserDesktop;
  description["browsers"]["safari"]["windows"].push_back(
      json::parse(R"({"id": 7, "visible": false, "tabs": [{"title": "Hidden",)"
                  R"( "url": "https://c.example.com/"}]})"));
  description["permissions"] = {{"chrome", "busy"}};
  // The lane's limits run on real time: long enough that a loaded machine never runs out
  // of them, but the busy Chrome's waits end at once.
  onSimPlatform(description, {5, 5, [](BrowserKind kind, double budget) {
                                return kind == BrowserKind::chrome ? 0.0 : budget;
                              }});
  buildOnPlatform();
  start();
  settle();
  const auto stowed = idsOf(model->openStage()->stowed);
  EXPECT_EQ(stowed, (std::vector<std::string>{"org.example.Mail", "safari:6", "safari:6#0"}))
      << "the front window stays; the invisible one is never read";
  EXPECT_TRUE(platform->browser(BrowserKind::safari)->state().windows[1].minimized);
  EXPECT_FALSE(platform->browser(BrowserKind::safari)->state().windows[0].minimized);
  EXPECT_EQ(model->busyBrowsers(), std::vector<BrowserKind>{BrowserKind::chrome});
  EXPECT_EQ(model->lastBecause(),
            "You had not used them in the last 20 minutes. The 1 tab in that window is still "
            "open, exactly where you left it. Chrome did not answer, so its tabs stayed exactly "
            "where they were.");

  model->bringBack(true);
  EXPECT_FALSE(platform->browser(BrowserKind::safari)->state().windows[1].minimized);
  EXPECT_FALSE(onDisk().has_value());
}

}  // namespace
}  // namespace tervane::testing
