#include "companion/CompanionServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>

#include "base/Log.h"
#include "companion/NativeFraming.h"
#include "posix/UnixSocket.h"

namespace tervane::companion {
namespace {

using Steady = std::chrono::steady_clock;

const Log& log() {
  static const Log instance("companion");
  return instance;
}

Steady::time_point after(double seconds) {
  return Steady::now() +
         std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double>(seconds));
}

int msUntil(Steady::time_point deadline) {
  const auto left = std::chrono::duration<double, std::milli>(deadline - Steady::now()).count();
  return static_cast<int>(std::clamp(std::ceil(left), 0.0, 3600000.0));
}

}  // namespace

CompanionLink::CompanionLink(posix::UniqueFd fd, std::string browser, std::string profile)
    : fd_(std::move(fd)), browser_(std::move(browser)), profile_(std::move(profile)) {
  // FNV-1a.
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : browser_ + '\n' + profile_) hash = (hash ^ c) * 16777619u;
  profileKey_ = hash;
}

bool CompanionLink::open() const {
  std::lock_guard lock(mutex_);
  return open_;
}

void CompanionLink::deliver(const nlohmann::json& answer) {
  const auto id = answer.find("id");
  if (id == answer.end() || !id->is_number_integer()) return;
  std::lock_guard lock(mutex_);
  auto it = waiting_.find(id->get<std::int64_t>());
  // An answer nobody waits for any more (its request timed out) is dropped.
  if (it == waiting_.end()) return;
  it->second = answer;
  answered_.notify_all();
}

void CompanionLink::close() {
  std::lock_guard lock(mutex_);
  // Shut down rather than closed: a caller may still hold the link, and the host must
  // see the end now.
  if (open_) ::shutdown(fd_.get(), SHUT_RDWR);
  open_ = false;
  answered_.notify_all();
}

Result<nlohmann::json> CompanionLink::request(nlohmann::json message, double seconds) {
  const auto deadline = after(seconds);
  std::int64_t id = 0;
  {
    std::lock_guard lock(mutex_);
    if (!open_) return Error{"the companion is not connected", ENOTCONN};
    id = nextId_++;
    waiting_.emplace(id, std::nullopt);
  }
  struct Forget {
    CompanionLink* link;
    std::int64_t id;
    ~Forget() {
      std::lock_guard lock(link->mutex_);
      link->waiting_.erase(id);
    }
  } forget{this, id};

  message["id"] = id;
  auto frame = NativeFraming::encode(message);
  if (!frame) return frame.error();
  {
    // The socket is non-blocking (the reading thread shares it): wait for room, bounded.
    std::lock_guard writing(writeMutex_);
    std::size_t sent = 0;
    const auto& bytes = frame.value();
    while (sent < bytes.size()) {
      pollfd p{fd_.get(), POLLOUT, 0};
      const int ready = ::poll(&p, 1, msUntil(deadline));
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return Error{"the companion did not take the request in time", ETIMEDOUT};
      const auto wrote =
          ::send(fd_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (wrote < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (wrote <= 0) {
        close();
        return Error{"the companion is not connected", ENOTCONN};
      }
      sent += static_cast<std::size_t>(wrote);
    }
  }
  std::unique_lock lock(mutex_);
  const bool done =
      answered_.wait_until(lock, deadline, [&] { return !open_ || waiting_[id].has_value(); });
  if (waiting_[id]) return std::move(*waiting_[id]);
  if (!open_) return Error{"the companion went away", ENOTCONN};
  (void)done;
  return Error{"the companion did not answer in time", ETIMEDOUT};
}

struct CompanionServer::Loop {
  struct Pending {
    posix::UniqueFd fd;
    FrameReader reader;
    Steady::time_point deadline;
  };
  struct Open {
    std::shared_ptr<CompanionLink> link;
    FrameReader reader;
  };

  posix::UniqueFd listener;
  posix::UniqueFd wakeRead;
  posix::UniqueFd wakeWrite;
  CompanionServerOptions options;
  std::atomic<bool> stopping{false};
  std::vector<Pending> pending;
  std::vector<Open> open;  // touched by the reading thread only
  mutable std::mutex linksMutex;
  mutable std::condition_variable linksChanged;
  std::vector<std::shared_ptr<CompanionLink>> links;  // what callers see

  void run() {
    while (!stopping.load()) {
      std::vector<pollfd> fds{{wakeRead.get(), POLLIN, 0}, {listener.get(), POLLIN, 0}};
      auto nearest = Steady::time_point::max();
      for (auto& p : pending) {
        fds.push_back({p.fd.get(), POLLIN, 0});
        nearest = std::min(nearest, p.deadline);
      }
      for (auto& o : open) fds.push_back({o.link->fd(), POLLIN, 0});
      const int timeout = nearest == Steady::time_point::max() ? -1 : msUntil(nearest);
      if (::poll(fds.data(), fds.size(), timeout) < 0) {
        if (errno == EINTR) continue;
        log().error("companion socket poll failed");
        return;
      }
      if (stopping.load()) return;
      std::size_t at = 2;
      std::vector<Pending> stillPending;
      std::vector<Open> greeted;
      for (auto& p : pending) {
        const short events = fds[at++].revents;
        if (events != 0) {
          if (auto hello = readHello(p)) {
            greeted.push_back(std::move(*hello));
            continue;
          }
          if (!p.fd.valid()) continue;
        }
        if (p.deadline <= Steady::now()) {
          log().notice("companion socket: a peer sent no hello in time; closed it");
          continue;
        }
        stillPending.push_back(std::move(p));
      }
      pending = std::move(stillPending);
      std::vector<Open> stillOpen;
      for (auto& o : open) {
        const short events = fds[at++].revents;
        if (events != 0 && !readFrom(o)) {
          o.link->close();
          continue;
        }
        stillOpen.push_back(std::move(o));
      }
      for (auto& g : greeted) stillOpen.push_back(std::move(g));
      open = std::move(stillOpen);
      publish();
      if (fds[1].revents & POLLIN) acceptAll();
    }
  }

  void publish() {
    std::vector<std::shared_ptr<CompanionLink>> now;
    for (auto& o : open) now.push_back(o.link);
    const auto count = now.size();
    {
      std::lock_guard lock(linksMutex);
      if (now == links) return;
      links = std::move(now);
      linksChanged.notify_all();
    }
    if (options.linksChanged) options.linksChanged(count);
  }

  void acceptAll() {
    while (true) {
      posix::UniqueFd fd(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
      if (!fd.valid()) return;
      auto peer = posix::checkPeer(fd.get());
      if (!peer || !peer.value().ours) {
        log().error("companion socket: refused a peer of another user");
        continue;
      }
      pending.push_back({std::move(fd), FrameReader(), after(options.helloSeconds)});
    }
  }

  // Reads what is there; false when the peer closed or sent what is not a message.
  static bool take(int fd, FrameReader& reader) {
    char buffer[64 * 1024];
    while (true) {
      const auto got = ::recv(fd, buffer, sizeof buffer, 0);
      if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
      if (got == 0) return false;
      reader.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
      if (reader.pending() > NativeFraming::kMaxMessageBytes + 4) return true;
    }
  }

  std::optional<Open> readHello(Pending& p) {
    const bool alive = take(p.fd.get(), p.reader);
    auto first = p.reader.next();
    if (!first || (!first.value() && !alive)) {
      if (!first) log().error("companion socket: a peer sent garbage; closed it");
      p.fd.reset();
      return std::nullopt;
    }
    if (!first.value()) return std::nullopt;
    const auto& message = *first.value();
    const auto hello = message.find("hello");
    if (hello == message.end() || !hello->is_object() || !(*hello)["browser"].is_string() ||
        !(*hello)["profile"].is_string()) {
      log().error("companion socket: a peer did not say hello; closed it");
      p.fd.reset();
      return std::nullopt;
    }
    auto link =
        std::make_shared<CompanionLink>(std::move(p.fd), (*hello)["browser"].get<std::string>(),
                                        (*hello)["profile"].get<std::string>());
    log().notice("companion connected: " + link->browser() + " (" + link->profile() + ")");
    Open o{std::move(link), std::move(p.reader)};
    // Answers may have come right behind the hello.
    if (!deliverAll(o)) {
      o.link->close();
      return std::nullopt;
    }
    return o;
  }

  bool deliverAll(Open& o) {
    while (true) {
      auto next = o.reader.next();
      if (!next) {
        log().error("companion socket: " + o.link->browser() + " sent garbage; closed it");
        return false;
      }
      if (!next.value()) return true;
      o.link->deliver(*next.value());
    }
  }

  bool readFrom(Open& o) {
    const bool alive = take(o.link->fd(), o.reader);
    if (!deliverAll(o)) return false;
    if (!alive) log().notice("companion disconnected: " + o.link->browser());
    return alive;
  }
};

Result<std::unique_ptr<CompanionServer>> CompanionServer::start(const std::filesystem::path& socket,
                                                                CompanionServerOptions options) {
  auto listening = posix::listenPrivate(socket, 16);
  if (!listening) return listening.error();
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    ::unlink(socket.c_str());
    return Error{"cannot make the companion wake pipe", errno};
  }
  std::unique_ptr<CompanionServer> server(new CompanionServer(socket));
  server->loop_ = std::make_unique<Loop>();
  server->loop_->listener = std::move(listening).value();
  server->loop_->wakeRead.reset(pipeFds[0]);
  server->loop_->wakeWrite.reset(pipeFds[1]);
  server->loop_->options = options;
  server->thread_ = std::thread([loop = server->loop_.get()] { loop->run(); });
  return server;
}

CompanionServer::CompanionServer(std::filesystem::path socket) : socket_(std::move(socket)) {}

CompanionServer::~CompanionServer() {
  stop();
}

void CompanionServer::stop() {
  if (!loop_ || stopped_) return;
  loop_->stopping.store(true);
  const char byte = 1;
  [[maybe_unused]] auto written = ::write(loop_->wakeWrite.get(), &byte, 1);
  if (thread_.joinable()) thread_.join();
  stopped_ = true;
  for (auto& o : loop_->open) o.link->close();
  loop_->open.clear();
  loop_->pending.clear();
  loop_->publish();
  loop_->listener.reset();
  ::unlink(socket_.c_str());
}

std::vector<std::shared_ptr<CompanionLink>> CompanionServer::links(
    const std::vector<std::string>& kinds) const {
  std::vector<std::shared_ptr<CompanionLink>> out;
  for (auto& link : links()) {
    if (std::find(kinds.begin(), kinds.end(), link->browser()) != kinds.end()) {
      out.push_back(link);
    }
  }
  return out;
}

bool CompanionServer::awaitLinks(std::size_t count, double seconds) const {
  if (!loop_) return count == 0;
  std::unique_lock lock(loop_->linksMutex);
  return loop_->linksChanged.wait_until(lock, after(seconds),
                                        [&] { return loop_->links.size() == count; });
}

std::vector<std::shared_ptr<CompanionLink>> CompanionServer::links() const {
  if (!loop_) return {};
  std::lock_guard lock(loop_->linksMutex);
  return loop_->links;
}

}  // namespace tervane::companion
