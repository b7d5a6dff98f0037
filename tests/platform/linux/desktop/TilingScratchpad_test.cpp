// Windows put away on i3, which has no minimizing: they go to its scratchpad and come back
// to their workspace and their place in the tiling, in whichever order and by whichever
// run of the application; what the person put in the scratchpad stays there.
#include <gtest/gtest.h>

#include "linux/Scratchpad.h"
#include "linux/WindowMover.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

using testing::XTestDesktop;

class TilingScratchpad : public ::testing::Test {
 protected:
  TilingScratchpad() : desktop("i3") {}

  std::shared_ptr<WindowMover> newMover() {
    return std::make_shared<WindowMover>(XConnection::open(desktop.display()).value());
  }
  std::string id(xcb_window_t window) { return "[id=" + std::to_string(window) + "] "; }

  // The windows of `workspace` in tiling order, then those that float there.
  std::vector<xcb_window_t> layout(const std::string& workspace) {
    auto ipc = I3Ipc::connect(I3Ipc::socketPath(desktop.x()).value_or(""));
    const auto tree = ipc ? ipc->request(I3Ipc::getTree, {}) : std::nullopt;
    if (!tree) return {};
    const auto windows = treeWindows(*tree);
    std::map<std::int64_t, xcb_window_t> byContainer;
    for (const auto& [window, found] : windows) {
      byContainer[found.container] = static_cast<xcb_window_t>(window);
    }
    std::vector<xcb_window_t> tiled, floating;
    for (const auto& [window, found] : windows) {
      if (found.workspace != workspace) continue;
      if (found.floating) floating.push_back(static_cast<xcb_window_t>(window));
      if (!found.floating && tiled.empty()) {
        for (auto sibling : found.siblings) tiled.push_back(byContainer[sibling]);
      }
    }
    tiled.insert(tiled.end(), floating.begin(), floating.end());
    return tiled;
  }

  XTestDesktop desktop;
};

TEST_F(TilingScratchpad, WindowsComeBackToTheirPlacesAndThePersonsOwnStayPutAway) {
  const auto a = desktop.xterm("A"), b = desktop.xterm("B"), c = desktop.xterm("C"),
             d = desktop.xterm("D"), floats = desktop.xterm("Floats"),
             elsewhere = desktop.xterm("Elsewhere"), persons = desktop.xterm("Persons");
  ASSERT_EQ(desktop.i3(id(floats) + "floating enable"), 0);
  ASSERT_EQ(desktop.i3(id(elsewhere) + "move container to workspace 2"), 0);
  ASSERT_EQ(desktop.minimize(persons), 0);
  ASSERT_TRUE(desktop.waitIconic(persons, true));
  const std::vector<xcb_window_t> before = {a, b, c, d, floats};
  ASSERT_EQ(layout("1"), before);

  // Two runs put windows away, one batch and then one more.
  {
    const auto mover = newMover();
    EXPECT_EQ(mover->iconify({b, c, floats, elsewhere}),
              (std::set<xcb_window_t>{b, c, floats, elsewhere}));
    EXPECT_EQ(mover->iconify({a, persons}), std::set<xcb_window_t>{a});
  }
  EXPECT_EQ(layout("1"), std::vector<xcb_window_t>{d});
  for (auto window : {a, b, c, floats, elsewhere}) EXPECT_TRUE(desktop.isIconic(window));

  // A later run brings them back in another order; the person's own is not among them.
  const auto mover = newMover();
  auto restored = mover->restore({c, elsewhere}, WindowMover::Focus::keep);
  EXPECT_EQ(restored.back, (std::set<xcb_window_t>{c, elsewhere}));
  restored = mover->restore({floats, a, b, persons}, WindowMover::Focus::keep);
  EXPECT_EQ(restored.back, (std::set<xcb_window_t>{floats, a, b}));
  EXPECT_EQ(layout("1"), before);
  EXPECT_EQ(layout("2"), std::vector<xcb_window_t>{elsewhere});
  EXPECT_TRUE(desktop.isIconic(persons));
  EXPECT_FALSE(desktop.isIconic(a));
}

}  // namespace
}  // namespace tervane::x11
