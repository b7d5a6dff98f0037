#include "support/AppUnderTest.h"

#include <gtest/gtest.h>

#include <csignal>

#include "stage/StageJournal.h"

namespace tervane::testing {

AppUnderTest::AppUnderTest(XTestDesktop& desktop, std::string program)
    : AppUnderTest({"DISPLAY=" + desktop.display(),
                    "DBUS_SESSION_BUS_ADDRESS=" + desktop.busAddress(), "QT_QPA_PLATFORM=xcb"},
                   std::move(program)) {}

AppUnderTest::AppUnderTest(std::vector<std::string> desktopEnvironment, std::string program)
    : desktopEnvironment_(std::move(desktopEnvironment)), program_(std::move(program)) {
  std::filesystem::create_directories(configFolder());
  std::filesystem::create_directories(runtimeFolder());
  std::filesystem::permissions(runtimeFolder(), std::filesystem::perms::owner_all);
  // The test desktop has no tray; that the person was told so is a test of its own.
  writeText(configFolder() / "shared.json",
            R"({"has_seen_mac_first_run": true, "told_how_to_reach_card_without_tray": true})");
}

AppUnderTest::~AppUnderTest() {
  if (process_) process_->stop();
}

std::vector<std::string> AppUnderTest::environment() const {
  auto environment = desktopEnvironment_;
  environment.insert(environment.end(), {"HOME=" + home_.path().string(),
                                         "XDG_CONFIG_HOME=" + (home_ / "config").string(),
                                         "XDG_STATE_HOME=" + (home_ / "state").string(),
                                         "XDG_RUNTIME_DIR=" + runtimeFolder().string()});
  return environment;
}

void AppUnderTest::start() {
  ASSERT_EQ(process_, nullptr) << "already running";
  process_ = ChildProcess::start({program_}, environment(), -1, (home_ / "app.log").string());
}

void AppUnderTest::launch() {
  start();
  const auto ready = command({"status", "--wait", "60"}, 90);
  ASSERT_EQ(ready.status, 0) << ready.err << "\n" << output();
}

int AppUnderTest::terminate() {
  if (!process_) return -1;
  ::kill(process_->pid(), SIGTERM);
  const int status = process_->wait(60).value_or(-1);
  process_.reset();
  return status;
}

void AppUnderTest::kill() {
  if (!process_) return;
  ::kill(-process_->pid(), SIGKILL);
  (void)process_->wait(60);
  process_.reset();
}

AppUnderTest::Outcome AppUnderTest::command(const std::vector<std::string>& arguments,
                                            double seconds) {
  static int count = 0;
  const std::string stem = (home_ / ("command-" + std::to_string(++count))).string();
  const std::string out = stem + ".out", err = stem + ".err";
  // The shell keeps each argument whole and parts the two outputs.
  std::vector<std::string> argv = {"sh", "-c", "exec \"$0\" \"$@\" >'" + out + "' 2>'" + err + "'",
                                   program_};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  auto child = ChildProcess::start(argv, environment());
  const int status = child->wait(seconds).value_or(-1);
  return {status, std::filesystem::exists(out) ? readText(out) : "",
          std::filesystem::exists(err) ? readText(err) : ""};
}

std::unique_ptr<ChildProcess> AppUnderTest::commandInBackground(
    const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {program_};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return ChildProcess::start(argv, environment());
}

nlohmann::json AppUnderTest::statusJson() {
  const auto outcome = command({"status", "--json"});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  return nlohmann::json::parse(outcome.out, nullptr, false);
}

std::set<std::string> AppUnderTest::stowedIds() {
  std::set<std::string> ids;
  const auto status = statusJson();
  if (!status.is_object()) return ids;
  for (const auto& item : status["stage"]["stowed"]) ids.insert(item.value("id", ""));
  return ids;
}

std::filesystem::path AppUnderTest::journalFile() const {
  return stateFolder() / StageJournal::kFileName;
}

std::string AppUnderTest::output() const {
  const auto log = home_ / "app.log";
  return std::filesystem::exists(log) ? readText(log) : "";
}

}  // namespace tervane::testing
