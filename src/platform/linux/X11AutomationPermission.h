// Browser presence and automation permission on the X11 desktop. An application runs
// when a client window of its class is managed, or, for the Chromium family, when a
// process of this user runs the browser's executable (a browser may run without a
// window). Controlling windows on X11 needs no consent: a running browser is allowed,
// one that does not run answers "not running". Safe to call from any thread.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <set>

#include "linux/ClientWindows.h"
#include "linux/XConnection.h"
#include "surfaces/AutomationPermission.h"

namespace tervane::x11 {

// The Chromium-family browsers with a process of user `uid` under `procRoot`, read from
// each process's `comm`.
std::set<BrowserKind> runningBrowserProcesses(const std::filesystem::path& procRoot, uid_t uid);

class X11AutomationPermission final : public AutomationPermission {
 public:
  static constexpr int kAllowed = 0;
  static constexpr int kNotRunning = -600;

  explicit X11AutomationPermission(std::shared_ptr<XConnection> connection,
                                   std::filesystem::path procRoot = "/proc", OwnIdentity own = {});

  std::vector<std::string> runningApplicationIds() override;
  std::optional<int> automationStatus(const std::string& bundleId, bool askUserIfNeeded) override;

 private:
  std::shared_ptr<XConnection> connection_;
  std::filesystem::path procRoot_;
  OwnIdentity own_;
};

}  // namespace tervane::x11
