#include "look/BatteryReading.h"

#include <gtest/gtest.h>

#include <map>

#include "support/TempDir.h"

namespace tervane {
using Reading = BatteryReading::Reading;
using Files = std::map<std::string, std::string>;

// Each case is a power-supply folder: its entries and their files.
TEST(BatteryReading, ReadsTheFirstInternalBatteryThatReads) {
  const std::pair<std::map<std::string, Files>, std::optional<Reading>> cases[] = {
      // From energy, rounded (84.5 up), with the charging arrow; a mains supply is no battery.
      {{{"AC", {{"type", "Mains"}, {"online", "1"}}},
        {"BAT0", {{"type", "Battery"}, {"status", "Charging"}, {"energy_now", "42250000"},
                  {"energy_full", "50000000"}}}},
       Reading{85, true}},
      // Else from charge, else from capacity.
      {{{"BAT1", {{"type", "Battery"}, {"status", "Discharging"}, {"charge_now", "2000"},
                  {"charge_full", "3000"}}}},
       Reading{67, false}},
      {{{"BAT0", {{"type", "Battery"}, {"capacity", "41"}, {"status", "Full"}}}}, Reading{41, false}},
      // A charge above the last full one shows as full, not as 103 %.
      {{{"BAT0", {{"type", "Battery"}, {"energy_now", "103"}, {"energy_full", "100"}}}},
       Reading{100, false}},
      // A mouse's battery is not the machine's.
      {{{"hidpp_battery_0", {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "90"}}}},
       std::nullopt},
      // Batteries that do not read are passed over, in the order of their folders' names.
      {{{"BAT0", {{"type", "Battery"}, {"energy_now", "5"}, {"energy_full", "0"}}},
        {"BAT1", {{"type", "Battery"}, {"present", "0"}, {"capacity", "50"}}},
        {"BAT2", {{"type", "Battery"}, {"capacity", "about half"}}},
        {"BAT3", {{"type", "Battery"}, {"capacity", "12"}}},
        {"BAT4", {{"type", "Battery"}, {"capacity", "99"}}}},
       Reading{12, false}},
  };
  for (const auto& [folders, reading] : cases) {
    testing::TempDir dir;
    for (const auto& [name, files] : folders) {
      std::filesystem::create_directories(dir / name);
      for (const auto& [file, value] : files) testing::writeText(dir / name / file, value + "\n");
    }
    EXPECT_EQ(BatteryReading::current(dir.path()), reading) << folders.rbegin()->first;
  }
  EXPECT_EQ(BatteryReading::current("/nonexistent/power_supply"), std::nullopt);

  EXPECT_EQ(BatteryReading::title(Reading{85, true}), " 85% ↑");
  EXPECT_EQ(BatteryReading::title(std::nullopt), "");
  EXPECT_EQ((Reading{84, false}).label(), "84%");
}

}  // namespace tervane
