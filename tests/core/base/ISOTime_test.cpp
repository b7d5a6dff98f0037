#include "base/ISOTime.h"

#include <gtest/gtest.h>

namespace tervane {

TEST(ISOTime, FormatsWholeSecondsInUtcWithALiteralZ) {
  ManualClock clock;  // 2025-01-02T03:04:05Z
  clock.advance(0.999);
  EXPECT_EQ(ISOTime::now(clock), "2025-01-02T03:04:05Z");
  EXPECT_EQ(ISOTime::format(TimePoint{}), "1970-01-01T00:00:00Z");
  const TimePoint t{std::chrono::seconds(4102444799)};  // 2099-12-31T23:59:59Z
  EXPECT_EQ(ISOTime::parse(ISOTime::format(t)), t);
}

TEST(ISOTime, MillisReadsOnlyTheExactStoredFormat) {
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
