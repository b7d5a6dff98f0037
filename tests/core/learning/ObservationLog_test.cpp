#include "learning/ObservationLog.h"

#include <gtest/gtest.h>

#include "core/stage/StageItems.h"
#include "learning/StageMemory.h"

namespace tervane {
using nlohmann::json;
namespace {

using ObservationLog::Observation;
using ObservationLog::Prompt;
using R = StagePlanner::Remembered;
using testing::ids;

const auto app = [](const std::string& name) { return StageItem::app("com." + name, name); };
const auto event = [](const std::string& id, bool letThrough) {
  return GuardEvent{id, id, letThrough, "2025-01-01T10:00:00Z"};
};

Observation seen(std::vector<std::string> putAway, std::vector<std::string> keep,
                 std::string line = "write the report") {
  Observation o;
  for (const auto& n : putAway) o.putAwayNextTime.push_back(app(n));
  for (const auto& n : keep) o.keepNextTime.push_back(app(n));
  o.actionText = std::move(line);
  return o;
}

}  // namespace

TEST(ObservationLog, ConditionsPickKeptAppsInOrderAndAskTheUsageTestLast) {
  StageSnapshot stage;
  stage.actionText = "write the report";
  const auto window = testing::windowItem("chrome:7");
  stage.kept = {app("Music"), app("Slack"), app("Notes"), app("Mail"),   app("Maps"),
                window,       app("Fixed"), app("Used"),  app("Photos"), app("Kept")};
  stage.stowed = {app("Stowed")};
  stage.guardEvents = std::vector<GuardEvent>{event("com.Slack", false), event("com.Slack", true),
                                              event("com.Photos", true), event("com.Kept", true),
                                              event("com.Maps", false)};
  const std::set<std::string> stowable = {"com.Music", "com.Notes", "com.Mail",  "com.Maps",
                                          "chrome:7",  "com.Used",  "com.Slack", "com.Stowed"};
  const RememberedChoices remembered = {{"com.Notes", R::stow}, {"com.Music", R::keep},
                                        {"com.Kept", R::keep}, {"com.Photos", R::stow}};

  std::vector<std::string> asked;
  auto reached = [&](const std::string& id) {
    asked.push_back(id);
    return id == "com.Used";
  };
  const Observation o = ObservationLog::observe(stage, reached, stowable, remembered);

  // Music: remembered keep does not stop hiding. Mail, Maps (answered no only): unused.
  EXPECT_EQ(ids(o.putAwayNextTime),
            (std::vector<std::string>{"com.Music", "com.Mail", "com.Maps"}));
  // Slack was let through (after an earlier no) though stowable and unused; Photos is
  // remembered stow, which a let-through overrules; Kept is already remembered keep.
  EXPECT_EQ(ids(o.keepNextTime), (std::vector<std::string>{"com.Slack", "com.Photos"}));
  EXPECT_EQ(asked, (std::vector<std::string>{"com.Music", "com.Mail", "com.Maps", "com.Used"}))
      << "never for let-through, unstowable (Fixed), remembered-stow (Notes) or non-app items";
  EXPECT_EQ(o.actionText, "write the report");
  EXPECT_TRUE(ObservationLog::observe(stage, nullptr, stowable, remembered).putAwayNextTime.empty())
      << "a missing usage test proposes nothing to hide";
}

// Nothing to learn asks nothing.
TEST(ObservationLog, EachRowOfTheQuestion) {
  EXPECT_EQ(ObservationLog::prompt(seen({}, {})), std::nullopt);
  EXPECT_TRUE(seen({}, {}).isEmpty());
  EXPECT_FALSE(seen({}, {"Slack"}).isEmpty() || seen({"Music"}, {}).isEmpty());
  const std::pair<Observation, Prompt> cases[] = {
      {seen({}, {"Slack"}),
       {"While you were on write the report I hid Slack and you went and got it back. "
        "Should I stop hiding Slack?",
        "Stop hiding Slack", "Keep hiding"}},
      {seen({}, {"Slack", "Mail"}, ""),
       {"Last time I hid Slack and Mail and you went and got them back. "
        "Should I stop hiding Slack and Mail?",
        "Stop hiding Slack and Mail", "Keep hiding"}},
      {seen({"Music", "Maps", "Notes"}, {"Slack"}),
       {"While you were on write the report you did not open Music, Maps and Notes, "
        "and you went and got Slack back. Next time, should I hide Music, Maps and "
        "Notes and leave Slack on your screen?",
        "Yes, do that", "Not this time"}},
      {seen({"Music"}, {}),
       {"You did not open Music at all while you were on write the report. "
        "Should I hide it for you next time, right at the start?",
        "Yes, hide next time", "No, leave alone"}},
      {seen({"Music", "Maps"}, {}, " \n\t "),
       {"You did not open Music and Maps at all last time. "
        "Should I hide them for you next time, right at the start?",
        "Yes, hide next time", "No, leave alone"}},
  };
  for (const auto& [observation, expected] : cases) {
    EXPECT_EQ(ObservationLog::prompt(observation), expected) << expected.question;
  }
}

TEST(ObservationLog, LongLinesAreCutTo39CharactersAndAnEllipsis) {
  const auto question = [](const std::string& line) {
    return ObservationLog::prompt(seen({"Music"}, {}, line))->question;
  };
  const std::string forty = "0123456789012345678901234567890123456789";
  EXPECT_EQ(question("  " + forty + "\n"),
            "You did not open Music at all while you were on " + forty +
                ". Should I hide it for you next time, right at the start?");
  EXPECT_EQ(question(forty + "X"),
            "You did not open Music at all while you were on " + forty.substr(0, 39) +
                "\u2026. Should I hide it for you next time, right at the start?");

  // Characters as the reader sees them, in the other form of the question too.
  const auto flagsAndAccents = [](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i % 2 ? "\U0001F1EB\U0001F1F7" : "e\u0301");
    return text;
  };
  EXPECT_EQ(ObservationLog::prompt(seen({}, {"Slack"}, flagsAndAccents(45)))->question,
            "While you were on " + flagsAndAccents(39) +
                "\u2026 I hid Slack and you went and got it back. Should I stop hiding Slack?");
}

TEST(StageMemory, LoadDropsUnknownValuesOneByOneAndAWrongShapeWhole) {
  MemoryDefaults defaults;
  defaults.set("mac_stage_memory", json{{"com.a", "keep"}, {"host:b.com", "stow"}, {"c", "maybe"}});
  StageMemory memory(defaults);
  EXPECT_EQ(memory.choices(), (RememberedChoices{{"com.a", R::keep}, {"host:b.com", R::stow}}));

  // Remembering replaces; forgetting removes one key.
  memory.remember(R::keep, StageMemory::hostKey("b.com"));
  memory.remember(R::stow, "com.d");
  memory.forget("com.a");
  EXPECT_EQ(defaults.get("mac_stage_memory"), (json{{"host:b.com", "keep"}, {"com.d", "stow"}}));
  EXPECT_EQ(StageMemory(defaults).choices(), memory.choices());

  // A wrong shape is ignored whole, and left alone until the next store.
  for (json stored :
       {json{{"a", "keep"}, {"b", 1}}, json::array({"keep"}), json("keep"), json{{"a", nullptr}}}) {
    defaults.set("mac_stage_memory", stored);
    EXPECT_TRUE(StageMemory(defaults).choices().empty()) << stored;
    EXPECT_EQ(defaults.get("mac_stage_memory"), stored);
  }
}

}  // namespace tervane
