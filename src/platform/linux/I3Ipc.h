// The IPC of i3 (which sway speaks too): a Unix socket on which every message is the
// magic "i3-ipc", the payload's length and the message type as 32-bit numbers in the
// host's byte order, then the payload, JSON in replies. One request is answered at a
// time; every wait is bounded, and after a failure the next request connects again.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "linux/XConnection.h"
#include "posix/UniqueFd.h"

namespace tervane::x11 {

class I3Ipc {
 public:
  enum Type : std::uint32_t { runCommand = 0, subscribe = 2, getTree = 4 };
  // An event's type has the high bit set.
  static constexpr std::uint32_t kEventBit = 0x80000000u;
  static constexpr std::uint32_t kWindowEvent = kEventBit | 3u;
  static constexpr std::string_view kMagic = "i3-ipc";
  static constexpr std::size_t kHeaderSize = kMagic.size() + 8;
  // A tree of a few thousand windows is a few megabytes.
  static constexpr std::uint32_t kMaxPayload = 32u << 20;

  struct Header {
    std::uint32_t length = 0;
    std::uint32_t type = 0;
  };
  static std::string frame(Type type, std::string_view payload);
  // The header at the start of `bytes`; none when it is short, its magic is wrong or its
  // payload is over the limit.
  static std::optional<Header> header(std::string_view bytes);

  // The path the manager of this display publishes on its root window. $I3SOCK is not
  // asked: it may name the i3 of another display, the person's own while this runs on a
  // nested or test server.
  static std::optional<std::string> socketPath(XConnection& connection);
  static std::unique_ptr<I3Ipc> connect(const std::string& path);

  // Sends one request and gives its reply's JSON, or none when the manager did not answer
  // within `seconds` or answered something malformed.
  std::optional<nlohmann::json> request(Type type, std::string_view payload, double seconds = 2.0);

  // Events. After `listen` succeeds the connection carries only the named events (a JSON
  // array of names, as SUBSCRIBE takes them) and is read as it becomes readable: the owner
  // of the main loop watches `fileDescriptor()` and calls `readEvents`, which takes what has
  // arrived without waiting and hands on each whole event.
  using EventHandler = std::function<void(std::uint32_t type, const nlohmann::json& event)>;
  bool listen(const nlohmann::json& events);
  int fileDescriptor() const { return fd_.get(); }
  // False once the connection is closed or has sent something that is not a frame.
  bool readEvents(const EventHandler& each);
  // Takes the whole frames at the start of `buffer` out of it, handing on those whose JSON
  // parses; false at a frame that is not one (bad magic, or over the size limit).
  static bool takeFrames(std::string& buffer, const EventHandler& each);

 private:
  I3Ipc(std::string path, posix::UniqueFd fd) : path_(std::move(path)), fd_(std::move(fd)) {}
  static posix::UniqueFd open(const std::string& path);
  bool readExactly(char* data, std::size_t size, std::chrono::steady_clock::time_point deadline);
  bool writeAll(std::string_view data, std::chrono::steady_clock::time_point deadline);

  std::mutex mutex_;
  const std::string path_;
  posix::UniqueFd fd_;
  std::string pending_;  // the start of an event not yet whole
};

}  // namespace tervane::x11
