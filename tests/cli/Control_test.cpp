#include "cli/Control.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <sstream>

#include "cli/Browsers.h"
#include "companion/HostManifests.h"
#include "support/ControlServerStandIn.h"
#include "support/TempDir.h"

namespace tervane::cli {
namespace {

using nlohmann::json;

std::optional<ControlOptions> parse(std::vector<std::string> args) {
  CLI::App app;
  app.require_subcommand(1);
  app.add_subcommand("preview");
  ControlCommandLine control(app);
  std::reverse(args.begin(), args.end());  // CLI11 takes the arguments last first
  app.parse(args);
  return control.parsed();
}

TEST(ControlCommandLine, EachSubCommandBuildsItsRequest) {
  using C = ControlCommand;
  const std::pair<std::vector<std::string>, ControlRequest> cases[] = {
      {{"capture", "write", "the", "report"}, {.command = C::capture, .line = "write the report"}},
      {{"answer", "no"}, {.command = C::answer, .answer = false}},
      {{"answer", "yes"}, {.command = C::answer, .answer = true}},
      {{"status", "--json"}, {.command = C::status}}, {{"pause"}, {.command = C::pause}}};
  for (const auto& [args, request] : cases) {
    EXPECT_EQ(parse(args).value_or(ControlOptions{}).request, request) << args[0];
  }
  EXPECT_TRUE(parse({"status", "--json"}).value_or(ControlOptions{}).json);
  EXPECT_FALSE(parse({"preview"}).has_value());

  EXPECT_THROW(parse({"capture"}), CLI::ParseError);
  EXPECT_THROW(parse({"start", "now"}), CLI::ParseError);
}

// A running application stand-in: a real control server whose handler answers from a
// small script keyed by command.
class ControlCli : public ::testing::Test {
 protected:
  void startServer() {
    app.start([this](std::string line, posix::ControlServer::Reply reply) {
      auto request = ControlProtocol::decodeRequest(line);
      std::lock_guard lock(mutex);
      if (request) requests.push_back(request.value());
      reply(ControlProtocol::encode(request ? replyTo(request.value())
                                            : ControlProtocol::refused("bad request")));
    });
  }

  static ControlReply replyTo(const ControlRequest& request) {
    switch (request.command) {
      case ControlCommand::capture:
        return ControlReply{true, "Your one thing: " + *request.line + ".", nullptr};
      case ControlCommand::status:
        return ControlReply{true, "I hid 1 app.", kStatus};
      case ControlCommand::browsers:
        return ControlReply{true, "", json::parse(R"({"companions": [
          {"browser": "chromium", "profile": "/a"}, {"browser": "chromium", "profile": "/b"}]})")};
      default:
        return ControlProtocol::refused("No stage is open, so there is nothing to pause.");
    }
  }

  struct Run {
    int status;
    std::string out;
    std::string err;
    bool operator==(const Run&) const = default;
    friend void PrintTo(const Run& r, std::ostream* os) { *os << r.status << r.out << r.err; }
  };
  posix::ControlClient client() {
    return posix::ControlClient::forEnvironment(app.lookup, app.tmp.path());
  }
  Run run(std::vector<std::string> args) {
    auto options = parse(std::move(args));
    EXPECT_TRUE(options);
    std::ostringstream out, err;
    const int status = runControl(*options, client(), out, err);
    return {status, out.str(), err.str()};
  }

  inline static const json kStatus = json::parse(R"({
    "line": "write the report", "summary": "I hid 1 app.", "lastBecause": "You had not used it.",
    "starting": false, "deniedBrowsers": ["safari"], "busyBrowsers": [], "justFinished": null,
    "stage": {"parked": false,
              "kept": [{"id": "chrome:4", "kind": "window", "name": "Chrome window, 1 tab"},
                       {"id": "chrome:4#0", "kind": "tab", "name": "Docs"}],
              "stowed": [{"id": "org.Mail", "kind": "app", "name": "Mail"}]},
    "pendingSubject": {"id": "org.Mail", "kind": "app", "name": "Mail"},
    "pendingQuestion": null})");

  std::mutex mutex;
  std::vector<ControlRequest> requests;
  testing::ControlServerStandIn app;
};

// The program itself, run with `arguments` and the environment naming the stand-in's
// runtime folder; its output goes to the file "out" there.
int runProgram(const testing::ControlServerStandIn& app, const std::string& arguments) {
  const int status = std::system(("XDG_RUNTIME_DIR='" + app.runtime.path().string() + "' '" +
                                  TERVANE_NOW_TOOL + "' " + arguments + " >'" +
                                  (app.runtime / "out").string() + "' 2>&1")
                                     .c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ControlCli, RepliesBecomeOneLineAndAnExitCode) {
  EXPECT_EQ(run({"status"}), (Run{ControlProtocol::kExitNothingRunning, "",
                                  "tervane-now: Tervane Now is not running.\n"}));
  EXPECT_EQ(runProgram(app, "answer maybe"), ControlProtocol::kExitUsage);
  // The version's build part is filled: a commit and its date, or a package's version.
  ASSERT_EQ(runProgram(app, "--version"), 0);
  EXPECT_THAT(
      testing::readText(app.runtime / "out"),
      ::testing::MatchesRegex("Tervane Now for Linux [0-9]+\\.[0-9]+\\.[0-9]+ \\([^)]+\\)\n"));
  startServer();
  // The program reaches the server the environment names, and passes its exit code on.
  EXPECT_EQ(runProgram(app, "status --json"), ControlProtocol::kExitDone);
  EXPECT_EQ(runProgram(app, "undo"), ControlProtocol::kExitRefused);
  EXPECT_EQ(run({"capture", "write", "the report"}),
            (Run{ControlProtocol::kExitDone, "Your one thing: write the report.\n", ""}));
  EXPECT_EQ(run({"pause"}),
            (Run{ControlProtocol::kExitRefused, "",
                 "tervane-now: No stage is open, so there is nothing to pause.\n"}));
  EXPECT_EQ(json::parse(run({"status", "--json"}).out), kStatus);
  EXPECT_EQ(run({"status"}),
            (Run{0,
                 "Line: write the report\n"
                 "Stage: open. I hid 1 app.\n"
                 "Kept: Chrome window, 1 tab (window)\n"
                 "Hidden: Mail (app)\n"
                 "Why: You had not used it.\n"
                 "Refused me: safari\n"
                 "Asking: is Mail part of it? Answer with tervane-now answer yes or no.\n",
                 ""}));
  std::lock_guard lock(mutex);
  ASSERT_EQ(requests.size(), 6u);
  EXPECT_EQ(requests[1].command, ControlCommand::undo);
}

// A home with Chromium on PATH, Edge and Firefox known by their folders, a Brave that is
// not a program, and the host installed beside tervane-now.
class BrowsersCli : public ControlCli {
 protected:
  BrowsersCli() {
    for (const char* folder : {"bin", ".config/microsoft-edge", ".mozilla/firefox"}) {
      std::filesystem::create_directories(home / folder);
    }
    for (const char* name : {"chromium", "brave-browser", "tervane-now-host"}) {
      testing::writeText(home / "bin" / name, "");
      if (name[0] != 'b') std::filesystem::permissions(home / "bin" / name, kRunnable);
    }
    context.program = home / "bin/tervane-now";
    context.lookup = [this](const std::string& name) -> std::optional<std::string> {
      if (name == "PATH") return (home / "bin").string();
      if (name == "HOME") return home.path().string();
      return app.lookup(name);
    };
  }
  Run browsers(bool install) {
    std::ostringstream out, err;
    const int status = runBrowsers(install, context, client(), out, err);
    return {status, out.str(), err.str()};
  }
  static constexpr auto kRunnable = std::filesystem::perms::owner_all;
  testing::TempDir home;
  BrowsersContext context;
};

TEST_F(BrowsersCli, ListsTheBrowsersFoundTheirManifestsAndCompanions) {
  EXPECT_EQ(browsers(false),
            (Run{ControlProtocol::kExitDone,
                 "Chromium: no host manifest.\n"
                 "Microsoft Edge: no host manifest.\n"
                 "Firefox: no host manifest.\n"
                 "tervane-now browsers install writes the host manifests.\n"
                 "Tervane Now is not running, so no companion is connected now.\n", ""}));

  auto installed = browsers(true);
  EXPECT_EQ(installed.status, ControlProtocol::kExitDone) << installed.err;
  const auto chromium = home / ".config/chromium/NativeMessagingHosts/now.tervane.companion.json";
  const auto edge = home / ".config/microsoft-edge/NativeMessagingHosts/now.tervane.companion.json";
  const auto manifest = json::parse(testing::readText(chromium));
  EXPECT_EQ(manifest["path"], (home / "bin/tervane-now-host").string());
  EXPECT_EQ(manifest["allowed_origins"],
            json({"chrome-extension://edbimddlcdmnaiandepgmpcoddnomaak/"}));
  EXPECT_EQ(testing::readText(edge), testing::readText(chromium));
  // Firefox reads its own folder and lets the add-on's id, not an origin, start the host.
  const auto firefox = home / ".mozilla/native-messaging-hosts/now.tervane.companion.json";
  EXPECT_EQ(json::parse(testing::readText(firefox))["allowed_extensions"],
            json({"companion@tervane.now"}));

  // Another extension's manifest is not ours, though it names our host.
  auto other = manifest;
  other["allowed_origins"] = json({"chrome-extension://other/"});
  testing::writeText(edge, other.dump());
  startServer();
  EXPECT_EQ(browsers(false).out,
            "Chromium: host manifest in place; companions connected in 2 profiles.\n"
            "Microsoft Edge: host manifest out of date (" +
                edge.string() +
                "); no companion connected.\n"
                "Firefox: host manifest in place; no companion connected.\n"
                "tervane-now browsers install writes the host manifests.\n");

  // Neither is one of the other browsers' form, or one naming a host that is gone.
  EXPECT_EQ(companion::manifestState(chromium, companion::ManifestForm::gecko),
            companion::ManifestState::stale);
  std::filesystem::remove(home / "bin/tervane-now-host");
  EXPECT_THAT(browsers(false).out, ::testing::StartsWith("Chromium: host manifest out of date ("));
}

TEST_F(BrowsersCli, InstallSaysWhatItCouldNotDo) {
  // A folder it cannot write (here a file stands in its place) stops only that browser's
  // manifest.
  testing::writeText(home / ".config/chromium", "");
  auto partly = browsers(true);
  EXPECT_EQ(partly.status, ControlProtocol::kExitRefused);
  EXPECT_THAT(partly.err, ::testing::StartsWith(
                              "tervane-now: could not write the host manifest for Chromium in "));
  EXPECT_THAT(partly.out, ::testing::StartsWith("Microsoft Edge: wrote "));

  std::filesystem::remove(home / "bin/tervane-now-host");
  auto noHost = browsers(true);
  EXPECT_EQ(noHost.status, ControlProtocol::kExitRefused);
  EXPECT_THAT(noHost.err, ::testing::HasSubstr("tervane-now-host is neither beside tervane-now"));

  std::filesystem::remove_all(home / "bin");
  std::filesystem::remove_all(home / ".config");
  std::filesystem::remove_all(home / ".mozilla");
  auto none = browsers(true);
  EXPECT_EQ(none.status, ControlProtocol::kExitRefused);
  EXPECT_THAT(none.err, ::testing::StartsWith("tervane-now: no browser found"));
  EXPECT_EQ(browsers(false).out,
            "No browser found that the companion serves (Chromium, Google Chrome, Brave, "
            "Microsoft Edge or Firefox).\n");
}

}  // namespace
}  // namespace tervane::cli
