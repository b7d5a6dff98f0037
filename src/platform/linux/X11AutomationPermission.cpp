#include "linux/X11AutomationPermission.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>

namespace tervane::x11 {

namespace fs = std::filesystem;

std::set<BrowserKind> runningBrowserProcesses(const fs::path& procRoot, uid_t uid) {
  std::set<BrowserKind> kinds;
  std::error_code error;
  for (fs::directory_iterator it(procRoot, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || !std::all_of(name.begin(), name.end(),
                                     [](unsigned char c) { return std::isdigit(c) != 0; })) {
      continue;
    }
    struct stat info {};
    if (::stat(it->path().c_str(), &info) != 0 || info.st_uid != uid) continue;
    std::ifstream comm(it->path() / "comm");
    std::string command;
    if (!std::getline(comm, command)) continue;
    if (const auto kind = browserKindForProcess(command)) kinds.insert(*kind);
  }
  return kinds;
}

X11AutomationPermission::X11AutomationPermission(std::shared_ptr<XConnection> connection,
                                                 fs::path procRoot, OwnIdentity own)
    : connection_(std::move(connection)), procRoot_(std::move(procRoot)), own_(std::move(own)) {}

std::vector<std::string> X11AutomationPermission::runningApplicationIds() {
  std::set<std::string> ids;
  XConnection& c = *connection_;
  // Every managed window counts, also those off the taskbar.
  for (const auto& window : readClients(c, clientList(c, ClientOrder::mapping))) {
    if (window.className.empty()) continue;
    ids.insert(own_.owns(window) ? own_.className : appIdentifier(window.className));
  }
  for (BrowserKind kind : runningBrowserProcesses(procRoot_, ::getuid())) {
    ids.insert(bundleId(kind));
  }
  return {ids.begin(), ids.end()};
}

std::optional<int> X11AutomationPermission::automationStatus(const std::string& bundleId,
                                                             bool /*askUserIfNeeded*/) {
  const auto ids = runningApplicationIds();
  const bool running = std::find(ids.begin(), ids.end(), bundleId) != ids.end();
  return running ? kAllowed : kNotRunning;
}

}  // namespace tervane::x11
