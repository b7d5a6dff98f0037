#include "posix/ControlServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "base/Log.h"
#include "posix/UniqueFd.h"
#include "posix/UnixSocket.h"

namespace tervane::posix {
namespace {

using Steady = std::chrono::steady_clock;

const Log& log() {
  static const Log instance("control");
  return instance;
}

Steady::time_point after(double seconds) {
  return Steady::now() +
         std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double>(seconds));
}

Error systemError(const std::string& what) {
  const int err = errno;
  return Error{what + ": " + std::strerror(err), err};
}

}  // namespace

// Replies travel from the main thread to the I/O thread through here; a byte on the wake
// pipe tells the I/O thread to look.
struct ControlServer::Mailbox {
  std::mutex mutex;
  std::map<std::uint64_t, std::string> replies;
  UniqueFd wakeRead;
  UniqueFd wakeWrite;
  bool closed = false;
  std::atomic<bool> stopping{false};

  void wake() {
    const char byte = 1;
    // A full pipe already holds a wake-up, so a failed write loses nothing.
    [[maybe_unused]] auto written = ::write(wakeWrite.get(), &byte, 1);
  }

  void deliver(std::uint64_t client, std::string reply) {
    std::lock_guard lock(mutex);
    if (closed) return;
    replies[client] = std::move(reply);
    wake();
  }

  std::map<std::uint64_t, std::string> take() {
    std::lock_guard lock(mutex);
    return std::exchange(replies, {});
  }
};

struct ControlServer::Loop {
  enum class Phase { reading, waiting, writing };
  struct Client {
    UniqueFd fd;
    Phase phase = Phase::reading;
    std::string in;
    std::string out;
    std::size_t written = 0;
    Steady::time_point deadline;
  };

  UniqueFd listener;
  std::shared_ptr<MainQueue> main;
  Handler handler;
  ControlServerOptions options;
  std::shared_ptr<Mailbox> mailbox;
  std::map<std::uint64_t, Client> clients;
  std::uint64_t nextId = 1;

  void run() {
    std::vector<pollfd> fds;
    std::vector<std::uint64_t> ids;
    while (!mailbox->stopping.load()) {
      fds.clear();
      ids.clear();
      fds.push_back({mailbox->wakeRead.get(), POLLIN, 0});
      const bool accepting = clients.size() < options.maxClients;
      fds.push_back({accepting ? listener.get() : -1, POLLIN, 0});
      auto nearest = Steady::time_point::max();
      for (auto& [id, client] : clients) {
        short events = 0;
        if (client.phase == Phase::reading) events = POLLIN;
        if (client.phase == Phase::writing) events = POLLOUT;
        // A waiting client is still polled: a hang-up is reported without asking.
        fds.push_back({client.fd.get(), events, 0});
        ids.push_back(id);
        nearest = std::min(nearest, client.deadline);
      }
      int timeout = -1;
      if (nearest != Steady::time_point::max()) {
        const auto left = std::chrono::duration<double, std::milli>(nearest - Steady::now());
        timeout = static_cast<int>(std::clamp(std::ceil(left.count()), 0.0, 3600000.0));
      }
      if (::poll(fds.data(), fds.size(), timeout) < 0) {
        if (errno == EINTR) continue;
        log().error("control socket poll failed: " + std::string(std::strerror(errno)));
        return;
      }
      if (fds[0].revents & POLLIN) drainWake();
      if (mailbox->stopping.load()) return;
      for (std::size_t i = 0; i < ids.size(); ++i) {
        if (fds[i + 2].revents != 0) serve(ids[i], fds[i + 2].revents);
      }
      deliverReplies();
      if (fds[1].revents & POLLIN) acceptAll();
      expire();
    }
  }

  void drainWake() {
    char buffer[64];
    while (::read(mailbox->wakeRead.get(), buffer, sizeof buffer) > 0) {
    }
  }

  void acceptAll() {
    while (clients.size() < options.maxClients) {
      UniqueFd fd(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
      if (!fd.valid()) return;  // EAGAIN, or a client that left before we took it
      auto peer = checkPeer(fd.get());
      if (!peer) {
        log().error("control socket: cannot read a peer's credentials; closed it");
        continue;
      }
      if (!peer.value().ours) {
        log().error("control socket: refused a connection from user id " +
                    std::to_string(peer.value().uid) + " (process " +
                    std::to_string(peer.value().pid) + ")");
        continue;
      }
      Client client;
      client.fd = std::move(fd);
      client.deadline = after(options.readSeconds);
      clients.emplace(nextId++, std::move(client));
    }
  }

  void serve(std::uint64_t id, short revents) {
    auto it = clients.find(id);
    if (it == clients.end()) return;
    Client& client = it->second;
    switch (client.phase) {
      case Phase::reading:
        readFrom(id, client);
        return;
      case Phase::waiting:
        // The client hung up before the answer; the answer will be dropped.
        if (revents & (POLLHUP | POLLERR)) clients.erase(it);
        return;
      case Phase::writing:
        if (revents & (POLLHUP | POLLERR)) {
          clients.erase(it);
          return;
        }
        writeTo(id, client);
        return;
    }
  }

  void readFrom(std::uint64_t id, Client& client) {
    char buffer[64 * 1024];
    while (true) {
      const auto got = ::recv(client.fd.get(), buffer, sizeof buffer, 0);
      if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        clients.erase(id);
        return;
      }
      if (got == 0) {
        // The peer stopped writing without ending its line.
        if (client.in.empty()) {
          clients.erase(id);
        } else {
          refuse(id, client, "The request ended before its line did.");
        }
        return;
      }
      const auto start = client.in.size();
      client.in.append(buffer, static_cast<std::size_t>(got));
      const auto newline = client.in.find('\n', start);
      if (newline != std::string::npos) {
        client.in.resize(newline);
        if (client.in.size() > options.maxRequestBytes) {
          refuse(id, client, "The request is longer than 1 MiB.");
          return;
        }
        handOver(id, client);
        return;
      }
      if (client.in.size() > options.maxRequestBytes) {
        refuse(id, client, "The request is longer than 1 MiB.");
        return;
      }
    }
  }

  void handOver(std::uint64_t id, Client& client) {
    client.phase = Phase::waiting;
    client.deadline = after(options.replySeconds);
    std::weak_ptr<Mailbox> box = mailbox;
    Reply reply = [box, id](std::string line) {
      if (auto mailbox = box.lock()) mailbox->deliver(id, std::move(line));
    };
    main->post([handler = handler, line = std::move(client.in), reply = std::move(reply)] {
      handler(line, reply);
    });
    client.in.clear();
  }

  void refuse(std::uint64_t id, Client& client, const std::string& message) {
    client.in.clear();
    startWriting(id, client, ControlProtocol::encode(ControlProtocol::refused(message)));
  }

  void startWriting(std::uint64_t id, Client& client, std::string line) {
    client.phase = Phase::writing;
    client.out = std::move(line) + "\n";
    client.written = 0;
    client.deadline = after(options.writeSeconds);
    writeTo(id, client);
  }

  void writeTo(std::uint64_t id, Client& client) {
    while (client.written < client.out.size()) {
      const auto sent = ::send(client.fd.get(), client.out.data() + client.written,
                               client.out.size() - client.written, MSG_NOSIGNAL);
      if (sent < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        clients.erase(id);
        return;
      }
      client.written += static_cast<std::size_t>(sent);
    }
    // One request per connection: the reply is complete, so the connection ends.
    clients.erase(id);
  }

  void deliverReplies() {
    for (auto& [id, line] : mailbox->take()) {
      auto it = clients.find(id);
      if (it == clients.end() || it->second.phase != Phase::waiting) continue;
      startWriting(id, it->second, std::move(line));
    }
  }

  void expire() {
    const auto now = Steady::now();
    for (auto it = clients.begin(); it != clients.end();) {
      if (it->second.deadline > now) {
        ++it;
        continue;
      }
      if (it->second.phase == Phase::reading) {
        log().notice("control socket: a client sent no request in time; closed it");
      } else if (it->second.phase == Phase::waiting) {
        log().error("control socket: no answer came in time; closed the connection");
      }
      it = clients.erase(it);
    }
  }
};

ControlServer::ControlServer(ControlPaths paths, InstanceLock lock)
    : paths_(std::move(paths)), lock_(std::make_unique<InstanceLock>(std::move(lock))) {}

Result<std::unique_ptr<ControlServer>> ControlServer::start(InstanceLock lock,
                                                            const ControlPaths& paths,
                                                            std::shared_ptr<MainQueue> main,
                                                            Handler handler,
                                                            ControlServerOptions options) {
  // The socket is bound and listening under a name of its own and then renamed into
  // place, so a client that finds the socket can connect at once, and one that waits for
  // the name to appear (`tervane-now --wait`) sees it only when it answers.
  // The lock is ours, so a socket file here is left over from a run that died.
  auto listening = listenPrivate(paths.socket, 16);
  if (!listening) return listening.error();
  UniqueFd listener = std::move(listening).value();
  const auto socketPath = paths.socket.string();

  auto mailbox = std::make_shared<Mailbox>();
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    auto error = systemError("cannot make the control wake pipe");
    ::unlink(socketPath.c_str());
    return error;
  }
  mailbox->wakeRead.reset(pipeFds[0]);
  mailbox->wakeWrite.reset(pipeFds[1]);

  std::unique_ptr<ControlServer> server(new ControlServer(paths, std::move(lock)));
  server->mailbox_ = mailbox;
  server->loop_ = std::make_unique<Loop>();
  server->loop_->listener = std::move(listener);
  server->loop_->main = std::move(main);
  server->loop_->handler = std::move(handler);
  server->loop_->options = options;
  server->loop_->mailbox = mailbox;
  server->thread_ = std::thread([loop = server->loop_.get()] { loop->run(); });
  return server;
}

ControlServer::~ControlServer() {
  stop();
}

void ControlServer::stop() {
  if (!loop_) return;
  mailbox_->stopping.store(true);
  {
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->wake();
  }
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->closed = true;
    mailbox_->replies.clear();
  }
  loop_.reset();  // closes the listener and every client
  ::unlink(paths_.socket.c_str());
  lock_.reset();
}

ControlServer::Handler controlHandler(std::shared_ptr<ControlCommands> commands) {
  return [commands = std::move(commands)](std::string line, ControlServer::Reply reply) {
    commands->handle(line, [reply = std::move(reply)](const ControlReply& answer) {
      reply(ControlProtocol::encode(answer));
    });
  };
}

}  // namespace tervane::posix
