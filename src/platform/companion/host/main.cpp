// tervane-now-host: the native messaging host the browser starts for the companion
// extension. It reads frames from the browser on standard input, relays them to the
// running Tervane Now over its companion socket, and writes the application's frames back
// on standard output.
//
// When Tervane Now is not running it exits at once and says nothing; the extension tries
// again later. It exits when either side closes, and when either side sends a frame it
// cannot read (the stream has then lost its place).
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/StateFolder.h"
#include "companion/BrowserOrigin.h"
#include "companion/CompanionSocket.h"
#include "companion/NativeFraming.h"
#include "posix/UnixSocket.h"

using namespace tervane;
using namespace tervane::companion;

namespace {

bool writeAll(int fd, const std::string& bytes, bool socket) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const auto wrote = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                              : ::write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<std::size_t>(wrote);
  }
  return true;
}

std::vector<std::string> parentArguments(pid_t parent) {
  std::ifstream in("/proc/" + std::to_string(parent) + "/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return commandLineArguments(all);
}

BrowserOrigin whoStartedUs() {
  const pid_t parent = ::getppid();
  std::error_code error;
  const auto program =
      std::filesystem::read_symlink("/proc/" + std::to_string(parent) + "/exe", error);
  std::filesystem::path configHome;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    configHome = xdg;
  } else if (const char* home = std::getenv("HOME")) {
    configHome = std::filesystem::path(home) / ".config";
  }
  return browserOrigin(error ? std::filesystem::path() : program, parentArguments(parent),
                       configHome);
}

// Moves whole frames from `from` to `to`; false when the stream ended or broke.
bool relay(int from, FrameReader& reader, int to, bool toSocket, std::size_t limit, int app) {
  char buffer[64 * 1024];
  const auto got = ::read(from, buffer, sizeof buffer);
  if (got < 0 && (errno == EINTR || errno == EAGAIN)) return true;
  if (got <= 0) return false;
  reader.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
  while (true) {
    auto next = reader.next();
    if (!next) return false;
    if (!next.value()) return true;
    auto frame = NativeFraming::encode(*next.value(), limit);
    if (!frame) {
      // Too long for the browser: tell the application the request failed instead.
      const auto& message = *next.value();
      if (!toSocket && message.contains("id")) {
        auto refusal =
            NativeFraming::encode({{"id", message["id"]}, {"ok", false}, {"error", "tooLong"}},
                                  NativeFraming::kMaxMessageBytes);
        if (refusal && !writeAll(app, refusal.value(), true)) return false;
      }
      continue;
    }
    if (!writeAll(to, frame.value(), toSocket)) return false;
  }
}

}  // namespace

int main() {
  auto connected = posix::connectToAny(companionSockets(), "Tervane Now is not running.");
  if (!connected) return 0;
  posix::UniqueFd app = std::move(connected).value();
  auto peer = posix::checkPeer(app.get());
  if (!peer || !peer.value().ours) return 1;

  const auto origin = whoStartedUs();
  auto hello = NativeFraming::encode(
      {{"hello", {{"browser", origin.kind}, {"profile", origin.profile}, {"pid", ::getppid()}}}},
      NativeFraming::kMaxMessageBytes);
  if (!hello || !writeAll(app.get(), hello.value(), true)) return 1;

  FrameReader fromBrowser;
  FrameReader fromApp;
  while (true) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {app.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return 1;
    }
    if (fds[0].revents != 0 && !relay(STDIN_FILENO, fromBrowser, app.get(), true,
                                      NativeFraming::kMaxMessageBytes, app.get())) {
      return 0;
    }
    if (fds[1].revents != 0 && !relay(app.get(), fromApp, STDOUT_FILENO, false,
                                      NativeFraming::kBrowserInboundLimit, app.get())) {
      return 0;
    }
  }
}
