// Odd and hostile input reaching a stage: a very long line, and titles that are not UTF-8
// or carry control characters and direction marks. The journal stays valid JSON and
// nothing is put away that could not be brought back.
#include "base/Json.h"
#include "support/ModelFixture.h"

namespace tervane::testing {
namespace {

class HostileInput : public ModelFixture {
 protected:
  void SetUp() override {
    picker->available = false;
    addApp("com.example.Editor", 5, /*front=*/true);
    addApp("com.example.Mail", 3000);
  }
};

TEST_F(HostileInput, OddTitlesAndAHundredKilobyteLineSurviveTheJournal) {
  const std::string notUtf8 = "Bank \xC3\x28 \xFF statement";
  const std::string controls = std::string("tab\tbell\a esc\x1b[31m nul") + '\0' + "end";
  const std::string rightToLeft = "\xE2\x80\xAEtxt.exe \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
  std::string line(100 * 1024, 'x');
  line.replace(0, rightToLeft.size(), rightToLeft);
  line.back() = 'z';

  desktop->addApp(sim::SimApp{"com.example.Odd", controls, 4000, true, false});
  browsers->setRunning({BrowserKind::chrome});
  auto back = window(BrowserKind::chrome, 7, {"a", "b"});
  back.tabs[0].title = notUtf8;
  back.tabs[1].title = controls;
  back.tabs[1].url = "https://b.example.com/\x01\xFE";
  browsers->setWindows(BrowserKind::chrome,
                       {window(BrowserKind::chrome, 1, {"front"}, true), back});
  build();
  start(line);
  settle();

  ASSERT_TRUE(model->openStage().has_value());
  const auto stage = *model->openStage();
  EXPECT_EQ(stage.actionText, line);
  EXPECT_EQ(idsOf(stage.stowed),
            (std::vector<std::string>{"com.example.Mail", "com.example.Odd", "chrome:7",
                                      "chrome:7#0", "chrome:7#1"}));
  EXPECT_EQ(browsers->windowsNow(BrowserKind::chrome)[1].isMinimized, true);

  // The file is strict JSON; the long line and every valid title come back byte for byte,
  // bytes that are not UTF-8 come back replaced, and every id is unchanged.
  const auto text = readText(journal->fileURL());
  ASSERT_TRUE(jsonread::parse(text).has_value());
  const auto saved = onDisk();
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(saved->actionText, line);
  EXPECT_EQ(idsOf(saved->stowed), idsOf(stage.stowed));
  EXPECT_EQ(saved->stowed[1].name, controls);
  EXPECT_EQ(saved->stowed[4].name, controls);
  EXPECT_EQ(saved->stowed[3].name, "Bank \xEF\xBF\xBD( \xEF\xBF\xBD statement");
  EXPECT_EQ(Store(*shared).theNow()->textContent, line);

  model->bringBack(true);
  EXPECT_FALSE(hidden("com.example.Odd"));
  EXPECT_FALSE(browsers->windowsNow(BrowserKind::chrome)[1].isMinimized);
}

}  // namespace
}  // namespace tervane::testing
