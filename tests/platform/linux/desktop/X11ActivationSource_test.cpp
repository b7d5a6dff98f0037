#include "linux/X11ActivationSource.h"
#include "linux/WindowMover.h"

#include <gtest/gtest.h>

#include "base/Defaults.h"
#include "guard/GuardMonitor.h"
#include "stage/ActivationLog.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

using testing::XTestDesktop;

TEST(X11ActivationSource, OneActivationPerChangeOfApplicationOrReturnNeverForItselfOrClassless) {
  XTestDesktop desktop;
  const xcb_window_t a1 = desktop.xterm("Alpha");
  ASSERT_TRUE(desktop.waitActive(a1));
  auto connection = XConnection::open(desktop.display()).value();
  auto shared = std::make_shared<X11ActivationSource>(connection);
  X11ActivationSource& source = *shared;
  const auto bringForward = [&](xcb_window_t window) {
    requestActivation(desktop.x(), window);
    desktop.x().flush();
    ASSERT_TRUE(desktop.waitActive(window));
    XTestDesktop::settle(*connection);
  };
  // The application in front is put away with nothing else to take the focus; coming back
  // to it is a new activation, while a moment without focus alone is not.
  {
    std::vector<std::string> seen;
    auto subscription = source.onActivation([&](const std::string& id) { seen.push_back(id); });
    WindowMover mover(XConnection::open(desktop.display()).value());
    ASSERT_EQ(mover.iconify({a1}).size(), 1u);
    ASSERT_TRUE(desktop.waitUntil([&] { return desktop.active() != a1; }));
    XTestDesktop::settle(*connection);
    bringForward(a1);
    EXPECT_EQ(seen, std::vector<std::string>{"Alpha"});
  }

  const xcb_window_t a2 = desktop.xterm("Alpha");
  const xcb_window_t own = desktop.xterm("tervane-now");
  const xcb_window_t ownByProcess =
      desktop.createWindow({.className = "Disguised", .pid = ::getpid()});
  const xcb_window_t noClass = desktop.createWindow({});
  const xcb_window_t b1 = desktop.xterm("Beta");
  ASSERT_TRUE(desktop.waitActive(b1));
  XTestDesktop::settle(*connection);
  EXPECT_EQ(source.frontmostApplication(), "Beta");
  MemoryDefaults defaults;
  ManualClock clock;
  ActivationLog log(defaults, clock, source);
  GuardMonitor monitor(shared);
  std::vector<std::string> seen;
  monitor.start([&](const std::string& id) { seen.push_back(id); });

  bringForward(a1);
  bringForward(a2);  // the same application
  bringForward(own);
  EXPECT_EQ(source.frontmostApplication(), "tervane-now");
  bringForward(a1);  // back from this application: a new activation
  bringForward(noClass);
  bringForward(a2);  // nothing with a class came between
  bringForward(b1);
  bringForward(ownByProcess);
  bringForward(b1);
  EXPECT_EQ(seen, (std::vector<std::string>{"Alpha", "Alpha", "Beta", "Beta"}));
  EXPECT_EQ(source.frontmostApplication(), "Beta");

  monitor.stop();
  clock.advance(30);
  bringForward(a1);
  EXPECT_EQ(seen.size(), 4u) << "a stopped monitor reports nothing";
  EXPECT_NEAR(*log.secondsSinceLastUse("Alpha"), 0.0, 0.001) << "the log keeps listening";
  EXPECT_NEAR(*log.secondsSinceLastUse("Beta"), 30.0, 0.001);
  EXPECT_FALSE(log.secondsSinceLastUse("tervane-now"));
}

}  // namespace
}  // namespace tervane::x11
