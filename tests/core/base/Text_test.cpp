#include "base/Text.h"

#include <gtest/gtest.h>

#include "base/ISOTime.h"

namespace tervane {

TEST(Text, TrimsUnicodeWhiteSpaceAndLineBreaksAtBothEndsOnly) {
  EXPECT_EQ(Text::trimmed("  \t\r\n write the report \n"), "write the report");
  // No-break space, ideographic space, line and paragraph separators, next line.
  EXPECT_EQ(Text::trimmed("\u00A0\u3000\u2028x y\u2029\u0085"), "x y");
  EXPECT_EQ(Text::trimmed(" \n\t "), "");
  // A zero-width space is a format character, not white space.
  EXPECT_EQ(Text::trimmed("\u200Bx"), "\u200Bx");
  EXPECT_TRUE(Text::isBlank("\u2003\n"));
  EXPECT_FALSE(Text::isBlank(" a "));
}

TEST(Text, CountsAndCutsUserPerceivedCharactersAndEachBadByteAsOne) {
  const std::string family = "\U0001F468\u200D\U0001F469\u200D\U0001F467";  // one character
  const std::string flag = "\U0001F1E9\U0001F1EA";                           // one character
  const std::string accented = "e\u0301";                                    // one character
  EXPECT_EQ(Text::characterCount(family + flag + accented + "ab"), 5u);
  EXPECT_EQ(Text::prefix(family + flag + accented + "ab", 2), family + flag);
  EXPECT_EQ(Text::prefix("abc", 0), "");
  EXPECT_EQ(Text::prefix("abc", 10), "abc");
  // Invalid UTF-8 counts one character per bad byte, and never loops.
  const std::string bad = std::string("a\xFF\xC3") + "b\x80";
  EXPECT_EQ(Text::characterCount(bad), 5u);
  EXPECT_EQ(Text::prefix(bad, 2), "a\xFF");
  EXPECT_EQ(Text::trimmed(std::string(" \xFF ")), "\xFF");
  EXPECT_EQ(Text::lowercased(std::string("\xFF" "AB\xC3\x89")), std::string("\xFF" "ab\xC3\xA9"));
}

TEST(ISOTime, FormatsWholeSecondsInUtcAndReadsOnlyThatFormat) {
  ManualClock clock;  // 2025-01-02T03:04:05Z
  clock.advance(0.999);
  EXPECT_EQ(ISOTime::now(clock), "2025-01-02T03:04:05Z");
  EXPECT_EQ(ISOTime::format(TimePoint{}), "1970-01-01T00:00:00Z");
  const TimePoint t{std::chrono::seconds(4102444799)};  // 2099-12-31T23:59:59Z
  EXPECT_EQ(ISOTime::parse(ISOTime::format(t)), t);

  // Millis read only the exact stored format.
  EXPECT_EQ(ISOTime::millis(std::string("2025-01-02T03:04:05Z")), 1735787045000.0);
  EXPECT_EQ(ISOTime::millis(std::string("2024-02-29T23:59:59Z")), 1709251199000.0);
  for (const char* bad :
       {"", "2025-01-02 03:04:05Z", "2025-01-02T03:04:05", "2025-1-02T03:04:05Z",
        "2025-01-02T03:04:05+00:00", "2025-02-30T00:00:00Z", "2025-01-02T24:00:00Z",
        "2025-01-02T03:04:05Zx", "abcd-01-02T03:04:05Z"}) {
    EXPECT_EQ(ISOTime::millis(std::string(bad)), std::nullopt) << bad;
  }
  EXPECT_EQ(ISOTime::millis(std::nullopt), std::nullopt);
}

}  // namespace tervane
