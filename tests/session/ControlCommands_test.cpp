#include "control/ControlCommands.h"

#include "support/ModelFixture.h"

namespace tervane::testing {
namespace {

using nlohmann::json;

class Control : public ModelFixture {
 protected:
  void SetUp() override { addDesk(); }

  void make() {
    build();
    commands = std::make_unique<ControlCommands>(model, main, [this] { ++cardsOpened; });
  }

  // Runs a request and gives the replies it produced so far.
  std::vector<ControlReply>& run(ControlRequest request) {
    replies.clear();
    commands->execute(request, record);
    return replies;
  }
  ControlReply one(ControlRequest request) {
    auto& got = run(std::move(request));
    EXPECT_EQ(got.size(), 1u);
    return got.empty() ? ControlReply{} : got.front();
  }
  static ControlRequest cmd(ControlCommand c) { return ControlRequest{.command = c}; }
  static ControlRequest answer(bool yes) {
    return ControlRequest{.command = ControlCommand::answer, .answer = yes};
  }

  std::unique_ptr<ControlCommands> commands;
  std::vector<ControlReply> replies;
  const ControlCommands::Reply record = [this](const ControlReply& r) { replies.push_back(r); };
  int cardsOpened = 0;
};

TEST_F(Control, AStartThatWaitsForThePickerRepliesOnceTheStageIsMade) {
  picker->available = true;
  make();
  model->capture("write the report");
  EXPECT_TRUE(run(cmd(ControlCommand::start)).empty());
  EXPECT_FALSE(one(cmd(ControlCommand::start)).ok) << "one start at a time";

  replies.clear();
  offMain->runNext();  // the picker answers; the model stages on the main thread
  ASSERT_TRUE(model->openStage().has_value());
  EXPECT_TRUE(replies.empty()) << "the reply follows on the next turn of the main queue";
  main->drain();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(replies[0].ok);
  EXPECT_FALSE(replies[0].status.at("starting").get<bool>());

  // A slow picker is overtaken by the fallback, which stages by recency; its late answer
  // changes nothing, and the reply still comes once.
  ASSERT_TRUE(one(cmd(ControlCommand::show)).ok);
  picker->answer = std::set<std::string>{"app: App Mail"};
  ASSERT_TRUE(run(cmd(ControlCommand::start)).empty());
  auto late = offMain->runWorkHoldCompletion();
  main->advance(MacNowModel::kStartFallbackSeconds - 0.1);
  EXPECT_FALSE(model->openStage().has_value());
  main->advance(0.1);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(replies[0].ok);
  const auto staged = *model->openStage();
  EXPECT_TRUE(hidden("com.example.Mail"));
  late();
  main->drain();
  EXPECT_EQ(replies.size(), 1u);
  EXPECT_EQ(model->openStage(), staged);
  EXPECT_FALSE(model->starting());

  // A later start waits and answers for itself only.
  ASSERT_TRUE(one(cmd(ControlCommand::show)).ok);
  ASSERT_TRUE(run(cmd(ControlCommand::start)).empty());
  settle();
  EXPECT_EQ(replies.size(), 1u);
}

TEST_F(Control, AStageThatDoesNotOpenIsARefusalThatSaysWhy) {
  make();
  model->capture("write");
  journalFails = true;
  auto r = one(cmd(ControlCommand::start));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, MacNowModel::kUnsavedStageBecause);

  journalFails = false;
  desktop->setIdleSeconds(1200);
  r = one(cmd(ControlCommand::start));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message, "You have been away a while, so nothing was put away.");
  EXPECT_TRUE(r.status.at("stage").is_null());
  EXPECT_FALSE(hidden("com.example.Music"));
  EXPECT_FALSE(onDisk().has_value());
}

TEST_F(Control, EachCommandIsRefusedWithoutWhatItNeedsAndSaysWhatItDid) {
  make();
  EXPECT_EQ(one(cmd(ControlCommand::status)).message, "There is no line and no stage.");
  EXPECT_FALSE(replies[0].status.contains("desktop"));
  commands->setDesktop("kwin");
  EXPECT_EQ(one(cmd(ControlCommand::status)).status.at("desktop"), "kwin");
  for (auto c : {ControlCommand::start, ControlCommand::pause, ControlCommand::show,
                 ControlCommand::done, ControlCommand::undo}) {
    EXPECT_FALSE(one(cmd(c)).ok) << rawValue(c);
  }
  EXPECT_FALSE(one({.command = ControlCommand::capture, .line = " \n "}).ok);
  auto r = one({.command = ControlCommand::capture, .line = "  write the report "});
  EXPECT_EQ(r.status.at("line"), "write the report");

  r = one(cmd(ControlCommand::start));
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.message, "I hid 2 apps. You had not used them in the last 20 minutes.");
  EXPECT_EQ(r.status.at("stage").at("stowed")[0],
            (json{{"id", "com.example.Mail"}, {"kind", "app"}, {"name", "App Mail"}}));
  EXPECT_EQ(r.status.at("stage").at("kept")[0].at("id"), "com.example.Editor");
  EXPECT_EQ(one(cmd(ControlCommand::status)).message, "I hid 2 apps.");
  EXPECT_FALSE(one(cmd(ControlCommand::start)).ok) << "a stage is open already";

  journalFails = true;
  EXPECT_FALSE(one(cmd(ControlCommand::pause)).ok) << "a pause not written is not done";
  EXPECT_FALSE(model->openStage()->isParked());
  journalFails = false;

  r = one(cmd(ControlCommand::pause));
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.status.at("stage").at("parked").get<bool>());
  main->advance(150);  // whole minutes, never rounded up
  r = one(cmd(ControlCommand::status));
  EXPECT_EQ(r.message, "Paused for 2 minutes. Your apps are still hidden.");
  EXPECT_EQ(r.status.at("stage").at("parkedMinutes"), 2);
  EXPECT_TRUE(one(cmd(ControlCommand::pause)).ok);
  EXPECT_FALSE(model->openStage()->isParked());

  EXPECT_TRUE(one(cmd(ControlCommand::show)).ok);
  EXPECT_TRUE(model->now().has_value()) << "show everything keeps the line";

  ASSERT_TRUE(one(cmd(ControlCommand::start)).ok) << "show everything closed the stage";
  EXPECT_EQ(one(cmd(ControlCommand::done)).message,
            "Finished: write the report. Your apps are back.");
  EXPECT_FALSE(shared->get("the_now_task").has_value());

  EXPECT_TRUE(one(cmd(ControlCommand::undo)).ok);
  ASSERT_TRUE(model->now().has_value());
  EXPECT_EQ(store->theNow(), model->now());
  EXPECT_FALSE(model->openStage().has_value()) << "undo stages nothing";
  EXPECT_FALSE(one(cmd(ControlCommand::undo)).ok);
}

// An answer goes to the shield first, then to the question; keep and stow correct the
// stage by item id.
TEST_F(Control, AnswersAndCorrectionsNeedSomethingToAnswerOrCorrect) {
  addApp("com.example.Calendar", 30);  // kept and never used: the question will ask
  make();
  auto item = [](ControlCommand command, std::string id) {
    return ControlRequest{.command = command, .item = std::move(id)};
  };
  EXPECT_FALSE(one(answer(true)).ok);
  EXPECT_FALSE(one(item(ControlCommand::keep, "com.example.Mail")).ok) << "no stage";
  model->capture("write");
  ASSERT_TRUE(one(cmd(ControlCommand::start)).ok);
  main->advance(1);
  desktop->personActivates("com.example.Mail");
  ASSERT_TRUE(shield->isShowing());

  journalFails = true;
  EXPECT_FALSE(one(answer(false)).ok) << "not written";
  journalFails = false;

  main->advance(1);
  desktop->personActivates("com.example.Editor");
  desktop->personActivates("com.example.Mail");
  EXPECT_TRUE(one(answer(false)).ok);
  EXPECT_FALSE(one(answer(true)).ok) << "nothing asked any more";

  EXPECT_FALSE(one(item(ControlCommand::keep, "com.example.Editor")).ok) << "Editor was kept";
  EXPECT_TRUE(one(item(ControlCommand::keep, "com.example.Mail")).ok);
  EXPECT_FALSE(hidden("com.example.Mail"));
  EXPECT_TRUE(one(item(ControlCommand::stow, "com.example.Editor")).ok);
  EXPECT_TRUE(hidden("com.example.Editor"));
  journalFails = true;
  EXPECT_FALSE(one(item(ControlCommand::keep, "com.example.Editor")).ok) << "not written";
  EXPECT_TRUE(hidden("com.example.Editor"));
  journalFails = false;

  main->advance(60);
  ASSERT_TRUE(one(cmd(ControlCommand::done)).ok);
  EXPECT_TRUE(
      one(cmd(ControlCommand::status)).status.at("pendingQuestion").at("question").is_string());
  EXPECT_TRUE(one(answer(true)).ok);
  EXPECT_EQ(memory->choices().at("com.example.Calendar"), StagePlanner::Remembered::stow);
}

TEST_F(Control, StatusUntilAnswersWhenItsConditionHoldsOrRefusesAtTheLimit) {
  make();
  auto until = [](ControlCondition condition) {
    return ControlRequest{.command = ControlCommand::status, .until = condition};
  };
  EXPECT_EQ(run(until(ControlCondition::closed)).size(), 1u) << "holds already";
  EXPECT_TRUE(run(until(ControlCondition::stage)).empty());
  start();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(replies[0].ok);

  // Right after staging the application is still moving windows: settled waits for that.
  EXPECT_TRUE(run(until(ControlCondition::settled)).empty());
  main->advance(MacNowModel::kMovingSeconds + 0.01);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(replies[0].ok);

  EXPECT_TRUE(run(until(ControlCondition::shield)).empty());
  desktop->personActivates("com.example.Mail");
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].status.at("pendingSubject").at("id"), "com.example.Mail");

  // A stage with a browser is settled only once its windows are read and minimized.
  ASSERT_TRUE(one(cmd(ControlCommand::show)).ok);
  runChrome({window(BrowserKind::chrome, 1, {"a"})});
  ASSERT_EQ(run(cmd(ControlCommand::start)).size(), 1u);
  EXPECT_TRUE(run(until(ControlCondition::settled)).empty());
  for (int task = 0; task < 2; ++task) {  // the read, then the minimize
    main->advance(MacNowModel::kMovingSeconds + 0.01);
    EXPECT_TRUE(replies.empty());
    ASSERT_TRUE(offMain->runNext());
  }
  main->advance(2 * MacNowModel::kMovingSeconds);  // the minimize's own moving time, then a look
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].status.at("stage").at("stowed").back().at("id"), "chrome:1#0");

  EXPECT_TRUE(run(until(ControlCondition::parked)).empty());
  main->advance(ControlCommands::kUntilSeconds);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_FALSE(replies[0].ok) << "still not parked";

  // A companion is waited for until one is heard to connect.
  auto companions = json::array();
  commands->setCompanionReport([&] { return companions; });
  EXPECT_TRUE(run(until(ControlCondition::companion)).empty());
  companions.push_back({{"browser", "chromium"}});
  commands->companionsChanged();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(replies[0].ok);
}

TEST_F(Control, WindowsReadsABrowserOffTheMainThreadAsTheApplicationSeesIt) {
  const auto chrome = window(BrowserKind::chrome, 7, {"a", "b"});
  browsers->setWindows(BrowserKind::chrome, {chrome});
  browsers->setWindowsOnly({BrowserKind::chrome});
  make();
  const auto windows = [](std::string browser) {
    return ControlRequest{.command = ControlCommand::windows, .item = std::move(browser)};
  };
  EXPECT_FALSE(one(windows("chrome")).ok) << "nothing to read the browsers with";
  commands->setBrowserReading(browsers, offMain);
  EXPECT_FALSE(one(windows("opera")).ok);

  EXPECT_TRUE(run(windows("chrome")).empty()) << "the read waits off the main thread";
  ASSERT_TRUE(offMain->runNext());
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].status, json({{"windows", {toJson(chrome)}}, {"windowsOnly", true}}));

  browsers->failReads(BrowserKind::chrome, AppleScriptError::busy());
  run(windows("chrome"));
  ASSERT_TRUE(offMain->runNext());
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_FALSE(replies[0].ok);
}

TEST_F(Control, MalformedLinesAreRefusedAndOpenCallsTheShell) {
  make();
  for (const char* line :
       {"", "start", "[]", "{\"command\":\"fly\"}", "{\"command\":\"capture\"}",
        "{\"command\":\"answer\",\"answer\":\"yes\"}", "{\"command\":\"start\",\"line\":\"x\"}"}) {
    replies.clear();
    commands->handle(line, record);
    ASSERT_EQ(replies.size(), 1u) << line;
    EXPECT_FALSE(replies[0].ok) << line;
    EXPECT_FALSE(replies[0].message.empty()) << line;
  }

  replies.clear();
  commands->handle(R"({"command":"open"})", record);
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_TRUE(replies[0].ok);
  EXPECT_EQ(cardsOpened, 1);

  ControlCommands headless(model, main, nullptr);
  headless.execute(cmd(ControlCommand::open), record);
  EXPECT_FALSE(replies.back().ok);
  // Without a companion report the list is empty, never missing; with one it is the report.
  headless.execute(cmd(ControlCommand::browsers), record);
  EXPECT_EQ(replies.back().status, json({{"companions", json::array()}}));
  const json linked = {{{"browser", "chromium"}, {"profile", "/p"}}};
  headless.setCompanionReport([&] { return linked; });
  headless.execute(cmd(ControlCommand::browsers), record);
  EXPECT_TRUE(replies.back().ok);
  EXPECT_EQ(replies.back().status, json({{"companions", linked}}));
}

}  // namespace
}  // namespace tervane::testing
