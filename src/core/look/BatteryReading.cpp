#include "look/BatteryReading.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>
#include <vector>

#include "base/AtomicFile.h"
#include "base/Text.h"

namespace tervane::BatteryReading {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> readValue(const fs::path& source, const char* name) {
  auto text = readFile(source / name);
  if (!text) return std::nullopt;
  return Text::trimmed(text.value());
}

// A whole decimal number and nothing else.
std::optional<std::int64_t> readInteger(const fs::path& source, const char* name) {
  const auto text = readValue(source, name);
  if (!text || text->empty()) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (error != std::errc{} || end != text->data() + text->size()) return std::nullopt;
  return value;
}

std::optional<Reading> readSource(const fs::path& source) {
  if (readValue(source, "type") != "Battery") return std::nullopt;
  // "Device" marks the battery of a mouse or a headset; only the machine's own counts.
  if (readValue(source, "scope") == "Device") return std::nullopt;
  if (readInteger(source, "present") == 0) return std::nullopt;

  std::optional<std::int64_t> now = readInteger(source, "energy_now");
  std::optional<std::int64_t> full = readInteger(source, "energy_full");
  if (!now || !full) {
    now = readInteger(source, "charge_now");
    full = readInteger(source, "charge_full");
  }
  if (!now || !full) {
    now = readInteger(source, "capacity");
    full = 100;
  }
  if (!now || *full < 1 || *now < 0) return std::nullopt;

  // Some batteries report a charge above their last full one; nothing is above 100 %.
  const double percent = std::round(static_cast<double>(*now) / static_cast<double>(*full) * 100);
  Reading reading;
  reading.percent = static_cast<int>(std::min(percent, 100.0));
  reading.charging = readValue(source, "status") == "Charging";
  return reading;
}

}  // namespace

std::string Reading::label() const {
  return std::to_string(percent) + (charging ? "% ↑" : "%");
}

std::optional<Reading> current(const fs::path& folder) {
  std::error_code error;
  std::vector<fs::path> sources;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    sources.push_back(it->path());
  }
  std::sort(sources.begin(), sources.end());
  for (const auto& source : sources) {
    if (auto reading = readSource(source)) return reading;
  }
  return std::nullopt;
}

std::string title(const std::optional<Reading>& reading) {
  return reading ? " " + reading->label() : std::string();
}

}  // namespace tervane::BatteryReading
