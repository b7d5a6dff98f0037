#include "posix/ControlClient.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "posix/ControlFolder.h"
#include "posix/UniqueFd.h"
#include "posix/UnixSocket.h"

namespace tervane::posix {
namespace {

using Steady = std::chrono::steady_clock;

// A status lists every item of a stage; far more than any real one needs.
constexpr std::size_t kMaxReplyBytes = std::size_t{64} << 20;

const char* const kNotRunning = "Tervane Now is not running.";

// Milliseconds left until `deadline`, for poll().
int msLeft(Steady::time_point deadline) {
  const auto left = std::chrono::duration<double, std::milli>(deadline - Steady::now()).count();
  return static_cast<int>(std::clamp(std::ceil(left), 0.0, 86400000.0));
}

Error ioError(const char* what) {
  const int err = errno;
  return Error{std::string(what) + ": " + std::strerror(err), err};
}

}  // namespace

ControlClient::ControlClient(std::vector<std::filesystem::path> sockets)
    : sockets_(std::move(sockets)) {}

ControlClient ControlClient::forEnvironment(const EnvironmentLookup& lookup,
                                            const std::filesystem::path& tmpBase) {
  std::vector<std::filesystem::path> sockets;
  for (const auto& folder : controlFolderCandidates(lookup, tmpBase)) {
    sockets.push_back(ControlPaths::in(folder).socket);
  }
  return ControlClient(std::move(sockets));
}

Result<std::string> ControlClient::sendLine(const std::string& line, double timeoutSeconds) const {
  const auto deadline =
      Steady::now() + std::chrono::duration_cast<Steady::duration>(
                          std::chrono::duration<double>(std::max(0.0, timeoutSeconds)));
  auto connected = connectToAny(sockets_, kNotRunning);
  if (!connected) return connected.error();
  UniqueFd fd = std::move(connected).value();

  auto peer = checkPeer(fd.get());
  if (!peer) return Error{"cannot check who runs the control socket", peer.error().code};
  if (!peer.value().ours) {
    return Error{"The control socket belongs to another user; nothing was sent.", EPERM};
  }

  const auto timedOut = [timeoutSeconds] {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", timeoutSeconds);
    return Error{std::string("Tervane Now did not answer within ") + seconds + " seconds.",
                 ETIMEDOUT};
  };

  const std::string out = line + "\n";
  std::size_t written = 0;
  while (written < out.size()) {
    pollfd p{fd.get(), POLLOUT, 0};
    const int ready = ::poll(&p, 1, msLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return ioError("cannot send the request");
    if (ready == 0) return timedOut();
    const auto sent =
        ::send(fd.get(), out.data() + written, out.size() - written, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      // The server stopped reading (a request it refuses); its answer may already wait.
      if (errno == EPIPE || errno == ECONNRESET) break;
      return ioError("cannot send the request");
    }
    written += static_cast<std::size_t>(sent);
  }

  std::string in;
  char buffer[64 * 1024];
  while (true) {
    pollfd p{fd.get(), POLLIN, 0};
    const int ready = ::poll(&p, 1, msLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return ioError("cannot read the answer");
    if (ready == 0) return timedOut();
    const auto got = ::recv(fd.get(), buffer, sizeof buffer, MSG_DONTWAIT);
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return ioError("cannot read the answer");
    }
    if (got == 0) return Error{"Tervane Now closed the connection without an answer.", EPROTO};
    const auto start = in.size();
    in.append(buffer, static_cast<std::size_t>(got));
    if (auto newline = in.find('\n', start); newline != std::string::npos) {
      in.resize(newline);
      return in;
    }
    if (in.size() > kMaxReplyBytes) return Error{"The answer is too long.", EPROTO};
  }
}

Result<ControlReply> ControlClient::send(const ControlRequest& request,
                                         double timeoutSeconds) const {
  auto line = sendLine(ControlProtocol::encode(request), timeoutSeconds);
  if (!line) return line.error();
  auto reply = ControlProtocol::decodeReply(line.value());
  if (!reply) return Error{reply.error().message, EPROTO};
  return reply;
}

Result<ControlReply> ControlClient::sendWhenRunning(const ControlRequest& request,
                                                    double waitSeconds,
                                                    double timeoutSeconds) const {
  const auto deadline =
      Steady::now() + std::chrono::duration_cast<Steady::duration>(
                          std::chrono::duration<double>(std::max(0.0, waitSeconds)));
  UniqueFd watch(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
  if (!watch.valid()) return ioError("cannot watch for the control socket");
  while (true) {
    // Watch first, then try: a socket that appears in between still wakes the wait. The
    // socket's folder may not exist yet, so its parent is watched too; watches are added
    // again after each wake-up, once the folder is there.
    for (const auto& socket : sockets_) {
      for (const auto& folder : {socket.parent_path(), socket.parent_path().parent_path()}) {
        (void)::inotify_add_watch(watch.get(), folder.c_str(),
                                  IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
      }
    }
    auto reply = send(request, timeoutSeconds);
    if (reply || reply.error().code != ECONNREFUSED) return reply;
    pollfd p{watch.get(), POLLIN, 0};
    const int ready = ::poll(&p, 1, msLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return reply;
    char events[4096];
    while (::read(watch.get(), events, sizeof events) > 0) {
    }
  }
}

}  // namespace tervane::posix
