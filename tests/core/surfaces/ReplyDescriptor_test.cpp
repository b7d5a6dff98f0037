#include "surfaces/ReplyDescriptor.h"

#include <gtest/gtest.h>

namespace tervane {
namespace {

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
