#include "linux/I3Ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace tervane::x11 {
namespace {

using Steady = std::chrono::steady_clock;

int msLeft(Steady::time_point deadline) {
  const auto left = std::chrono::duration<double, std::milli>(deadline - Steady::now()).count();
  return static_cast<int>(std::clamp(std::ceil(left), 0.0, 86400000.0));
}

// Waits until `fd` is ready for `events`; false at the deadline or on a hang-up.
bool ready(int fd, short events, Steady::time_point deadline) {
  for (;;) {
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, msLeft(deadline));
    if (n < 0 && errno == EINTR) continue;
    return n > 0 && (p.revents & events) != 0;
  }
}

}  // namespace

std::string I3Ipc::frame(Type type, std::string_view payload) {
  std::string out(kMagic);
  const auto length = static_cast<std::uint32_t>(payload.size());
  const std::uint32_t kind = type;
  out.append(reinterpret_cast<const char*>(&length), sizeof length);
  out.append(reinterpret_cast<const char*>(&kind), sizeof kind);
  out.append(payload);
  return out;
}

std::optional<I3Ipc::Header> I3Ipc::header(std::string_view bytes) {
  if (bytes.size() < kHeaderSize || bytes.substr(0, kMagic.size()) != kMagic) return std::nullopt;
  Header h;
  std::memcpy(&h.length, bytes.data() + kMagic.size(), sizeof h.length);
  std::memcpy(&h.type, bytes.data() + kMagic.size() + sizeof h.length, sizeof h.type);
  if (h.length > kMaxPayload) return std::nullopt;
  return h;
}

std::optional<std::string> I3Ipc::socketPath(XConnection& connection) {
  static constexpr std::string_view kName = "I3_SOCKET_PATH";
  auto atom = connection.reply(
      xcb_intern_atom_reply,
      xcb_intern_atom(connection.raw(), 1, static_cast<std::uint16_t>(kName.size()), kName.data()));
  if (!atom || atom->atom == XCB_ATOM_NONE) return std::nullopt;
  auto value = connection.reply(xcb_get_property_reply,
                                xcb_get_property(connection.raw(), 0, connection.root(), atom->atom,
                                                 XCB_GET_PROPERTY_TYPE_ANY, 0, 1024));
  if (!value || value->format != 8 || xcb_get_property_value_length(value.get()) == 0) {
    return std::nullopt;
  }
  return std::string(static_cast<const char*>(xcb_get_property_value(value.get())),
                     static_cast<std::size_t>(xcb_get_property_value_length(value.get())));
}

posix::UniqueFd I3Ipc::open(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return {};
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  posix::UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  // A local socket connects at once or not at all.
  if (!fd.valid() ||
      ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    return {};
  }
  return fd;
}

std::unique_ptr<I3Ipc> I3Ipc::connect(const std::string& path) {
  auto fd = open(path);
  if (!fd.valid()) return nullptr;
  return std::unique_ptr<I3Ipc>(new I3Ipc(path, std::move(fd)));
}

bool I3Ipc::writeAll(std::string_view data, Steady::time_point deadline) {
  while (!data.empty()) {
    if (!ready(fd_.get(), POLLOUT, deadline)) return false;
    const auto sent = ::send(fd_.get(), data.data(), data.size(), MSG_NOSIGNAL);
    if (sent < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool I3Ipc::readExactly(char* data, std::size_t size, Steady::time_point deadline) {
  while (size > 0) {
    if (!ready(fd_.get(), POLLIN, deadline)) return false;
    const auto got = ::recv(fd_.get(), data, size, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

std::optional<nlohmann::json> I3Ipc::request(Type type, std::string_view payload, double seconds) {
  std::lock_guard lock(mutex_);
  if (!fd_.valid()) fd_ = open(path_);
  if (!fd_.valid()) return std::nullopt;
  const auto deadline = Steady::now() + std::chrono::duration_cast<Steady::duration>(
                                            std::chrono::duration<double>(seconds));
  // Whatever goes wrong leaves the stream at an unknown place: the connection is dropped.
  const auto fail = [&]() -> std::optional<nlohmann::json> {
    fd_.reset();
    return std::nullopt;
  };
  if (!writeAll(frame(type, payload), deadline)) return fail();
  for (;;) {
    char head[kHeaderSize];
    if (!readExactly(head, sizeof head, deadline)) return fail();
    const auto h = header(std::string_view(head, sizeof head));
    if (!h) return fail();
    std::string body(h->length, '\0');
    if (!readExactly(body.data(), body.size(), deadline)) return fail();
    // Events (the high bit) arrive only on subscription; any other reply is not ours.
    if (h->type != type) continue;
    auto json = nlohmann::json::parse(body, nullptr, false);
    if (json.is_discarded()) return fail();
    return json;
  }
}

bool I3Ipc::listen(const nlohmann::json& events) {
  const auto reply = request(subscribe, events.dump());
  return reply && reply->is_object() && reply->value("success", false) == true;
}

bool I3Ipc::takeFrames(std::string& buffer, const EventHandler& each) {
  std::size_t at = 0;
  while (buffer.size() - at >= kHeaderSize) {
    const auto h = header(std::string_view(buffer).substr(at));
    if (!h) return false;
    if (buffer.size() - at - kHeaderSize < h->length) break;
    const auto json = nlohmann::json::parse(
        buffer.begin() + static_cast<std::ptrdiff_t>(at + kHeaderSize),
        buffer.begin() + static_cast<std::ptrdiff_t>(at + kHeaderSize + h->length), nullptr, false);
    at += kHeaderSize + h->length;
    if (!json.is_discarded()) each(h->type, json);
  }
  buffer.erase(0, at);
  return true;
}

bool I3Ipc::readEvents(const EventHandler& each) {
  std::unique_lock lock(mutex_);
  if (!fd_.valid()) return false;
  char chunk[65536];
  for (;;) {
    const auto got = ::recv(fd_.get(), chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) break;
    if (got <= 0) {
      fd_.reset();
      return false;
    }
    pending_.append(chunk, static_cast<std::size_t>(got));
  }
  std::string whole;
  whole.swap(pending_);
  const bool ok = takeFrames(whole, [&](std::uint32_t type, const nlohmann::json& event) {
    // The handler may ask the manager things on another connection, never on this one.
    lock.unlock();
    each(type, event);
    lock.lock();
  });
  pending_ = std::move(whole);
  if (!ok) fd_.reset();
  return ok;
}

}  // namespace tervane::x11
