#include "linux/XConnection.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/Defaults.h"
#include "linux/X11ActivationSource.h"
#include "linux/X11AppSurface.h"
#include "support/FakeActivationSource.h"
#include "support/TempDir.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

// An event that arrives while a reply is awaited is read off the socket by xcb, so the
// descriptor no longer shows it; it must still reach the handlers, and the main loop
// must be told. A server that is not there is refused by name. When the X server goes
// away everything answers "nothing" instead of failing loudly, and the main loop is told
// to stop watching the descriptor.
TEST(XConnection, EventsReadDuringAReplyWaitAreQueuedAndAServerThatWentIsAnEmptyDesktop) {
  const auto missing = XConnection::open(":9999");
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.error().message.find(":9999"), std::string::npos);
  std::shared_ptr<XConnection> connection;
  int wakes = 0;
  {
    testing::XTestDesktop desktop;
    connection = XConnection::open(desktop.display()).value();
    auto& ours = *connection;
    ours.setWakeHandler([&] { ++wakes; });
    std::vector<xcb_atom_t> changed;
    auto subscription = ours.onEvent([&](const XEvent& event) {
      if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
        changed.push_back(reinterpret_cast<const xcb_property_notify_event_t*>(event.get())->atom);
      }
    });
    ours.selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
    ours.sync();

    const xcb_atom_t marker = XCB_ATOM_CUT_BUFFER0;  // a root property no one else sets
    const std::uint32_t value = 7;
    xcb_change_property(desktop.x().raw(), XCB_PROP_MODE_REPLACE, desktop.x().root(), marker,
                        XCB_ATOM_CARDINAL, 32, 1, &value);
    desktop.x().sync();  // the server has sent the notification to every listener

    ours.sync();  // our reply wait reads the notification into memory
    EXPECT_GE(wakes, 1);
    EXPECT_TRUE(ours.waitForEvent(0));
    ours.dispatch();
    EXPECT_EQ(changed, std::vector<xcb_atom_t>{marker});
    ours.dispatch();
    EXPECT_EQ(changed.size(), 1u) << "an event is delivered once";
    desktop.xterm("Alpha");
  }
  EXPECT_TRUE(connection->waitForEvent(20)) << "the closed stream is readable";
  EXPECT_FALSE(connection->dispatch());
  EXPECT_TRUE(connection->hasError());

  MemoryDefaults defaults;
  ManualClock clock;
  testing::FakeActivationSource source;
  testing::TempDir state;
  X11AppSurface::Options options;
  options.hiddenRecordFile = state / HiddenWindowRecord::kFileName;
  options.desktopEntryFolders = {};
  X11AppSurface surface(connection, std::make_shared<ActivationLog>(defaults, clock, source),
                        options);
  EXPECT_TRUE(surface.runningApps().empty());
  EXPECT_FALSE(surface.hide("Alpha"));
  EXPECT_FALSE(surface.unhide("Alpha"));
  EXPECT_EQ(surface.humanIdleSeconds(), 0.0);
  EXPECT_EQ(X11ActivationSource(connection).frontmostApplication(), std::nullopt);
}

}  // namespace
}  // namespace tervane::x11
