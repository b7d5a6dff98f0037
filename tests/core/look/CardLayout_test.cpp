#include "look/CardLayout.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/stage/StageItems.h"
#include "look/ShieldLayout.h"

namespace tervane {
namespace {

using testing::tabItem;
using testing::windowItem;

const auto app = [](const std::string& name) {
  return StageItem::app("com.example." + name, name);
};

}  // namespace

TEST(Receipt, HeightCountsRowsSectionsAndGuardEventsButNeverTabs) {
  StageSnapshot stage;
  stage.kept = {app("a"), app("b")};
  stage.stowed = {app("c"), app("d"), app("e")};
  EXPECT_EQ(Receipt::receiptHeight(stage), 5 * 22 + 2 * 27 + 1 * 22);  // 186

  stage.guardEvents = std::vector<GuardEvent>{{"com.example.x", "X", true, ""}};
  EXPECT_EQ(Receipt::receiptHeight(stage), 6 * 22 + 3 * 27 + 2 * 22);

  StageSnapshot onlyStowed;
  onlyStowed.stowed = {windowItem("chrome:1", 2), tabItem("chrome:1", "a"),
                       tabItem("chrome:1", "b"), app("c")};
  EXPECT_EQ(Receipt::receiptHeight(onlyStowed), 2 * 22 + 27);

  EXPECT_EQ(Receipt::receiptHeight(StageSnapshot{}), 0);
}

TEST(Receipt, RowsListAppsThenWindowsWithTheirOwnTabsCountedByHost) {
  const auto rows = Receipt::rows({windowItem("chrome:1"), tabItem("chrome:1", "one"), app("mail"),
                                   tabItem("chrome:2", "elsewhere"), windowItem("chrome:3"),
                                   tabItem("chrome:1", "two")});
  std::vector<std::vector<std::string>> shape;  // each row's item, then its tabs
  for (const auto& row : rows) {
    shape.push_back({row.item.id});
    for (const auto& tab : row.tabs) shape.back().push_back(tab.name);
  }
  EXPECT_EQ(shape, (std::vector<std::vector<std::string>>{
                       {"com.example.mail"}, {"chrome:1", "one", "two"}, {"chrome:3"}}));

  // A window's hosts count larger first, then by key, falling back to the tab's name.
  const auto hosts = Receipt::byHost({
      tabItem("w", "Issue", "https://github.com/a"),
      tabItem("w", "Docs", "https://www.example.org/"),
      tabItem("w", "PR", "https://github.com/b"),
      tabItem("w", "Notes", "file:///home/me/notes.txt"),
      tabItem("w", "Blank"),
      tabItem("w", "Notes", "about:blank"),
      tabItem("w", "Actions", "https://GitHub.com/c"),
  });
  EXPECT_EQ(hosts, (std::vector<Receipt::HostCount>{
                       {"github.com", 3}, {"Notes", 2}, {"Blank", 1}, {"example.org", 1}}));
}

TEST(LineLimit, CutsAt160AndCountsFrom96UserPerceivedCharacters) {
  EXPECT_EQ(LineLimit::cut(std::string(200, 'x')), std::string(160, 'x'));
  EXPECT_EQ(LineLimit::cut(std::string(160, 'x')), std::string(160, 'x'));

  std::string accents;  // e + combining acute: one character in two code points
  for (int i = 0; i < 170; ++i) accents += "e\u0301";
  const auto kept = LineLimit::cut(accents);
  EXPECT_EQ(kept.size(), 160 * std::string("e\u0301").size());
  EXPECT_EQ(LineLimit::counter(kept), "160/160");

  EXPECT_EQ(LineLimit::counter(std::string(95, 'x')), std::nullopt);
  EXPECT_EQ(LineLimit::counter(std::string(96, 'x')), "96/160");
}

TEST(ShieldLayout, ScaleIsClampedAndTheFrameFallsBackToAFixedRectangle) {
  EXPECT_DOUBLE_EQ(ShieldLayout::scale(1440, 900), 1.4);
  EXPECT_DOUBLE_EQ(ShieldLayout::scale(1280, 720), 1.15);
  EXPECT_DOUBLE_EQ(ShieldLayout::scale(800, 1920), 1.25);
  EXPECT_DOUBLE_EQ(ShieldLayout::scale(0, 0), 1.15);
  EXPECT_DOUBLE_EQ(ShieldLayout::scale(std::nan(""), 900), 1.15);

  const Rect main{0, 0, 2560, 1440};
  const Rect side{2560, 0, 1920, 1080};
  EXPECT_EQ(ShieldLayout::screenFrame(main, {side, main}), main);
  EXPECT_EQ(ShieldLayout::screenFrame(std::nullopt, {side, main}), side);
  EXPECT_EQ(ShieldLayout::screenFrame(std::nullopt, {}), (Rect{0, 0, 1280, 800}));
}

}  // namespace tervane
