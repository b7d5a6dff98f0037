// The private Unix stream sockets of this person's session: the control socket and the
// browser companion's socket both listen as a 0600 file in a 0700 folder, and both ends
// trust a peer only when it runs under our own user id.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <vector>

#include "base/Result.h"
#include "posix/UniqueFd.h"

namespace tervane::posix {

// Binds and listens at `path` (non-blocking, close-on-exec), replacing a socket file left
// there. The socket is bound under a name of its own, made 0600 and then renamed into
// place, so whoever finds the name can connect at once.
[[nodiscard]] Result<UniqueFd> listenPrivate(const std::filesystem::path& path, int backlog);

// Connects to the first of `sockets` that accepts; ECONNREFUSED with `notRunning` as the
// message when none does (missing files and sockets left by a run that died count as none).
[[nodiscard]] Result<UniqueFd> connectToAny(const std::vector<std::filesystem::path>& sockets,
                                            const char* notRunning);

struct PeerCheck {
  bool ours = false;
  uid_t uid = 0;
  pid_t pid = 0;
};
// Who is at the other end of a connected Unix socket; an error when it cannot be read.
[[nodiscard]] Result<PeerCheck> checkPeer(int fd);

}  // namespace tervane::posix
