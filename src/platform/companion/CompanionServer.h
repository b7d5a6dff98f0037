// The application's end of the companion socket. Each host that connects (one per browser
// profile) becomes a `CompanionLink` once its hello names the browser; a peer of another
// user, one that says nothing within a few seconds, or one that sends a frame that is not
// a message is dropped, and the application carries on.
//
// One background thread accepts and reads; requests are written from the caller's thread
// (a browser's lane) and their answers handed back to it. A link that closes fails every
// request waiting on it at once, so a script never waits on a companion that has gone.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Result.h"
#include "posix/UniqueFd.h"

namespace tervane::companion {

class CompanionLink {
 public:
  CompanionLink(posix::UniqueFd fd, std::string browser, std::string profile);

  const std::string& browser() const { return browser_; }
  const std::string& profile() const { return profile_; }
  // A number of the browser kind and profile, the same for every connection of that profile.
  std::uint32_t profileKey() const { return profileKey_; }
  bool open() const;

  // Sends `request` (an "id" is added) and waits for its answer up to `seconds`. Errors:
  // ENOTCONN when the link is or becomes closed, ETIMEDOUT when no answer came in time.
  [[nodiscard]] Result<nlohmann::json> request(nlohmann::json request, double seconds);

  // From the reading thread.
  void deliver(const nlohmann::json& answer);
  void close();
  int fd() const { return fd_.get(); }

 private:
  posix::UniqueFd fd_;
  std::string browser_;
  std::string profile_;
  std::uint32_t profileKey_;
  mutable std::mutex mutex_;
  std::condition_variable answered_;
  std::mutex writeMutex_;
  bool open_ = true;
  std::int64_t nextId_ = 1;
  std::map<std::int64_t, std::optional<nlohmann::json>> waiting_;
};

struct CompanionServerOptions {
  double helloSeconds = 5;  // from connecting to the hello
  // Called with the number of open links whenever one opens or closes: on the server's
  // thread, or in `stop`.
  std::function<void(std::size_t)> linksChanged;
};

class CompanionServer {
 public:
  // Listens at `socket` (inside the person's 0700 control folder) and starts reading.
  [[nodiscard]] static Result<std::unique_ptr<CompanionServer>> start(
      const std::filesystem::path& socket, CompanionServerOptions options = {});
  ~CompanionServer();
  CompanionServer(const CompanionServer&) = delete;
  CompanionServer& operator=(const CompanionServer&) = delete;

  // The open links of these browser kinds, oldest first.
  std::vector<std::shared_ptr<CompanionLink>> links(const std::vector<std::string>& kinds) const;
  // Every open link.
  std::vector<std::shared_ptr<CompanionLink>> links() const;
  // Waits up to `seconds` until exactly `count` links are open; whether they are.
  bool awaitLinks(std::size_t count, double seconds) const;
  const std::filesystem::path& socket() const { return socket_; }

  void stop();

  struct Loop;

 private:
  explicit CompanionServer(std::filesystem::path socket);

  std::filesystem::path socket_;
  std::unique_ptr<Loop> loop_;
  std::thread thread_;
  bool stopped_ = false;
};

}  // namespace tervane::companion
