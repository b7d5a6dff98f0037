#include "linux/X11AutomationPermission.h"

#include <sys/stat.h>
#include <unistd.h>
#include <xcb/res.h>

#include <algorithm>
#include <charconv>
#include <fstream>

namespace tervane::x11 {

namespace fs = std::filesystem;

std::set<BrowserKind> runningBrowserProcesses(const fs::path& procRoot, uid_t uid,
                                              const std::optional<std::set<pid_t>>& onDisplay) {
  std::set<BrowserKind> kinds;
  std::error_code error;
  for (fs::directory_iterator it(procRoot, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    pid_t pid = 0;
    const auto [last, failure] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (failure != std::errc{} || last != name.data() + name.size()) continue;
    if (onDisplay && onDisplay->count(pid) == 0) continue;
    struct stat info {};
    if (::stat(it->path().c_str(), &info) != 0 || info.st_uid != uid) continue;
    std::ifstream comm(it->path() / "comm");
    std::string command;
    if (!std::getline(comm, command)) continue;
    if (const auto kind = browserKindForProcess(command)) kinds.insert(*kind);
  }
  return kinds;
}

std::optional<std::set<pid_t>> clientProcesses(XConnection& connection) {
  const auto* extension = xcb_get_extension_data(connection.raw(), &xcb_res_id);
  if (extension == nullptr || extension->present == 0) return std::nullopt;
  // Client 0 asks about every client.
  const xcb_res_client_id_spec_t every{0, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
  const auto reply = connection.reply(xcb_res_query_client_ids_reply,
                                      xcb_res_query_client_ids(connection.raw(), 1, &every));
  if (!reply) return std::nullopt;
  std::set<pid_t> pids;
  for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem > 0;
       xcb_res_client_id_value_next(&it)) {
    if (xcb_res_client_id_value_value_length(it.data) == 1) {
      pids.insert(static_cast<pid_t>(*xcb_res_client_id_value_value(it.data)));
    }
  }
  return pids;
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
  for (BrowserKind kind : runningBrowserProcesses(procRoot_, ::getuid(), clientProcesses(c))) {
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
