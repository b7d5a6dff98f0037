// tervane-now-host: the native messaging host the browser starts for the companion
// extension. It reads frames from the browser on standard input, relays them to the
// running Tervane Now over its companion socket, and writes the application's frames back
// on standard output.
//
// When Tervane Now is not running, or quits, the host waits quietly for it to open its
// socket again (watching the folder, never polling), so a relaunched application has the
// companion back at once and can bring back the windows a stage had minimized. It exits
// when the browser closes its end or sends a frame it cannot read (the stream has then
// lost its place); a session with the application ends the same way on its side.
#include <poll.h>
#include <sys/inotify.h>
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
  std::filesystem::path home;
  if (const char* folder = std::getenv("HOME")) home = folder;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    configHome = xdg;
  } else if (!home.empty()) {
    configHome = home / ".config";
  }
  return browserOrigin(error ? std::filesystem::path() : program, parentArguments(parent),
                       configHome, home);
}

enum class Side { none, browser, application };

// Moves whole frames from the side that is readable to the other; the side that ended
// or broke the stream, if one did. A frame too long for the browser is answered to the
// application as refused instead.
Side relay(Side from, int app, FrameReader& reader) {
  const bool toBrowser = from == Side::application;
  const Side to = toBrowser ? Side::browser : Side::application;
  char buffer[64 * 1024];
  const auto got = ::read(toBrowser ? app : STDIN_FILENO, buffer, sizeof buffer);
  if (got < 0 && (errno == EINTR || errno == EAGAIN)) return Side::none;
  if (got <= 0) return from;
  reader.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
  while (true) {
    auto next = reader.next();
    if (!next) return from;
    if (!next.value()) return Side::none;
    const auto& message = *next.value();
    auto frame = NativeFraming::encode(
        message, toBrowser ? NativeFraming::kBrowserInboundLimit : NativeFraming::kMaxMessageBytes);
    if (frame) {
      if (!writeAll(toBrowser ? STDOUT_FILENO : app, frame.value(), !toBrowser)) return to;
    } else if (toBrowser && message.contains("id")) {
      auto refusal =
          NativeFraming::encode({{"id", message["id"]}, {"ok", false}, {"error", "tooLong"}},
                                NativeFraming::kMaxMessageBytes);
      if (refusal && !writeAll(app, refusal.value(), true)) return Side::application;
    }
  }
}

// One session with the running application, until one side ends it.
Side serve(int app, const BrowserOrigin& origin, FrameReader& fromBrowser) {
  auto hello = NativeFraming::encode(
      {{"hello", {{"browser", origin.kind}, {"profile", origin.profile}, {"pid", ::getppid()}}}},
      NativeFraming::kMaxMessageBytes);
  if (!hello || !writeAll(app, hello.value(), true)) return Side::application;
  FrameReader fromApp;
  while (true) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {app, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return Side::browser;
    }
    Side ended = Side::none;
    if (fds[0].revents != 0) ended = relay(Side::browser, app, fromBrowser);
    if (ended == Side::none && fds[1].revents != 0) ended = relay(Side::application, app, fromApp);
    if (ended != Side::none) return ended;
  }
}

// Reads what the browser sends while no application listens, keeping the stream's place;
// false when the browser has closed it or broken it.
bool dropFromBrowser(FrameReader& fromBrowser) {
  char buffer[64 * 1024];
  const auto got = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (got < 0) return errno == EINTR || errno == EAGAIN;
  if (got == 0) return false;
  fromBrowser.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
  for (auto next = fromBrowser.next(); next; next = fromBrowser.next()) {
    if (!next.value()) return true;
  }
  return false;
}

// Drains the watch's events; whether one of them created the socket or its folder (a
// watched /tmp sees many other names come and go).
bool namesOurs(int watch, const std::vector<std::filesystem::path>& sockets) {
  bool ours = false;
  alignas(inotify_event) char buffer[4096];
  while (true) {
    const auto got = ::read(watch, buffer, sizeof buffer);
    if (got <= 0) return ours;
    for (std::size_t at = 0; at + sizeof(inotify_event) <= static_cast<std::size_t>(got);) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      const std::string name = event->len > 0 ? std::string(event->name) : std::string();
      for (const auto& socket : sockets) {
        if (name == socket.filename() || name == socket.parent_path().filename()) ours = true;
      }
      at += sizeof(inotify_event) + event->len;
    }
  }
}

}  // namespace

int main() {
  const auto origin = whoStartedUs();
  const auto sockets = companionSockets();
  FrameReader fromBrowser;
  posix::UniqueFd watch(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
  while (true) {
    // Watch first, then try: a socket that appears in between still wakes the wait. A
    // folder not made yet is watched through its parent until it exists.
    for (const auto& socket : sockets) {
      if (watch.valid() && ::inotify_add_watch(watch.get(), socket.parent_path().c_str(),
                                               IN_CREATE | IN_MOVED_TO | IN_ONLYDIR) < 0) {
        (void)::inotify_add_watch(watch.get(), socket.parent_path().parent_path().c_str(),
                                  IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
      }
    }
    auto connected = posix::connectToAny(sockets, "Tervane Now is not running.");
    if (connected) {
      const auto peer = posix::checkPeer(connected.value().get());
      if (!peer || !peer.value().ours) return 1;
      if (serve(connected.value().get(), origin, fromBrowser) == Side::browser) return 0;
      continue;
    }
    // Without a way to wait, leave quietly; the extension starts the host again later.
    if (!watch.valid()) return 0;
    bool appeared = false;
    while (!appeared) {
      pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {watch.get(), POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) return 1;
      if (fds[0].revents != 0 && !dropFromBrowser(fromBrowser)) return 0;
      if (fds[1].revents != 0) appeared = namesOurs(watch.get(), sockets);
    }
  }
}
