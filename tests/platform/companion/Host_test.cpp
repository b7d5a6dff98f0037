// The host program between a stand-in browser (its standard input and output) and a
// stand-in application (a companion socket in a temporary runtime folder).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "companion/BrowserOrigin.h"
#include "companion/NativeFraming.h"
#include "posix/UnixSocket.h"
#include "support/TempDir.h"

extern char** environ;

namespace tervane::companion {
namespace {

using nlohmann::json;
// Reads one frame from `fd`, waiting up to 30 s (a loaded machine may be slow to start the
// host); nothing on end of stream or time-out.
std::optional<json> readFrame(int fd) {
  FrameReader reader;
  while (true) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 30000) <= 0) return std::nullopt;
    std::string buffer(reader.wanted(), '\0');
    const auto got = ::read(fd, buffer.data(), buffer.size());
    if (got <= 0) return std::nullopt;
    reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    auto next = reader.next();
    if (!next) return std::nullopt;
    if (next.value()) return next.value();
  }
}

void writeAll(int fd, const std::string& bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

class Host : public ::testing::Test {
 protected:
  // The application opens its socket (again: a new one replaces the old).
  void listen() {
    std::filesystem::create_directory(dir / "tervane-now");
    std::filesystem::permissions(dir / "tervane-now", std::filesystem::perms::owner_all);
    listener = posix::listenPrivate(dir / "tervane-now" / "companion", 4).value();
  }
  json accept() {
    pollfd p{listener.get(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 30000), 1);
    app.reset(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    auto hello = readFrame(app.get());
    return hello ? *hello : json();
  }
  void start() {
    // A host that left makes writing to it fail, not end the test program.
    ::signal(SIGPIPE, SIG_IGN);
    int in[2], out[2];
    ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    toHost.reset(in[1]);
    fromHost.reset(out[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::string env[] = {"XDG_RUNTIME_DIR=" + dir.path().string(), "HOME=/nonexistent"};
    char* envp[] = {env[0].data(), env[1].data(), nullptr};
    char program[] = TERVANE_HOST_TOOL;
    char* argv[] = {program, nullptr};
    ASSERT_EQ(posix_spawn(&pid, program, &actions, nullptr, argv, envp), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
  }
  int exitCode() {
    int status = 0;
    ::waitpid(std::exchange(pid, 0), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void TearDown() override {
    toHost.reset();
    app.reset();
    if (pid > 0) exitCode();
  }

  testing::TempDir dir;
  posix::UniqueFd listener, app, toHost, fromHost;
  pid_t pid = 0;
};

TEST_F(Host, RelaysFramesBothWaysAndWaitsQuietlyForTheApplicationToComeAndComeBack) {
  start();
  // Frames the browser sends meanwhile are read and dropped.
  writeAll(toHost.get(), NativeFraming::encode({{"id", 1}, {"ok", true}}).value());
  listen();
  EXPECT_TRUE(accept().contains("hello"));
  // The application dies; a new one opens a new socket at the same place.
  app.reset();
  listener.reset();
  listen();
  // A test program is no browser.
  EXPECT_EQ(accept(), (json{{"hello", {{"browser", ""}, {"profile", ""}, {"pid", ::getpid()}}}}));
  writeAll(toHost.get(), NativeFraming::encode({{"id", 2}, {"ok", true}}).value());
  EXPECT_EQ(readFrame(app.get()), (json{{"id", 2}, {"ok", true}}));

  // Too long for the browser: the application hears so, the browser hears nothing.
  const json big{{"id", 7}, {"pad", std::string(NativeFraming::kBrowserInboundLimit, 'x')}};
  writeAll(app.get(), NativeFraming::encode(big, NativeFraming::kMaxMessageBytes).value());
  writeAll(app.get(), NativeFraming::encode({{"id", 8}, {"op", "list"}}).value());
  EXPECT_EQ(readFrame(app.get()), (json{{"id", 7}, {"ok", false}, {"error", "tooLong"}}));
  EXPECT_EQ(readFrame(fromHost.get()), (json{{"id", 8}, {"op", "list"}}));

  // A browser frame it cannot read ends the host; the application sees the end.
  writeAll(toHost.get(), std::string("\x03\0\0\0[1]", 7));
  EXPECT_EQ(readFrame(app.get()), std::nullopt);
  EXPECT_EQ(exitCode(), 0);
}

TEST_F(Host, LeavesWithoutAWordWhenTheBrowserClosesItsEnd) {
  listen();
  start();
  EXPECT_TRUE(accept().contains("hello"));
  toHost.reset();
  EXPECT_EQ(exitCode(), 0);
  EXPECT_EQ(readFrame(fromHost.get()), std::nullopt);
}

TEST(BrowserOrigin, NamesTheBrowserFromItsProgramAndProfileFromItsArguments) {
  const std::tuple<const char*, const char*, const char*, std::vector<std::string>> cases[] = {
      {"/usr/lib/chromium/chromium", "chromium", "/c/chromium", {"--type=x"}},
      {"/x/chromium", "chromium", "/tmp/a", {"--user-data-dir=/tmp/a", "chrome-extension://x/"}},
      {"/opt/google/chrome/chrome", "chrome", "/c/google-chrome", {}},
      {"/opt/brave.com/brave/brave", "brave", "/c/BraveSoftware/Brave-Browser", {}},
      {"/opt/microsoft/msedge/msedge", "edge", "/c/microsoft-edge", {"--user-data-dir="}},
      {"/usr/lib/firefox-esr/firefox-esr", "firefox", "/h/.mozilla/firefox", {}},
      {"/x/firefox", "firefox", "/tmp/f", {"-profile", "/tmp/f", "--user-data-dir=/a"}},
      {"/x/firefox-bin", "firefox", "/tmp/g", {"--profile=/tmp/g", "--profile"}},
      {"/usr/bin/bash", "", "", {"--user-data-dir=/tmp/a"}}};
  for (const auto& [program, kind, profile, arguments] : cases) {
    const auto origin = browserOrigin(program, arguments, "/c", "/h");
    EXPECT_EQ(origin.kind, kind) << program;
    EXPECT_EQ(origin.profile, profile) << program;
  }
  using Args = std::vector<std::string>;
  EXPECT_EQ(commandLineArguments(std::string("/usr/bin/x\0--a=1 2\0b\0", 21)),
            (Args{"--a=1 2", "b"}));
  EXPECT_EQ(commandLineArguments("/usr/bin/chromium --user-data-dir=/tmp/my profile --no-x"),
            (Args{"--user-data-dir=/tmp/my profile", "--no-x"}));
  EXPECT_EQ(commandLineArguments(""), Args{});
  EXPECT_EQ(companionKinds("Firefox"), Args{"firefox"});
  EXPECT_EQ(companionKinds("Safari"), Args{});
}

}  // namespace
}  // namespace tervane::companion
