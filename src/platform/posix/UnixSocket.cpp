#include "posix/UnixSocket.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace tervane::posix {
namespace {

Error systemError(const std::string& what) {
  const int err = errno;
  return Error{what + ": " + std::strerror(err), err};
}

}  // namespace

Result<UniqueFd> listenPrivate(const std::filesystem::path& path, int backlog) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const auto socketPath = path.string();
  const auto bindPath = socketPath + ".new";
  if (bindPath.size() >= sizeof address.sun_path) {
    return Error{"the socket path is too long: " + socketPath, ENAMETOOLONG};
  }
  std::memcpy(address.sun_path, bindPath.c_str(), bindPath.size() + 1);
  if ((::unlink(socketPath.c_str()) != 0 && errno != ENOENT) ||
      (::unlink(bindPath.c_str()) != 0 && errno != ENOENT)) {
    return systemError("cannot remove the old socket " + socketPath);
  }
  UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!listener.valid()) return systemError("cannot make a socket");
  if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return systemError("cannot bind the socket " + socketPath);
  }
  if (::chmod(bindPath.c_str(), 0600) != 0 || ::listen(listener.get(), backlog) != 0 ||
      ::rename(bindPath.c_str(), socketPath.c_str()) != 0) {
    auto error = systemError("cannot open the socket " + socketPath);
    ::unlink(bindPath.c_str());
    return error;
  }
  return listener;
}

Result<UniqueFd> connectToAny(const std::vector<std::filesystem::path>& sockets,
                              const char* notRunning) {
  for (const auto& path : sockets) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const auto text = path.string();
    if (text.size() >= sizeof address.sun_path) continue;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return systemError("cannot make a socket");
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
      return fd;
    }
    // Nothing there, or a socket file left by a run that died: try the next place.
    if (errno == ENOENT || errno == ECONNREFUSED || errno == ENOTDIR) continue;
    return systemError("cannot reach Tervane Now");
  }
  return Error{notRunning, ECONNREFUSED};
}

Result<PeerCheck> checkPeer(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
    return systemError("cannot read the peer's credentials");
  }
  return PeerCheck{peer.uid == ::geteuid(), peer.uid, peer.pid};
}

}  // namespace tervane::posix
