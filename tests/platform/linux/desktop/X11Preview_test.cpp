// `tervane-now preview` against the private desktop: the real staging path reads the X11
// applications and the person's record of use, says what it would put away, and moves
// nothing.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/TempDir.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

using testing::XTestDesktop;

std::vector<std::string> ids(const nlohmann::json& items) {
  std::vector<std::string> out;
  for (const auto& item : items) out.push_back(item["id"].get<std::string>());
  return out;
}

TEST(X11Preview, SaysWhatStartWouldPutAwayAndMovesNothing) {
  XTestDesktop desktop;
  const xcb_window_t alpha = desktop.xterm("Alpha");
  desktop.xterm("Gamma");
  const xcb_window_t beta = desktop.xterm("Beta");
  ASSERT_TRUE(desktop.waitActive(beta));
  // Recent input: the person is at the desk.
  ASSERT_EQ(desktop.run({"xdotool", "mousemove", "40", "40"}), 0);

  testing::TempDir dir;
  // The application's own record of use: Gamma was in use a minute ago.
  std::filesystem::create_directories(dir / "config/tervane-now");
  testing::writeText(
      dir / "config/tervane-now/standard.json",
      "{\"mac_activation_log\": {\"Gamma\": " + std::to_string(std::time(nullptr) - 60) + "}}");
  const int status = desktop.run(
      {"sh", "-c",
       "HOME=\"$PWD\" XDG_CONFIG_HOME=\"$PWD/config\" XDG_STATE_HOME=\"$PWD/state\" exec '" +
           std::string(TERVANE_NOW_TOOL) + "' preview 'write the report' --json > out.json 2>&1",
       "preview"},
      60, dir.path());
  ASSERT_EQ(status, 0) << testing::readText(dir / "out.json");
  const auto result = nlohmann::json::parse(testing::readText(dir / "out.json"), nullptr, false);
  ASSERT_TRUE(result.is_object()) << testing::readText(dir / "out.json");
  ASSERT_TRUE(result["stage"].is_object()) << result.dump();
  EXPECT_EQ(ids(result["stage"]["kept"]), (std::vector<std::string>{"Gamma", "Beta"}));
  EXPECT_EQ(ids(result["stage"]["stowed"]), std::vector<std::string>{"Alpha"});

  EXPECT_FALSE(desktop.isIconic(alpha));
  EXPECT_FALSE(std::filesystem::exists(dir / "state/tervane-now"))
      << "a preview writes no journal and no hidden-window record";
}

}  // namespace
}  // namespace tervane::x11
