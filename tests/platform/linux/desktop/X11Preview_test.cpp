// `tervane-now preview` against the private desktop: the real staging path reads the X11
// applications and the person's record of use, says what it would put away, and moves
// nothing.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/AppUnderTest.h"

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

  // The application's own record of use (it is not running): Gamma was in use a minute ago.
  testing::AppUnderTest app(desktop);
  testing::writeText(
      app.configFolder() / "standard.json",
      "{\"mac_activation_log\": {\"Gamma\": " + std::to_string(std::time(nullptr) - 60) + "}}");
  const auto run = app.command({"preview", "write the report", "--json"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto result = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_TRUE(result.is_object() && result["stage"].is_object()) << run.out;
  EXPECT_EQ(ids(result["stage"]["kept"]), (std::vector<std::string>{"Gamma", "Beta"}));
  EXPECT_EQ(ids(result["stage"]["stowed"]), std::vector<std::string>{"Alpha"});

  EXPECT_FALSE(desktop.isIconic(alpha));
  EXPECT_FALSE(std::filesystem::exists(app.stateFolder()))
      << "a preview writes no journal and no hidden-window record";
}

}  // namespace
}  // namespace tervane::x11
