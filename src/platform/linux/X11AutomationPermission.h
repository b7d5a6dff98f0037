// Browser presence and automation permission on the X11 desktop. An application runs
// when a client window of its class is managed, or, for the Chromium family, when a
// process of this user that is a client of this X server runs the browser's executable (a
// browser may run without a window; one on another of the person's displays is not on this
// desktop). Controlling windows on X11 needs no consent: a running browser is allowed,
// one that does not run answers "not running". Safe to call from any thread.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <set>

#include "linux/ClientWindows.h"
#include "linux/XConnection.h"
#include "surfaces/AutomationPermission.h"

namespace tervane::x11 {

// The browsers with a process of user `uid` under `procRoot`, read from each process's
// `comm`; with `onDisplay`, only those among these process ids.
std::set<BrowserKind> runningBrowserProcesses(const std::filesystem::path& procRoot, uid_t uid,
                                              const std::optional<std::set<pid_t>>& onDisplay = {});

// The ids of the local processes connected to the X server; none when the server cannot
// tell (it lacks the X-Resource extension).
std::optional<std::set<pid_t>> clientProcesses(XConnection& connection);

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
