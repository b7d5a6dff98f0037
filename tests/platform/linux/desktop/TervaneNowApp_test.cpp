// The tray application on a private desktop, driven the way a person's scripts drive it:
// through `tervane-now` sub-commands over the control socket, with xdotool standing in for
// the person. The X server's window states are checked after every step.
#include <gtest/gtest.h>

#include "support/AppUnderTest.h"

namespace tervane::x11 {
namespace {

using testing::AppUnderTest;
using testing::XTestDesktop;

class TervaneNowApp : public ::testing::Test {
 protected:
  void SetUp() override {
    editor = desktop.xterm("Editor");
    mail = desktop.xterm("Mail");
    chat = desktop.xterm("Chat");
    music = desktop.xterm("Music");
    // The person minimized Music before any stage; nothing may restore it.
    ASSERT_EQ(desktop.minimize(music), 0);
    ASSERT_TRUE(desktop.waitIconic(music, true));
    ASSERT_TRUE(desktop.activate(editor));
    ASSERT_EQ(desktop.run({"xdotool", "mousemove", "40", "40"}), 0);
  }

  void expectStates(bool mailIconic, bool chatIconic, const std::string& step) {
    EXPECT_TRUE(desktop.waitIconic(mail, mailIconic)) << step << ": Mail";
    EXPECT_TRUE(desktop.waitIconic(chat, chatIconic)) << step << ": Chat";
    EXPECT_FALSE(desktop.isIconic(editor)) << step << ": Editor";
    EXPECT_TRUE(desktop.isIconic(music)) << step << ": Music was the person's";
  }

  XTestDesktop desktop;
  AppUnderTest app{desktop};
  xcb_window_t editor = 0, mail = 0, chat = 0, music = 0;
};

// Before the application runs, `tervane-now preview` reads the X11 applications and the
// person's record of use (Chat a minute ago), says what start would put away, and moves
// nothing.
TEST_F(TervaneNowApp, APreviewMovesNothingAStageRunsThroughTheControlSocketAndQuittingEndsIt) {
  const auto record = app.configFolder() / "standard.json";
  testing::writeText(record, "{\"mac_activation_log\": {\"Chat\": " +
                                 std::to_string(std::time(nullptr) - 60) + "}}");
  const auto previewed = app.command({"preview", "write the report", "--json"});
  ASSERT_EQ(previewed.status, 0) << previewed.err;
  const auto stage = nlohmann::json::parse(previewed.out, nullptr, false)["stage"];
  const auto ids = [](const nlohmann::json& items) {
    std::vector<std::string> out;
    for (const auto& item : items) out.push_back(item["id"].get<std::string>());
    return out;
  };
  EXPECT_EQ(ids(stage["kept"]), (std::vector<std::string>{"Editor", "Chat"})) << previewed.out;
  EXPECT_EQ(ids(stage["stowed"]), (std::vector<std::string>{"Mail", "Music"}));
  expectStates(false, false, "preview");
  EXPECT_FALSE(std::filesystem::exists(app.stateFolder()))
      << "a preview writes no journal and no hidden-window record";
  std::filesystem::remove(record);

  app.launch();
  ASSERT_EQ(app.command({"capture", "write the report"}).status, 0);
  const auto started = app.command({"start"});
  ASSERT_EQ(started.status, 0) << started.err;
  expectStates(true, true, "start");

  EXPECT_EQ(app.statusJson()["line"], "write the report");
  // Music counts as put away too; its window was the person's to minimize, and stays so.
  const std::set<std::string> stowed{"Mail", "Chat", "Music"};
  EXPECT_EQ(app.stowedIds(), stowed);

  // The person brings a stowed window forward, once the application has stopped moving
  // windows itself (what comes forward meanwhile is taken for its own doing): the shield
  // asks, and "no" puts it away again.
  ASSERT_EQ(app.command({"status", "--until", "settled"}).status, 0);
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", std::to_string(mail)}), 0);
  ASSERT_EQ(app.command({"status", "--until", "shield"}).status, 0);
  EXPECT_EQ(app.command({"answer", "no"}).status, 0);
  expectStates(true, true, "answer no");

  // Finished replies once the windows are back, and leaves the focus with the person's
  // window: bringing things back is not the person using them.
  ASSERT_EQ(desktop.run({"xdotool", "windowactivate", "--sync", std::to_string(editor)}), 0);
  EXPECT_EQ(app.command({"done"}).status, 0);
  EXPECT_FALSE(desktop.isIconic(mail) || desktop.isIconic(chat)) << "done: replied before back";
  expectStates(false, false, "done");
  EXPECT_EQ(desktop.active(), editor) << "done";
  EXPECT_FALSE(app.statusJson()["stage"].is_object());

  // So the next stage puts the same windows away again; quitting with it open brings it
  // all back and leaves no journal.
  ASSERT_EQ(app.command({"capture", "write the report again"}).status, 0);
  ASSERT_EQ(app.command({"start"}).status, 0);
  EXPECT_EQ(app.stowedIds(), stowed);
  expectStates(true, true, "second start");
  ASSERT_EQ(app.terminate(), 0);
  expectStates(false, false, "SIGTERM");
  EXPECT_EQ(desktop.active(), editor) << "SIGTERM";
  EXPECT_FALSE(std::filesystem::exists(app.journalFile()));
  EXPECT_EQ(app.command({"status"}).status, 3) << "nothing running";
}

}  // namespace
}  // namespace tervane::x11
