#include "surfaces/BrowserAdapters.h"

#include <gtest/gtest.h>

#include <limits>

#include "surfaces/ReplyDescriptor.h"

namespace tervane {
namespace {

TEST(BrowserAdapters, AssembleBuildsWindowsOnlyFromListsThatLineUp) {
  const ChromiumAdapter chrome(BrowserKind::chrome);
  const std::vector<std::string> names = {"a", "b", "c", "d", "e"};
  const std::vector<std::string> urls = {"ua", "ub", "uc", "ud", "ue"};
  const std::vector<bool> actives = {false, true, false, true, false};

  const auto two = chrome.assemble({11, 12}, {false, true}, {3, 2}, names, urls, actives);
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].browser, BrowserKind::chrome);
  EXPECT_EQ(two[0].windowId, 11);
  EXPECT_TRUE(two[0].isFrontmost);
  EXPECT_FALSE(two[0].isMinimized);
  EXPECT_EQ(two[0].tabs,
            (std::vector<TabFacts>{{"a", "ua", false}, {"b", "ub", true}, {"c", "uc", false}}));
  EXPECT_FALSE(two[1].isFrontmost);
  EXPECT_TRUE(two[1].isMinimized);
  EXPECT_EQ(two[1].tabs, (std::vector<TabFacts>{{"d", "ud", true}, {"e", "ue", false}}));

  // A window without tabs is left out and moves no offset; when it is the front one, no
  // reported window is frontmost.
  const auto gap =
      chrome.assemble({10, 11, 12}, {false, false, false}, {0, 3, 2}, names, urls, actives);
  ASSERT_EQ(gap.size(), 2u);
  EXPECT_EQ(gap[0].windowId, 11);
  EXPECT_FALSE(gap[0].isFrontmost);
  EXPECT_EQ(gap[1].tabs.front().title, "d");

  EXPECT_TRUE(chrome.assemble({11, 12}, {false}, {3, 2}, names, urls, actives).empty());
  EXPECT_TRUE(chrome.assemble({11, 12}, {false, false}, {3, 2}, names, {"ua"}, actives).empty());
  EXPECT_TRUE(chrome.assemble({11, 12}, {false, false}, {2, 2}, names, urls, actives).empty());
  EXPECT_TRUE(chrome.assemble({11, 12, 13}, {false, false, false}, {-1, 1, 5}, names, urls, actives)
                  .empty());
  EXPECT_TRUE(chrome.assemble({}, {}, {}, {}, {}, {}).empty());
  // Counts so large that their sum wraps round to the number of tabs still do not line up.
  constexpr auto kHuge = std::numeric_limits<std::int64_t>::max();
  EXPECT_TRUE(
      chrome.assemble({11, 12, 13}, {false, false, false}, {kHuge, kHuge, 2}, {}, {}, {}).empty());
  EXPECT_TRUE(
      chrome.assemble({11, 12}, {false, false}, {kHuge, 1}, {"a", "b"}, {"ua", "ub"}, {true, false})
          .empty());
}

TEST(BrowserAdapters, AReplyOfTheWrongShapeGivesNoWindows) {
  using R = ReplyDescriptor;
  const auto list = [](std::vector<R> items) { return R::list(std::move(items)); };
  std::vector<R> six = {list({R::integer(5)}),
                        list({R::boolean(false)}),
                        list({R::integer(2)}),
                        list({R::string("Mail"), R::string("News")}),
                        list({R::string("https://mail.example.com/"), R::string("")}),
                        list({R::boolean(false), R::boolean(true)})};
  const SafariAdapter safari;
  const auto windows = safari.windowsFromReply(R::list(six));
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].browser, BrowserKind::safari);
  EXPECT_EQ(windows[0].tabs[1], (TabFacts{"News", "", true}));

  auto five = six;
  five.pop_back();
  EXPECT_TRUE(safari.windowsFromReply(R::list(five)).empty());
  EXPECT_TRUE(safari.windowsFromReply(R::integer(6)).empty());
  six[3] = R::missing();  // reads as an empty list, so the tab lists no longer line up
  EXPECT_TRUE(safari.windowsFromReply(R::list(six)).empty());
}

using R = ReplyDescriptor;

TEST(ReplyDescriptor, ItemsCountFromOne) {
  const auto list = R::list({R::integer(7), R::string("x")});
  EXPECT_EQ(list.numberOfItems(), 2);
  EXPECT_EQ(list.item(1), R::integer(7));
  EXPECT_EQ(list.item(2), R::string("x"));
  EXPECT_EQ(list.item(0), std::nullopt);
  EXPECT_EQ(list.item(3), std::nullopt);
  EXPECT_EQ(R::string("abc").numberOfItems(), 0);
  EXPECT_EQ(R::list({R::integer(1), R::boolean(false), R::string("t"), R::missing(), R::list({})})
                .toJson()
                .dump(),
            R"([1,false,"t",null,[]])");
}

TEST(ReplyDescriptor, ListReadersCoerceEachItem) {
  const auto list = R::list({R::string("Yes"), R::string("TRUE"), R::string("no"), R::missing(),
                             R::boolean(true), R::integer(4294967297), R::list({R::integer(1)})});
  EXPECT_EQ(list.boolList(), (std::vector<bool>{true, true, false, false, true, false, false}));
  EXPECT_EQ(list.stringList(),
            (std::vector<std::string>{"Yes", "TRUE", "no", "", "true", "4294967297", ""}));
  // The 32-bit value, widened; a missing or unreadable item is 0.
  EXPECT_EQ(list.intList(), (std::vector<std::int64_t>{0, 0, 0, 0, 1, 1, 0}));
  EXPECT_EQ(R::list({R::integer(-5), R::string("12")}).intList(),
            (std::vector<std::int64_t>{-5, 12}));
  // Anything but a non-empty list reads as empty lists.
  for (const auto& reply : {R::list({}), R::missing(), R::string("a, b"), R::integer(3)}) {
    EXPECT_TRUE(reply.stringList().empty());
    EXPECT_TRUE(reply.intList().empty());
    EXPECT_TRUE(reply.boolList().empty());
  }
}

}  // namespace
}  // namespace tervane
