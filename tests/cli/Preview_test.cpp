#include "cli/Preview.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/Json.h"
#include "cli/DryRun.h"
#include "session/support/FakeBrowsers.h"
#include "support/TempDir.h"

namespace tervane::cli {
namespace {
using nlohmann::json;

struct Run { int status; std::string out, err; };

Run preview(const std::filesystem::path& desktop, const std::string& line, bool asJson = true) {
  std::ostringstream out, err;
  auto noLive = []() -> Result<std::shared_ptr<PlatformFactory>> { return Error{"no desktop", 0}; };
  const int status = runPreview({line, asJson, desktop, {}}, noLive, out, err);
  return {status, out.str(), err.str()};
}

const std::filesystem::path kWorkday =
    std::filesystem::path(TERVANE_SOURCE_DIR) / "tests/fixtures/desktop-workday.json";

std::vector<std::string> ids(const json& items) {
  std::vector<std::string> out;
  for (const auto& item : items) out.push_back(item.at("id").get<std::string>());
  return out;
}

TEST(Preview, PrintsTheStageItWouldOpenWithoutMovingAnythingAndReportsDenialsAndAway) {
  auto run = preview(kWorkday, "  write the quarterly report ");
  ASSERT_EQ(run.status, 0) << run.err;
  auto result = json::parse(run.out);
  const auto stage = result.at("stage");
  EXPECT_EQ(stage.at("actionText"), "write the quarterly report");
  EXPECT_EQ(ids(stage.at("stowed")),
            (std::vector<std::string>{"org.example.Mail", "org.example.Music"}));
  // Chat is remembered as keep; the news host keeps window 12; window 11 is in front;
  // the minimized window 13 is left alone.
  EXPECT_EQ(ids(stage.at("kept")),
            (std::vector<std::string>{"org.example.Editor", "org.example.Chat", "org.example.Files",
                                      "com.google.Chrome", "com.apple.Safari", "chrome:11",
                                      "chrome:11#0", "chrome:11#1", "chrome:12", "chrome:12#0",
                                      "chrome:12#1", "chrome:12#2"}));
  EXPECT_EQ(result.at("because"),
            "You had not used them in the last 20 minutes. Some of that is what you told me last "
            "time.");
  EXPECT_EQ(result.at("needConsent"), json::array({"safari"}));
  EXPECT_EQ(result.at("denied"), json::array());

  // Denied browsers are reported, and nothing is put away after a while away.
  testing::TempDir dir;
  auto desktop = json::parse(testing::readText(kWorkday));
  desktop["permissions"]["safari"] = "denied";
  desktop["remembered"] = json::object();
  testing::writeText(dir / "denied.json", desktop.dump());
  run = preview(dir / "denied.json", "write");
  ASSERT_EQ(run.status, 0) << run.err;
  result = json::parse(run.out);
  EXPECT_EQ(result.at("denied"), json::array({"safari"}));
  EXPECT_EQ(ids(result.at("stage").at("stowed")),
            (std::vector<std::string>{"org.example.Mail", "org.example.Music", "chrome:12",
                                      "chrome:12#0", "chrome:12#1", "chrome:12#2"}));
  EXPECT_THAT(result.at("because").get<std::string>(),
              ::testing::HasSubstr("Safari did not give permission, so its tabs stayed exactly "
                                   "where they were."));

  desktop["idleSeconds"] = 1500;
  testing::writeText(dir / "away.json", desktop.dump());
  run = preview(dir / "away.json", "write", /*asJson=*/false);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, ::testing::HasSubstr("Nothing would be put away."));
  EXPECT_THAT(run.out,
              ::testing::HasSubstr("Why: You have been away a while, so nothing was put away."));
}

TEST(Preview, BadInputIsOneClearLineAndStatusTwo) {
  testing::TempDir dir;
  const std::pair<const char*, const char*> files[] = {
      {"list.json", "[1, 2]"}, {"broken.json", "{\"apps\": ["}, {"absent.json", nullptr},
      {"wrong.json", R"({"apps": [{"name": "no id"}]})"},
      {"browser.json", R"({"browsers": {"opera": {"windows": []}}})"}};
  for (const auto& [file, text] : files) {
    if (text) testing::writeText(dir / file, text);
    auto run = preview(dir / file, "write");
    EXPECT_EQ(run.status, 2) << file;
    EXPECT_TRUE(run.out.empty()) << file;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  }
  EXPECT_EQ(preview(kWorkday, " \n ").status, 2);
}

// A browser the running application answers for is read through it, with its word on
// whether only windows are seen; no answer, or one that does not read whole, leaves the
// desktop's own reading.
TEST(DryRunBrowsers, ReadThroughTheRunningApplicationWhereItAnswers) {
  auto real = std::make_shared<testing::FakeBrowsers>();
  const WindowFacts own{BrowserKind::chrome, 4, {{"Docs - Chromium", "", true}}};
  const WindowFacts companion{BrowserKind::chrome, 9, {{"Docs", "https://docs.test/a", true}}};
  real->setWindows(BrowserKind::chrome, {own});
  real->setWindowsOnly({BrowserKind::chrome});
  DryRunBrowserSurface dry(real);
  std::optional<ControlReply> answer;
  dry.readThroughApplication([&](BrowserKind) { return answer; });

  const json garbage[] = {json{{"windows", {1}}}, json{{"windows", {toJson(own), "x"}}},
                          json{{"windows", {toJson(WindowFacts{BrowserKind::edge, 1, {}})}}}};
  for (const auto& status : garbage) {
    answer = ControlReply{true, "", status};
    EXPECT_EQ(dry.windows(BrowserKind::chrome).value(), std::vector<WindowFacts>{own}) << status;
  }
  answer = ControlProtocol::refused("Chrome did not answer.");
  EXPECT_EQ(dry.windows(BrowserKind::chrome).value(), std::vector<WindowFacts>{own});
  EXPECT_TRUE(dry.seesWindowsOnly(BrowserKind::chrome));

  answer = ControlReply{true, "", json{{"windows", {toJson(companion)}}, {"windowsOnly", false}}};
  EXPECT_EQ(dry.windows(BrowserKind::chrome).value(), std::vector<WindowFacts>{companion});
  EXPECT_FALSE(dry.seesWindowsOnly(BrowserKind::chrome));
}

}  // namespace
}  // namespace tervane::cli
