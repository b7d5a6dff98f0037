// The application's panels under real keys: xdotool presses the global shortcuts and
// types as a person would, on a private desktop with a window manager, and nothing is
// clicked first. What was typed is read back through `tervane-now status --json`; which
// window has the keyboard is read from the window manager.
#include <gtest/gtest.h>

#include "support/AppUnderTest.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

using testing::AppUnderTest;
using testing::XTestDesktop;

class KeyboardPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    // The editor comes last: a manager that focuses new windows does it late, and would
    // otherwise take the focus back to Mail after the editor was activated.
    mail = desktop.xterm("Mail");
    editor = desktop.xterm("Editor");
    ASSERT_TRUE(desktop.activate(editor));
  }

  void keys(const std::string& chord) {
    ASSERT_EQ(desktop.run({"xdotool", "key", "--clearmodifiers", chord}), 0) << chord;
  }
  void type(const std::string& text) {
    ASSERT_EQ(desktop.run({"xdotool", "type", "--delay", "5", text}), 0);
  }
  // Whether one of the application's own windows has the keyboard (or not), within a bound.
  bool waitAppActive(bool active) {
    return desktop.waitUntil([&] {
      const auto window = desktop.active();
      const auto client = window ? desktop.client(*window) : std::nullopt;
      return (client && client->pid && static_cast<pid_t>(*client->pid) == app.pid()) == active;
    });
  }
  // Marks `window` as a toolkit application marks a window the person has just typed in:
  // _NET_WM_USER_TIME set to the server's time now. Nothing changes on the root window, so
  // the application under test does not learn that time.
  void typedIn(xcb_window_t window) {
    auto& x = desktop.x();
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(x.raw(), window, XCB_CW_EVENT_MASK, &mask);
    std::optional<xcb_timestamp_t> now;
    auto events = x.onEvent([&](const x11::XEvent& event) {
      if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
      const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
      if (notify->window == window) now = notify->time;
    });
    const auto userTime = x.atoms()._NET_WM_USER_TIME;
    xcb_change_property(x.raw(), XCB_PROP_MODE_APPEND, window, userTime, XCB_ATOM_CARDINAL, 32, 0,
                        nullptr);
    x.flush();
    ASSERT_TRUE(XTestDesktop::pumpUntil(x, [&] { return now.has_value(); }));
    xcb_change_property(x.raw(), XCB_PROP_MODE_REPLACE, window, userTime, XCB_ATOM_CARDINAL, 32, 1,
                        &*now);
    x.sync();
  }

  XTestDesktop desktop;
  AppUnderTest app{desktop};
  xcb_window_t editor = 0, mail = 0;
};

TEST_F(KeyboardPaths, TheCaptureShortcutTakesALineTypedAtOnceAndEscapeClosesIt) {
  app.launch();
  keys("ctrl+alt+super+n");
  ASSERT_TRUE(waitAppActive(true)) << "the capture panel has the keyboard";
  type("write the report");
  keys("Return");
  ASSERT_TRUE(waitAppActive(false)) << "Return closes the panel";
  EXPECT_EQ(app.statusJson()["line"], "write the report");
  EXPECT_TRUE(desktop.waitActive(editor)) << "the keyboard goes back where it was";

  // Managers that prevent focus stealing compare the panel's request with the time of the
  // person's last key in the editor, which the application never saw.
  typedIn(editor);
  keys("ctrl+alt+super+n");
  ASSERT_TRUE(waitAppActive(true));
  type("never mind");
  keys("Escape");
  EXPECT_TRUE(waitAppActive(false)) << "Escape closes the panel";
  EXPECT_EQ(app.statusJson()["line"], "write the report");
}

TEST_F(KeyboardPaths, ControlReturnFinishesAStageAndAfterARestartEscapeClosesTheWalkThrough) {
  app.launch();
  // The card opens (as a click on the bee opens it), a popup that holds the keyboard: the
  // capture shortcut still reaches the application, and its panel takes the keyboard.
  ASSERT_EQ(app.command({"open"}).status, 0);
  keys("ctrl+alt+super+n");
  ASSERT_TRUE(waitAppActive(true)) << "the capture panel has the keyboard";
  keys("Escape");
  ASSERT_TRUE(waitAppActive(false));
  // Written and started from outside; a shield answered "I need this".
  ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
  ASSERT_EQ(app.command({"start"}).status, 0);
  ASSERT_TRUE(desktop.waitIconic(mail, true));
  ASSERT_EQ(app.command({"status", "--until", "settled"}).status, 0);
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", std::to_string(mail)}), 0);
  ASSERT_EQ(app.command({"status", "--until", "shield"}).status, 0);
  ASSERT_EQ(app.command({"answer", "yes"}).status, 0);

  ASSERT_EQ(app.command({"open"}).status, 0);
  keys("ctrl+Return");
  EXPECT_EQ(app.command({"status", "--until", "closed"}, 30).status, 0) << app.statusJson().dump();

  // Before the walk-through is seen it opens at launch, with the keyboard; Escape closes it.
  ASSERT_EQ(app.terminate(), 0);
  testing::writeText(app.configFolder() / "shared.json", R"({"has_seen_mac_first_run": false})");
  app.launch();
  ASSERT_TRUE(waitAppActive(true)) << "the walk-through has the keyboard";
  keys("Escape");
  EXPECT_TRUE(waitAppActive(false));
}

}  // namespace
}  // namespace tervane::x11
