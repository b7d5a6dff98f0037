#include "posix/ControlServer.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/Log.h"
#include "posix/ControlClient.h"
#include "posix/UnixSocket.h"
#include "support/ControlServerStandIn.h"
#include "support/TempDir.h"

namespace tervane::posix {
namespace {

// Everything the server writes until it closes the connection (blocks until then).
std::string readToEnd(int fd) {
  std::string out;
  char buffer[4096];
  while (true) {
    const auto n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return out;
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

class ControlServerTest : public ::testing::Test {
 protected:
  // Starts a server whose handler records each line (marked when it is not on the main
  // thread) and answers with its length, or holds the reply when `holdReplies`.
  void startServer(ControlServerOptions options = {}) {
    app.start(
        [this](std::string line, ControlServer::Reply reply) {
          std::unique_lock lock(mutex);
          lines.push_back(app.loop.queue()->isMainThread() ? line : "off main: " + line);
          if (holdReplies) held.push_back(reply);
          else reply(ControlProtocol::encode(ControlReply{true, std::to_string(line.size()), {}}));
          lock.unlock();
          changed.notify_all();
        },
        options);
  }

  void awaitHeld(std::size_t count) {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return held.size() == count; });
  }

  std::vector<std::string> seen() {
    std::lock_guard lock(mutex);
    return lines;
  }

  ControlClient client() const { return ControlClient({paths.socket}); }

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> lines;
  bool holdReplies = false;
  std::vector<ControlServer::Reply> held;
  testing::ControlServerStandIn app;
  const ControlPaths& paths = app.paths;
};

TEST_F(ControlServerTest, OversizedAndUnfinishedLinesAreRefusedWithoutReachingTheHandler) {
  startServer();
  const auto refusal = [](const char* why) {
    return ControlProtocol::encode(ControlProtocol::refused(why));
  };
  EXPECT_EQ(client().sendLine(std::string(ControlProtocol::kMaxRequestBytes + 1, 'x'), 15).value(),
            refusal("The request is longer than 1 MiB."));
  // Exactly the limit is still a request, and reaches the handler whole.
  const std::string atLimit(ControlProtocol::kMaxRequestBytes, 'y');
  EXPECT_EQ(ControlProtocol::decodeReply(client().sendLine(atLimit, 15).value()).value().message,
            std::to_string(atLimit.size()));

  auto fd = connectToAny({paths.socket}, "").value();
  ASSERT_EQ(::send(fd.get(), "{\"command\":", 11, MSG_NOSIGNAL), 11);
  ::shutdown(fd.get(), SHUT_WR);
  EXPECT_EQ(readToEnd(fd.get()), refusal("The request ended before its line did.") + "\n");
  EXPECT_EQ(seen().size(), 1u) << "only the request at the limit reached the handler";
}

TEST_F(ControlServerTest, ClientsAreServedAtOnceGiveUpOnSilenceAndStopDropsLateReplies) {
  holdReplies = true;
  startServer();
  // A client gives up on an application that does not answer; the late answer is dropped.
  EXPECT_EQ(client().sendLine("start", 0.05).error(),
            (Error{"Tervane Now did not answer within 0.05 seconds.", ETIMEDOUT}));
  awaitHeld(1);
  held[0]("late");

  // Two clients are served at once: both reach the handler while neither has an answer,
  // and each answer goes to its own client.
  Result<std::string> first = Error{"not run", 0}, second = first;
  std::thread a([&] { first = client().sendLine("first", 15); });
  std::thread b([&] { second = client().sendLine("second", 15); });
  awaitHeld(3);
  EXPECT_EQ(InstanceLock::acquire(paths.lock).error().code, EWOULDBLOCK);
  const std::size_t answered = lines[1] == "first" ? 1 : 2;
  held[answered]("reply to first");
  a.join();
  EXPECT_EQ(first.value(), "reply to first");

  app.server->stop();
  b.join();
  EXPECT_EQ(second.error().code, EPROTO);
  held[3 - answered]("too late");  // must not crash or write anywhere
  EXPECT_FALSE(std::filesystem::exists(paths.socket));
  EXPECT_TRUE(InstanceLock::acquire(paths.lock).ok());
}

TEST_F(ControlServerTest, AStaleSocketIsReplacedASilentClientClosedAndARequestAnswered) {
  auto prepared = prepareControlFolder(app.lookup, app.tmp.path());
  ASSERT_TRUE(prepared.ok());
  // A socket whose process is gone: the file stays, nobody listens.
  ASSERT_TRUE(listenPrivate(prepared.value().socket, 1).ok());
  ASSERT_TRUE(std::filesystem::is_socket(prepared.value().socket));
  EXPECT_EQ(ControlClient({prepared.value().socket}).sendLine("status", 15).error().code,
            ECONNREFUSED);
  startServer({.readSeconds = 0.05});
  EXPECT_EQ(paths.folder, app.runtime.path() / "tervane-now");
  EXPECT_EQ(testing::modeOf(paths.folder), 0700u);
  EXPECT_EQ(testing::modeOf(paths.socket), 0600u);
  // A silent client is closed without an answer; a request after it travels to the main
  // thread and its reply comes back.
  EXPECT_EQ(readToEnd(connectToAny({paths.socket}, "").value().get()), "");
  const ControlRequest request{.command = ControlCommand::capture, .line = "write"};
  const auto line = ControlProtocol::encode(request);
  EXPECT_EQ(client().send(request).value(), (ControlReply{true, std::to_string(line.size()), {}}));
  EXPECT_EQ(seen(), std::vector<std::string>{line});
}

TEST_F(ControlServerTest, APeerOfAnotherUserIsClosedWithoutAnAnswer) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  auto sink = std::make_shared<RecordingLogSink>();
  Log::setSink(sink);
  startServer();
  // Open the folder and socket so the other user gets as far as the credential check.
  std::filesystem::permissions(app.runtime.path(), std::filesystem::perms(0711));
  std::filesystem::permissions(paths.folder, std::filesystem::perms(0711));
  std::filesystem::permissions(paths.socket, std::filesystem::perms(0666));

  sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
  std::strcpy(address.sun_path, paths.socket.c_str());
  // The child makes nothing but system calls.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setuid(65534) != 0) ::_exit(2);
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ::_exit(3);
    const char request[] = "{\"command\":\"status\"}\n";
    ::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
    // A safety net against a hang, not a measurement: the server closes at once.
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 30000) != 1) ::_exit(4);
    // Closed with the request unread: an end of file or a reset, never a byte.
    char byte;
    const auto got = ::recv(fd, &byte, 1, 0);
    ::_exit(got == 0 || (got < 0 && errno == ECONNRESET) ? 0 : 5);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1 byte read or no close (exit code from the child)";
  EXPECT_TRUE(seen().empty());
  EXPECT_TRUE(std::ranges::any_of(sink->records(), [](const auto& record) {
    return record.category == "control" && record.message.find("65534") != std::string::npos;
  }));
  Log::setSink(nullptr);
}

TEST(ControlFolder, ChoosesAPrivateRuntimeFolderOfOursAndFallsBackToOneInTmp) {
  testing::TempDir runtime, tmp;
  auto env = [](std::optional<std::string> value) {
    return [value](const std::string& name) {
      return name == "XDG_RUNTIME_DIR" ? value : std::nullopt;
    };
  };
  const auto fallback = tmp / ("tervane-now-" + std::to_string(::geteuid()));
  EXPECT_EQ(controlFolderCandidates(env(runtime.path().string()), tmp.path()),
            (std::vector<std::filesystem::path>{runtime / "tervane-now", fallback}));
  EXPECT_EQ(controlFolderCandidates(env("relative/run"), tmp.path()), std::vector{fallback});
  EXPECT_EQ(controlFolderCandidates(env(std::nullopt), tmp.path()), std::vector{fallback});

  // A runtime folder that does not exist is unusable.
  EXPECT_EQ(prepareControlFolder(env((runtime / "gone").string()), tmp.path()).value().folder,
            fallback);
  EXPECT_EQ(testing::modeOf(fallback), 0700u);

  // Only a private folder of ours is used.
  std::filesystem::create_directory(runtime / "open");
  std::filesystem::permissions(runtime / "open", std::filesystem::perms(0755));
  ASSERT_TRUE(securePrivateFolder(runtime / "open").ok());
  EXPECT_EQ(testing::modeOf(runtime / "open"), 0700u) << "tightened";

  std::filesystem::create_directory_symlink(runtime / "open", runtime / "link");
  EXPECT_FALSE(securePrivateFolder(runtime / "link").ok());
  testing::writeText(runtime / "file", "x");
  EXPECT_FALSE(securePrivateFolder(runtime / "file").ok());

  if (::geteuid() == 0) {
    std::filesystem::create_directory(runtime / "theirs");
    ASSERT_EQ(::chown((runtime / "theirs").c_str(), 65534, 65534), 0);
    EXPECT_EQ(securePrivateFolder(runtime / "theirs").error().code, EPERM);
  }
}

}  // namespace
}  // namespace tervane::posix
