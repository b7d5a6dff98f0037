// A control server of the test's own: temporary runtime and tmp folders, an environment
// that names the runtime folder, and a real main loop on its own thread for the handler.
// Keep it the fixture's last member, so that the server and the loop stop before the
// members its handler uses go away.
#pragma once

#include <gtest/gtest.h>

#include "posix/ControlServer.h"
#include "support/MainLoopThread.h"
#include "support/TempDir.h"

namespace tervane::testing {

class ControlServerStandIn {
 public:
  ControlServerStandIn() {
    lookup = [this](const std::string& name) -> std::optional<std::string> {
      if (name == "XDG_RUNTIME_DIR") return runtime.path().string();
      return std::nullopt;
    };
  }
  ~ControlServerStandIn() {
    if (server) server->stop();
  }

  // Prepares the folder, takes the lock and starts serving `handler`.
  void start(posix::ControlServer::Handler handler, posix::ControlServerOptions options = {}) {
    auto prepared = posix::prepareControlFolder(lookup, tmp.path());
    ASSERT_TRUE(prepared.ok()) << prepared.error().message;
    paths = prepared.value();
    auto lock = posix::InstanceLock::acquire(paths.lock);
    ASSERT_TRUE(lock.ok()) << lock.error().message;
    auto started = posix::ControlServer::start(std::move(lock).value(), paths, loop.queue(),
                                               std::move(handler), options);
    ASSERT_TRUE(started.ok()) << started.error().message;
    server = std::move(started).value();
  }

  TempDir runtime;
  TempDir tmp;
  EnvironmentLookup lookup;
  posix::ControlPaths paths;
  std::unique_ptr<posix::ControlServer> server;
  MainLoopThread loop;  // last: stops before what its work uses
};

}  // namespace tervane::testing
