#include "linux/X11AppSurface.h"

#include <gtest/gtest.h>
#include <xcb/screensaver.h>

#include <tuple>

#include "base/Defaults.h"
#include "support/FakeActivationSource.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

using testing::XTestDesktop;
using Spec = XTestDesktop::WindowSpec;

// A desktop with an app surface on its own connection, an activation log on a manual
// clock, and the hidden-window record in a temporary state folder.
class AppSurfaceTest : public ::testing::Test {
 protected:
  AppSurfaceTest() : log(std::make_shared<ActivationLog>(defaults, clock, source)) {
    connection = XConnection::open(desktop.display()).value();
    std::filesystem::create_directories(desktop.home() / "applications");
  }

  std::unique_ptr<X11AppSurface> makeSurface(
      AtomicWriteOptions write = {}, std::function<void(const std::string&)> onReturn = {}) {
    X11AppSurface::Options options;
    options.hiddenRecordFile = recordFile();
    options.recordWrite = std::move(write);
    options.onReturn = std::move(onReturn);
    options.desktopEntryFolders = {desktop.home() / "applications"};
    return std::make_unique<X11AppSurface>(connection, log, std::move(options));
  }
  std::filesystem::path recordFile() const {
    return desktop.home() / "state/tervane-now" / HiddenWindowRecord::kFileName;
  }

  std::vector<std::string> ids(const std::vector<AppFacts>& apps) {
    std::vector<std::string> out;
    for (const auto& app : apps) out.push_back(app.bundleId);
    return out;
  }

  XTestDesktop desktop;
  std::shared_ptr<XConnection> connection;
  MemoryDefaults defaults;
  ManualClock clock;
  testing::FakeActivationSource source;
  std::shared_ptr<ActivationLog> log;
};

TEST_F(AppSurfaceTest, ListsRegularApplicationsOncePerClassInClientOrder) {
  testing::writeText(desktop.home() / "applications/alpha.desktop",
                     "[Desktop Entry]\nType=Application\nName=Alpha Editor\n");
  auto surface = makeSurface();
  EXPECT_TRUE(surface->runningApps().empty());

  desktop.xterm("Alpha");
  desktop.xterm("XLogo");
  desktop.xterm("tervane-now");
  desktop.xterm("Alpha");
  desktop.xterm("Beta");
  // Not applications of their own: a dialog, a window off the taskbar, one without a
  // class; a window of this process counts as this application whatever its class.
  desktop.createWindow({.className = "Dialogue", .dialog = true});
  desktop.createWindow({.className = "Skipper", .skipTaskbar = true});
  desktop.createWindow({});
  desktop.createWindow({.className = "Disguised", .pid = ::getpid()});

  log->record("Alpha");
  clock.advance(10);
  // Whatever the window manager put in front is the one frontmost application; it may
  // still be settling, so the listing counts when the front window read the same before
  // and after it.
  std::optional<xcb_window_t> activeWindow;
  std::vector<AppFacts> apps;
  ASSERT_TRUE(desktop.waitUntil([&] {
    activeWindow = desktop.active();
    apps = surface->runningApps();
    return activeWindow && desktop.active() == activeWindow;
  }));
  const std::string front = appIdentifier(desktop.client(*activeWindow)->className);

  using Listed = std::vector<std::tuple<std::string, std::string, bool, bool>>;
  Listed listed;  // id, name, whether it can be hidden, whether it was used
  for (const auto& app : apps) {
    listed.emplace_back(app.bundleId, app.name, app.canHide, app.secondsSinceLastUse.has_value());
    EXPECT_EQ(app.isFrontmost,
              app.bundleId == front || (front == "Disguised" && app.bundleId == "tervane-now"))
        << app.bundleId;
  }
  EXPECT_EQ(listed, (Listed{{"Alpha", "Alpha Editor", true, true},
                            {"XLogo", "XLogo", true, false},
                            {"tervane-now", "tervane-now", false, false},
                            {"Beta", "Beta", true, false}}));
  EXPECT_NEAR(*apps.at(0).secondsSinceLastUse, 10.0, 0.001);
}

TEST_F(AppSurfaceTest, HideAndUnhideRestoreExactlyTheWindowsHidden) {
  const xcb_window_t a1 = desktop.xterm("Alpha");
  const xcb_window_t a2 = desktop.xterm("Alpha");
  const xcb_window_t b1 = desktop.xterm("Beta");
  // The person minimized one window before the stage.
  ASSERT_EQ(desktop.run({"xdotool", "windowminimize", std::to_string(a2)}), 0);
  ASSERT_TRUE(desktop.waitIconic(a2, true));

  const xcb_window_t gamma = desktop.createWindow(Spec::ofClass("Gamma"));
  auto surface = makeSurface();
  EXPECT_EQ(ids(surface->runningApps()), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
  // An application that quits after the listing has nothing to hide or record.
  xcb_destroy_window(desktop.x().raw(), gamma);
  desktop.x().flush();
  ASSERT_TRUE(desktop.waitUntil([&] { return desktop.clients().size() == 3; }));
  EXPECT_EQ(ids(surface->runningApps()), (std::vector<std::string>{"Alpha", "Beta"}));
  EXPECT_FALSE(surface->hide("Gamma"));
  EXPECT_FALSE(std::filesystem::exists(recordFile()));
  // A window opened after the surface last looked is hidden with the others.
  const xcb_window_t a3 = desktop.xterm("Alpha");

  ASSERT_TRUE(surface->hide("Alpha"));
  EXPECT_EQ(HiddenWindowRecord(recordFile()).windowsOf("Alpha"),
            (HiddenWindowRecord::Windows{a1, a3}));
  ASSERT_TRUE(desktop.waitIconic(a1, true));
  ASSERT_TRUE(desktop.waitIconic(a3, true));
  EXPECT_FALSE(desktop.isIconic(b1));
  // Hiding again finds nothing new to hide.
  EXPECT_TRUE(surface->hide("Alpha"));
  EXPECT_EQ(surface->record().windowsOf("Alpha"), (HiddenWindowRecord::Windows{a1, a3}));

  // The person brings one back and goes on in another application; unhide restores the
  // other hidden one and no more, and leaves the focus where the person has it.
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(a3)}), 0);
  ASSERT_TRUE(desktop.waitIconic(a3, false));
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(b1)}), 0);
  ASSERT_TRUE(desktop.waitActive(b1));
  // The surface of a run that follows a crash reads the record and restores from it.
  auto recovered = makeSurface();
  EXPECT_EQ(recovered->stillHidden(), std::vector<std::string>{"Alpha"});
  ASSERT_TRUE(recovered->unhide("Alpha"));
  EXPECT_FALSE(desktop.isIconic(a1)) << "unhide answers once the window is back";
  EXPECT_FALSE(desktop.isIconic(a3));
  EXPECT_EQ(desktop.active(), b1);
  EXPECT_TRUE(desktop.isIconic(a2)) << "a window the person minimized stays minimized";
  EXPECT_TRUE(HiddenWindowRecord(recordFile()).all().empty());
  EXPECT_FALSE(recovered->unhide("Gamma"));
}

// A closed window needs no restore, and a window manager that took over meanwhile brings
// the others back; with no window manager at all nothing is brought back, hidden or
// recorded.
TEST_F(AppSurfaceTest, RestoresAcrossAClosedWindowAndANewWindowManager) {
  const xcb_window_t a1 = desktop.xterm("Alpha");
  const xcb_window_t a2 = desktop.createWindow(Spec::ofClass("Alpha"));
  auto surface = makeSurface();
  ASSERT_TRUE(surface->hide("Alpha"));
  EXPECT_TRUE(desktop.isIconic(a1));
  xcb_destroy_window(desktop.x().raw(), a2);
  desktop.x().flush();
  // With no manager to bring it back, unhide says so and the record keeps the window.
  desktop.stopWindowManager();
  EXPECT_FALSE(surface->unhide("Alpha"));
  EXPECT_EQ(surface->stillHidden(), std::vector<std::string>{"Alpha"});
  desktop.stopWindowManager(true);

  EXPECT_TRUE(surface->unhide("Alpha"));
  EXPECT_FALSE(desktop.isIconic(a1));
  EXPECT_TRUE(surface->stillHidden().empty());

  desktop.stopWindowManager();
  EXPECT_FALSE(surface->hide("Alpha"));
  EXPECT_FALSE(desktop.isIconic(a1));
  EXPECT_TRUE(surface->record().all().empty());
}

// Nothing moves when the record cannot be written. Activate unhides and focuses the top
// window, and other returns of a hidden window are reported.
TEST_F(AppSurfaceTest, NothingMovesUnrecordedActivateUnhidesAndOtherReturnsAreReported) {
  const xcb_window_t a1 = desktop.xterm("Alpha");
  const xcb_window_t b1 = desktop.xterm("Beta");
  AtomicWriteOptions failing;
  failing.inject = [](AtomicWriteStep step) -> std::optional<int> {
    return step == AtomicWriteStep::write ? std::optional<int>(ENOSPC) : std::nullopt;
  };
  EXPECT_FALSE(makeSurface(failing)->hide("Alpha"));
  // The window manager handles one connection's requests in order: once a later iconify
  // of another window took effect, an earlier one would have too.
  iconify(*connection, b1);
  connection->flush();
  ASSERT_TRUE(desktop.waitIconic(b1, true));
  EXPECT_FALSE(desktop.isIconic(a1));
  EXPECT_FALSE(std::filesystem::exists(recordFile()));

  ASSERT_TRUE(desktop.activate(b1));
  std::vector<std::string> returned;
  auto surface = makeSurface({}, [&](const std::string& app) { returned.push_back(app); });
  ASSERT_TRUE(surface->hide("Alpha"));
  EXPECT_TRUE(surface->activate("Alpha"));
  EXPECT_TRUE(desktop.waitActive(a1));
  EXPECT_FALSE(desktop.isIconic(a1));
  EXPECT_FALSE(surface->activate("Gamma"));
  for (const auto& app : surface->runningApps())
    EXPECT_EQ(app.isFrontmost, app.bundleId == "Alpha");

  // A hidden window that comes back by other means (a taskbar), even without the focus, is
  // reported; the surface's own restores are not.
  ASSERT_TRUE(surface->hide("Alpha"));
  ASSERT_TRUE(surface->hide("Beta"));
  ASSERT_TRUE(surface->unhide("Beta"));
  XTestDesktop::settle(*connection);
  EXPECT_EQ(returned, std::vector<std::string>{});
  WindowMover taskbar(XConnection::open(desktop.display()).value());
  ASSERT_TRUE(taskbar.restore({a1}, WindowMover::Focus::keep).complete(1));
  ASSERT_TRUE(XTestDesktop::pumpUntil(*connection, [&] { return !returned.empty(); }));
  EXPECT_EQ(returned, std::vector<std::string>{"Alpha"});
}

TEST_F(AppSurfaceTest, IdleSecondsGrowUntilThePointerMoves) {
  auto surface = makeSurface();
  XConnection& x = desktop.x();
  // The screen saver switching on after one idle second is the event to wait for.
  xcb_set_screen_saver(x.raw(), 1, 0, XCB_BLANKING_NOT_PREFERRED, XCB_EXPOSURES_ALLOWED);
  xcb_screensaver_select_input(x.raw(), x.root(), XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
  ASSERT_EQ(desktop.run({"xdotool", "mousemove", "5", "5"}), 0);
  const double fresh = surface->humanIdleSeconds();
  EXPECT_LT(fresh, 1.0);

  ASSERT_TRUE(desktop.waitUntil([&] { return surface->humanIdleSeconds() >= 1.0; }, 30));
  EXPECT_GT(surface->humanIdleSeconds(), fresh);

  ASSERT_EQ(desktop.run({"xdotool", "mousemove", "300", "200"}), 0);
  EXPECT_LT(surface->humanIdleSeconds(), 1.0);
}

}  // namespace
}  // namespace tervane::x11
