#include "linux/LoginItem.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "base/Log.h"
#include "support/TempDir.h"

namespace tervane::x11 {
namespace {

namespace fs = std::filesystem;
using testing::modeOf;
using testing::readText;
using testing::TempDir;
using testing::writeText;

const fs::path kProgram = "/usr/bin/tervane-now";

class LoginItemTest : public ::testing::Test {
 protected:
  void SetUp() override { Log::setSink(log_); }
  void TearDown() override { Log::setSink(nullptr); }

  std::vector<std::string> loginErrors() const {
    std::vector<std::string> out;
    for (const auto& r : log_->records()) {
      if (r.level == LogLevel::error && r.category == "login" && r.subsystem == kAppSubsystem) {
        out.push_back(r.message);
      }
    }
    return out;
  }

  TempDir dir_;
  fs::path folder_ = dir_ / "config/autostart";
  std::shared_ptr<RecordingLogSink> log_ = std::make_shared<RecordingLogSink>();
};

TEST_F(LoginItemTest, OnOffOnWritesAPrivateEntryAndEntriesSwitchedOffOrNotOursReadAsOff) {
  LoginItem item(folder_, kProgram);
  EXPECT_FALSE(item.isOn());

  EXPECT_TRUE(item.set(true));
  EXPECT_TRUE(item.isOn());
  const std::string text = readText(item.entryPath());
  for (const char* line : {"[Desktop Entry]\n", "Type=Application\n", "Exec=/usr/bin/tervane-now\n",
                           "X-GNOME-Autostart-enabled=true\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(modeOf(item.entryPath()), 0600u);
  EXPECT_EQ(modeOf(folder_), 0700u) << "a folder made here is private";

  EXPECT_FALSE(item.set(false));
  EXPECT_FALSE(item.isOn());
  EXPECT_FALSE(fs::exists(item.entryPath()));

  EXPECT_FALSE(item.set(false)) << "removing what is not there is not a failure";

  // An existing folder keeps its mode, and turning on again does not rewrite: a marker
  // appended after our keys survives.
  fs::permissions(folder_, fs::perms(0755));
  ASSERT_TRUE(item.set(true));
  EXPECT_EQ(modeOf(folder_), 0755u);
  const std::string ours = readText(item.entryPath());
  writeText(item.entryPath(), ours + "X-Marker=kept\n");
  EXPECT_TRUE(item.set(true));
  EXPECT_NE(readText(item.entryPath()).find("X-Marker=kept"), std::string::npos);
  EXPECT_TRUE(loginErrors().empty());

  // Entries switched off or not ours read as off.
  writeText(item.entryPath(), ours + "Hidden=true\n");
  EXPECT_FALSE(item.isOn());
  writeText(item.entryPath(),
            "[Desktop Entry]\nType=Application\nExec=/usr/bin/tervane-now\n"
            "X-GNOME-Autostart-enabled = false\n");
  EXPECT_FALSE(item.isOn()) << "spaces around = do not hide the switch";
  // Keys of another group do not count, and another program's entry is not ours.
  writeText(item.entryPath(), ours + "[Desktop Action x]\nHidden=true\n");
  EXPECT_TRUE(item.isOn());
  writeText(item.entryPath(), "[Desktop Entry]\nExec=/opt/other/tervane-now\n");
  EXPECT_FALSE(item.isOn());
  EXPECT_FALSE(LoginItem(folder_, "/opt/other/tervane-now-2").isOn());

  // Turning on replaces the switched-off entry.
  writeText(item.entryPath(), ours + "Hidden=true\n");
  EXPECT_TRUE(item.set(true));
  EXPECT_EQ(readText(item.entryPath()), ours);

  // A link under our name is not an entry we wrote, and turning off removes only the link.
  writeText(dir_ / "elsewhere.desktop", ours);
  fs::remove(item.entryPath());
  fs::create_symlink(dir_ / "elsewhere.desktop", item.entryPath());
  EXPECT_FALSE(item.isOn());
  EXPECT_FALSE(item.set(false));
  EXPECT_FALSE(fs::exists(fs::symlink_status(item.entryPath())));
  EXPECT_TRUE(fs::exists(dir_ / "elsewhere.desktop"));
}

TEST_F(LoginItemTest, FailuresAreLoggedAndReportHowTheItemIsLeft) {
  // A file where the folder should be: fails for every user, root included.
  fs::create_directories(folder_.parent_path());
  writeText(folder_, "not a folder");
  LoginItem blocked(folder_, kProgram);
  EXPECT_FALSE(blocked.set(true));
  ASSERT_EQ(loginErrors().size(), 1u);
  EXPECT_EQ(loginErrors()[0].rfind("login item register failed: ", 0), 0u) << loginErrors()[0];

  // A folder that refuses new files.
  LoginItem::FileOps refusing;
  refusing.write.inject = [](AtomicWriteStep step) -> std::optional<int> {
    if (step == AtomicWriteStep::openTemporary) return EACCES;
    return std::nullopt;
  };
  const fs::path folder = dir_ / "other/autostart";
  LoginItem readOnly(folder, kProgram, refusing);
  EXPECT_FALSE(readOnly.set(true));
  ASSERT_EQ(loginErrors().size(), 2u);
  EXPECT_NE(loginErrors()[1].find("Permission denied"), std::string::npos) << loginErrors()[1];
  EXPECT_TRUE(testing::listFolder(folder).empty());

  // Without a path to the program there is nothing to start.
  EXPECT_FALSE(LoginItem(folder, fs::path()).set(true));
  EXPECT_EQ(loginErrors().size(), 3u);

  // An entry that cannot be removed stays on.
  LoginItem::FileOps stuck;
  stuck.remove = [](const fs::path&) {
    return std::make_error_code(std::errc::read_only_file_system);
  };
  LoginItem item(dir_ / "third", kProgram, stuck);
  ASSERT_TRUE(item.set(true));
  EXPECT_TRUE(item.set(false));
  ASSERT_EQ(loginErrors().size(), 4u);
  EXPECT_EQ(loginErrors()[3].rfind("login item unregister failed: ", 0), 0u) << loginErrors()[3];
}

TEST(LoginItemExec, PathsAreQuotedAndEscapedForTheDesktopEntry) {
  EXPECT_EQ(LoginItem::execValue("/usr/bin/tervane-now"), "/usr/bin/tervane-now");
  EXPECT_EQ(LoginItem::execValue("/opt/My Apps/tervane-now"), "\"/opt/My Apps/tervane-now\"");
  // Inside quotes " ` $ \ take a backslash; the string escapes then double every backslash.
  EXPECT_EQ(LoginItem::execValue("/opt/a\"b"), "\"/opt/a\\\\\"b\"");
  EXPECT_EQ(LoginItem::execValue("/opt/$x"), "\"/opt/\\\\$x\"");
  EXPECT_EQ(LoginItem::execValue("/opt/back\\slash"), "\"/opt/back\\\\\\\\slash\"");
  EXPECT_EQ(LoginItem::execValue("/opt/100%/run"), "/opt/100%%/run");
  EXPECT_EQ(LoginItem::execValue("/opt/new\nline"), "\"/opt/new\\nline\"");
}

TEST(LoginItemFolder, FollowsXdgConfigHome) {
  const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
  const char* savedHome = std::getenv("HOME");
  const std::string config = savedConfig ? savedConfig : "";
  const std::string home = savedHome ? savedHome : "";

  ::setenv("HOME", "/home/someone", 1);
  ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(LoginItem::defaultFolder(), fs::path("/tmp/cfg/autostart"));
  ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
  EXPECT_EQ(LoginItem::defaultFolder(), fs::path("/home/someone/.config/autostart"));
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(LoginItem::defaultFolder(), fs::path("/home/someone/.config/autostart"));

  savedConfig ? ::setenv("XDG_CONFIG_HOME", config.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  savedHome ? ::setenv("HOME", home.c_str(), 1) : ::unsetenv("HOME");
  EXPECT_TRUE(LoginItem::runningExecutable().is_absolute());
}

}  // namespace
}  // namespace tervane::x11
