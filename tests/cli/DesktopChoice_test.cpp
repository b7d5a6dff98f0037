#include "cli/DesktopChoice.h"

#include <gtest/gtest.h>

#include <map>

namespace tervane::cli {
namespace {

TEST(DesktopChoice, WaylandGetsSwayOrKWinOrARefusalNeverXWayland) {
  struct Case {
    std::map<std::string, std::string> env;
    bool kwin;
    std::optional<DesktopBackend> expected;
  };
  const std::vector<Case> cases = {
      {{{"DISPLAY", ":0"}}, true, DesktopBackend::x11},
      {{{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}, true, DesktopBackend::kwin},
      {{{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}, false, std::nullopt},
      {{{"WAYLAND_DISPLAY", "wayland-1"}, {"SWAYSOCK", "/run/sway.sock"}},
       true,
       DesktopBackend::sway},
      {{{"DISPLAY", ":0"}, {"SWAYSOCK", "/run/sway.sock"}}, true, DesktopBackend::x11},
      {{{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}}, false, std::nullopt},
      {{{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", ""}, {"XDG_SESSION_TYPE", "x11"}},
       true,
       DesktopBackend::x11},
      {{}, true, std::nullopt},
  };
  for (const auto& c : cases) {
    int asked = 0;
    const auto choice = chooseDesktop(
        [&](const char* name) -> std::optional<std::string> {
          auto it = c.env.find(name);
          return it == c.env.end() ? std::nullopt : std::optional<std::string>(it->second);
        },
        [&] {
          ++asked;
          return c.kwin;
        });
    const std::string label = ::testing::PrintToString(c.env);
    if (c.expected) {
      ASSERT_TRUE(choice) << label;
      EXPECT_EQ(choice.value(), *c.expected) << label;
    } else {
      ASSERT_FALSE(choice) << label;
    }
    // The bus is asked only in a Wayland session.
    const bool wayland = c.expected == DesktopBackend::kwin || (!c.expected && !c.env.empty());
    EXPECT_EQ(asked > 0, wayland) << label;
  }
}

}  // namespace
}  // namespace tervane::cli
