#include "linux/X11AutomationPermission.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/TempDir.h"

namespace tervane::x11 {
namespace {

using testing::TempDir;

void process(const TempDir& proc, const std::string& pid, const std::string& comm) {
  std::filesystem::create_directories(proc / pid);
  testing::writeText(proc / pid / "comm", comm + "\n");
}

TEST(X11AutomationPermission, BrowsersRunWhenTheirExecutableRunsForThisUser) {
  TempDir proc;
  process(proc, "100", "bash");
  process(proc, "200", "msedge");
  process(proc, "201", "msedge");
  process(proc, "300", "chromium");
  process(proc, "301", "firefox-esr");
  process(proc, "self", "brave");                     // not a process entry
  std::filesystem::create_directories(proc / "400");  // gone before its comm was read
  EXPECT_EQ(runningBrowserProcesses(proc.path(), ::getuid()),
            (std::set<BrowserKind>{BrowserKind::chrome, BrowserKind::edge, BrowserKind::firefox}));
  EXPECT_TRUE(runningBrowserProcesses(proc.path(), ::getuid() + 1).empty())
      << "another user's browser is not this person's";
  EXPECT_TRUE(runningBrowserProcesses(proc / "missing", ::getuid()).empty());
}

}  // namespace
}  // namespace tervane::x11
