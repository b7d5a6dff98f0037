// The command line's end of the control socket: connect to the running application, send
// one request line, wait for the one reply line within a time limit. The server is
// trusted only when its user id is ours.
//
// Errors carry an errno-style code: ECONNREFUSED when nothing is running, ETIMEDOUT when
// the application did not answer in time, EPROTO for a reply that is not one, EPERM for a
// server run by someone else, other values for I/O failures.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "base/Result.h"
#include "base/StateFolder.h"
#include "control/ControlProtocol.h"

namespace tervane::posix {

class ControlClient {
 public:
  // A start may wait up to about four seconds for the picker and the browsers.
  static constexpr double kDefaultTimeoutSeconds = 15;

  // Tries each socket in order; the first that accepts a connection is used.
  explicit ControlClient(std::vector<std::filesystem::path> sockets);
  // The sockets of this person's control folders.
  static ControlClient forEnvironment(const EnvironmentLookup& lookup = processEnvironment,
                                      const std::filesystem::path& tmpBase = "/tmp");

  [[nodiscard]] Result<ControlReply> send(const ControlRequest& request,
                                          double timeoutSeconds = kDefaultTimeoutSeconds) const;
  // As `send`, but when nothing is running yet, waits up to `waitSeconds` for the
  // application to open its socket (watching the folders for it to appear, never
  // polling), for scripts that start the application and talk to it at once.
  [[nodiscard]] Result<ControlReply> sendWhenRunning(const ControlRequest& request,
                                                     double waitSeconds,
                                                     double timeoutSeconds = kDefaultTimeoutSeconds) const;
  // The raw exchange: `line` is sent with a newline; the reply line comes back without it.
  [[nodiscard]] Result<std::string> sendLine(const std::string& line, double timeoutSeconds) const;

 private:
  std::vector<std::filesystem::path> sockets_;
};

}  // namespace tervane::posix
