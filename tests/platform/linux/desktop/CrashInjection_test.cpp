// The crash rounds on the X11 desktop: twelve xterms, two of them iconified by the person.
#include <gtest/gtest.h>

#include "support/CrashRounds.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

TEST(CrashInjection, AKilledRunLosesNothing) {
  testing::XTestDesktop desktop;
  testing::AppUnderTest app(desktop);
  std::map<std::string, xcb_window_t> windows;
  testing::CrashDesktop crash;
  for (int i = 1; i <= 12; ++i) {
    const std::string name = "App" + std::to_string(i);
    windows[name] = desktop.xterm(name);
    crash.apps.push_back(name);
  }
  crash.minimizedByPerson = {"App3", "App7"};
  for (const auto& name : crash.minimizedByPerson) {
    ASSERT_EQ(desktop.minimize(windows[name]), 0);
    ASSERT_TRUE(desktop.waitIconic(windows[name], true));
  }
  crash.activate = [&](const std::string& app, bool sync) {
    EXPECT_EQ(desktop.run({"xdotool", "windowactivate", std::to_string(windows[app])}), 0);
    EXPECT_TRUE(!sync || desktop.waitActive(windows[app]));
  };
  crash.waitMinimized = [&](const std::string& app, bool minimized) {
    return desktop.waitIconic(windows[app], minimized);
  };
  testing::runCrashRounds(app, crash);
}

}  // namespace
}  // namespace tervane::x11
