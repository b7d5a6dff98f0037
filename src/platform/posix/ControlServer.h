// The running application's end of `tervane-now <command>`: a Unix stream socket in the
// person's control folder (mode 0600 inside a 0700 folder) that takes one request line
// per connection, hands it to the main thread and writes back the one reply line.
//
// All socket work happens on one background thread that blocks in poll() on the listening
// socket, the connected clients and a wake pipe. A client must send its line within a few
// seconds (so a silent one cannot hold a slot), a line may be up to 1 MiB, and a peer whose
// user id is not ours is closed without an answer and logged.
//
// How the shell uses it, at launch:
//   auto paths = prepareControlFolder();                 // the folder, 0700
//   auto lock = InstanceLock::acquire(paths.lock);       // one instance per person
//   if (!lock) { ControlClient(paths...).send({open}); exit; }   // hand over to the first
//   auto commands = std::make_shared<ControlCommands>(model, main, openCard);
//   auto server = ControlServer::start(std::move(lock), paths, main, controlHandler(commands));
// and `server->stop()` before the model prepares to quit.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "base/MainQueue.h"
#include "base/Result.h"
#include "control/ControlCommands.h"
#include "control/ControlProtocol.h"
#include "posix/ControlFolder.h"
#include "posix/InstanceLock.h"

namespace tervane::posix {

struct ControlServerOptions {
  double readSeconds = 5;    // from connecting to the end of the request line
  double replySeconds = 60;  // for the main thread to answer (a start takes a few seconds)
  double writeSeconds = 5;   // for the client to take the reply
  std::size_t maxRequestBytes = ControlProtocol::kMaxRequestBytes;
  std::size_t maxClients = 64;  // more wait in the listen backlog
};

class ControlServer {
 public:
  // Called on the main thread with the request line (without its newline). `reply` may be
  // called once, from any thread, now or later; a reply for a client that has gone is
  // dropped.
  using Reply = std::function<void(std::string replyLine)>;
  using Handler = std::function<void(std::string requestLine, Reply reply)>;

  // Binds the socket (replacing a stale one: the lock proves no other instance uses it)
  // and starts the I/O thread. The server keeps the lock until it stops.
  [[nodiscard]] static Result<std::unique_ptr<ControlServer>> start(
      InstanceLock lock, const ControlPaths& paths, std::shared_ptr<MainQueue> main,
      Handler handler, ControlServerOptions options = {});

  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Closes every connection and the socket, removes the socket file and releases the lock.
  // Replies that arrive later are dropped. Idempotent.
  void stop();

  const std::filesystem::path& socketPath() const { return paths_.socket; }

  struct Mailbox;
  struct Loop;

 private:
  ControlServer(ControlPaths paths, InstanceLock lock);

  ControlPaths paths_;
  std::unique_ptr<InstanceLock> lock_;
  std::shared_ptr<Mailbox> mailbox_;
  std::unique_ptr<Loop> loop_;
  std::thread thread_;
};

// The handler that runs each line through `commands` on the main thread.
ControlServer::Handler controlHandler(std::shared_ptr<ControlCommands> commands);

}  // namespace tervane::posix
