#include "look/BatteryReading.h"

#include <gtest/gtest.h>

#include <map>

#include "support/TempDir.h"

namespace tervane {
namespace {

using testing::TempDir;
using testing::writeText;
using Reading = BatteryReading::Reading;

void source(const TempDir& dir, const std::string& name,
            const std::map<std::string, std::string>& files) {
  std::filesystem::create_directories(dir / name);
  for (const auto& [file, value] : files) writeText(dir / name / file, value + "\n");
}

}  // namespace

TEST(BatteryReading, ReadsTheInternalBatteryRoundedWithTheChargingArrow) {
  TempDir dir;
  source(dir, "AC", {{"type", "Mains"}, {"online", "1"}});
  source(dir, "BAT0",
         {{"type", "Battery"},
          {"status", "Charging"},
          {"energy_now", "42250000"},
          {"energy_full", "50000000"}});
  const auto reading = BatteryReading::current(dir.path());
  EXPECT_EQ(reading, (Reading{85, true}));  // 84.5 rounds up
  EXPECT_EQ(reading->label(), "85% ↑");
  EXPECT_EQ(BatteryReading::title(reading), " 85% ↑");
  EXPECT_EQ(BatteryReading::title(std::nullopt), "");
  EXPECT_EQ((Reading{84, false}).label(), "84%");
}

TEST(BatteryReading, FallsBackFromEnergyToChargeToCapacity) {
  TempDir charge;
  source(charge, "BAT1",
         {{"type", "Battery"},
          {"status", "Discharging"},
          {"charge_now", "2000"},
          {"charge_full", "3000"}});
  EXPECT_EQ(BatteryReading::current(charge.path()), (Reading{67, false}));

  TempDir capacity;
  source(capacity, "BAT0", {{"type", "Battery"}, {"capacity", "41"}, {"status", "Full"}});
  EXPECT_EQ(BatteryReading::current(capacity.path()), (Reading{41, false}));

  // A charge above the last full one shows as full, not as 103 %.
  TempDir over;
  source(over, "BAT0", {{"type", "Battery"}, {"energy_now", "103"}, {"energy_full", "100"}});
  EXPECT_EQ(BatteryReading::current(over.path()), (Reading{100, false}));
}

TEST(BatteryReading, NoInternalBatteryGivesNoReading) {
  TempDir desktop;
  source(desktop, "AC", {{"type", "Mains"}, {"online", "1"}});
  // A mouse's battery is not the machine's.
  source(desktop, "hidpp_battery_0",
         {{"type", "Battery"}, {"scope", "Device"}, {"capacity", "90"}});
  EXPECT_EQ(BatteryReading::current(desktop.path()), std::nullopt);
  EXPECT_EQ(BatteryReading::current(desktop / "missing"), std::nullopt);

  TempDir broken;
  source(broken, "BAT0", {{"type", "Battery"}, {"energy_now", "5"}, {"energy_full", "0"}});
  source(broken, "BAT1", {{"type", "Battery"}, {"present", "0"}, {"capacity", "50"}});
  source(broken, "BAT2", {{"type", "Battery"}, {"capacity", "about half"}});
  EXPECT_EQ(BatteryReading::current(broken.path()), std::nullopt);

  // The first battery that reads, by folder name, is the one shown.
  source(broken, "BAT3", {{"type", "Battery"}, {"capacity", "12"}});
  source(broken, "BAT4", {{"type", "Battery"}, {"capacity", "99"}});
  EXPECT_EQ(BatteryReading::current(broken.path()), (Reading{12, false}));
}

}  // namespace tervane
