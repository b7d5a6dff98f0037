#include "cli/DesktopChoice.h"
#include "cli/Desktop.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tervane::cli {
namespace {

TEST(DesktopChoice, WaylandGetsSwayKWinOrGnomeOrARefusalNeverXWayland) {
  using B = DesktopBackend;
  struct Case {
    std::optional<DesktopBackend> expected;
    std::set<std::string> onBus;
    std::map<std::string, std::string> env;
  };
  const std::vector<Case> cases = {
      {B::x11, {"kwin"}, {{"DISPLAY", ":0"}}},
      {B::kwin, {"kwin"}, {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}},
      {B::gnome, {"gnome"}, {{"WAYLAND_DISPLAY", "wayland-0"}}},
      {{}, {}, {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}}},
      {B::sway, {"kwin"}, {{"WAYLAND_DISPLAY", "wayland-1"}, {"SWAYSOCK", "/run/sway.sock"}}},
      {B::x11, {"kwin"}, {{"DISPLAY", ":0"}, {"SWAYSOCK", "/run/sway.sock"}}},
      {{}, {}, {{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "wayland"}}}, {{}, {"kwin"}, {}},
      {B::x11, {"gnome"},
       {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", ""}, {"XDG_SESSION_TYPE", "x11"}}},
  };
  for (const auto& c : cases) {
    int asked = 0;
    const auto choice = chooseDesktop(
        [&](const char* name) {
          auto it = c.env.find(name);
          return it == c.env.end() ? std::nullopt : std::optional(it->second);
        },
        [&](const std::string& desktop) { ++asked; return c.onBus.contains(desktop); });
    const std::string label = ::testing::PrintToString(c.env);
    EXPECT_EQ(choice ? std::optional(choice.value()) : std::nullopt, c.expected) << label;
    // The bus is asked only in a Wayland session.
    const bool wayland =
        c.expected == B::kwin || c.expected == B::gnome || (!c.expected && !c.env.empty());
    EXPECT_EQ(asked > 0, wayland) << label;
  }
}

// The extension's build follows the GNOME Shell installed, and turning it on adds it to
// the list gsettings prints once, keeping the others.
TEST(DesktopInstall, ReadsTheShellsVersionAndAddsTheExtensionOnce) {
  EXPECT_EQ(gnomeShellMajor("GNOME Shell 43.9\n"), 43);
  EXPECT_EQ(gnomeShellMajor("GNOME Shell 45.alpha"), 45);
  EXPECT_EQ(gnomeShellMajor("bash: gnome-shell: not found"), std::nullopt);
  EXPECT_EQ(withExtension("@as []\n", "t@n"), "['t@n']");
  EXPECT_EQ(withExtension("['a@b', 't@n']\n", "t@n"), "['a@b', 't@n']");
  EXPECT_EQ(withExtension("['a@b']", "t@n"), "['a@b', 't@n']");
  EXPECT_EQ(withExtension("not a list", "t@n"), std::nullopt);
}

}  // namespace
}  // namespace tervane::cli
