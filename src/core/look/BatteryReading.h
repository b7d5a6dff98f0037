// The internal battery's charge as the menu bar shows it beside the bee during a stage,
// read from a power-supply folder laid out like Linux's /sys/class/power_supply: one
// folder per source holding small text files (type, scope, present, energy_now and
// energy_full or charge_now and charge_full or capacity, status).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tervane::BatteryReading {

inline const std::filesystem::path kSystemFolder = "/sys/class/power_supply";

struct Reading {
  int percent = 0;
  bool charging = false;

  // "84%", or "84% ↑" while charging.
  std::string label() const;
  friend bool operator==(const Reading&, const Reading&) = default;
};

// The first internal battery, by folder name, that reads; none when there is no such
// battery (a desktop machine, a peripheral's battery only, a full charge of 0).
std::optional<Reading> current(const std::filesystem::path& folder = kSystemFolder);

// The bee button's title: a space and the label, or empty without a reading.
std::string title(const std::optional<Reading>& reading);

}  // namespace tervane::BatteryReading
