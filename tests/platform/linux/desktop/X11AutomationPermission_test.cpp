#include "linux/X11AutomationPermission.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/TempDir.h"
#include "support/XTestDesktop.h"
#include "surfaces/BrowserPermission.h"

namespace tervane::x11 {
namespace {

using testing::XTestDesktop;
using Spec = XTestDesktop::WindowSpec;

TEST(X11AutomationPermission, BrowsersRunningOnThisDisplayAreAllowedAndOthersAreNotRunning) {
  XTestDesktop desktop;
  testing::TempDir proc;  // no browser processes: presence comes from windows alone
  auto connection = XConnection::open(desktop.display()).value();
  auto platform = std::make_shared<X11AutomationPermission>(connection, proc.path());
  BrowserPermission permission(std::make_shared<AppleEventLane>(), platform);

  EXPECT_TRUE(permission.presence().running().empty());
  EXPECT_EQ(permission.status(BrowserKind::chrome), BrowserAuthorization::notRunning());

  // A browser may run without a window, but only one connected to this display is on this
  // desktop: this test's own process is a client, the one that started it is not.
  testing::TempDir processes;
  for (const auto& [pid, comm] : {std::pair{::getpid(), "chromium"}, {::getppid(), "msedge"}}) {
    std::filesystem::create_directories(processes / std::to_string(pid));
    testing::writeText(processes / std::to_string(pid) / "comm", std::string(comm) + "\n");
  }
  EXPECT_EQ(X11AutomationPermission(connection, processes.path()).runningApplicationIds(),
            std::vector<std::string>{"com.google.Chrome"});

  desktop.xterm("XTerm");
  desktop.createWindow(Spec::ofClass("Chromium"));
  // A browser window off the taskbar still means the browser runs.
  desktop.createWindow({.className = "Microsoft-edge", .skipTaskbar = true});
  EXPECT_EQ(permission.presence().running(),
            (std::vector<BrowserKind>{BrowserKind::chrome, BrowserKind::edge}));
  EXPECT_EQ(platform->runningApplicationIds(),
            (std::vector<std::string>{"XTerm", "com.google.Chrome", "com.microsoft.edgemac"}));
  EXPECT_EQ(permission.status(BrowserKind::chrome), BrowserAuthorization::allowed());
  EXPECT_EQ(permission.requestConsent(BrowserKind::edge), BrowserAuthorization::allowed());
  EXPECT_EQ(permission.status(BrowserKind::brave), BrowserAuthorization::notRunning());
  EXPECT_EQ(permission.status(BrowserKind::safari), BrowserAuthorization::notRunning());
}

}  // namespace
}  // namespace tervane::x11
