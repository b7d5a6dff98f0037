// The one time format of every stored record: "yyyy-MM-dd'T'HH:mm:ss'Z'", whole seconds,
// always UTC with a literal Z.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/Clock.h"

namespace tervane::ISOTime {

std::string format(TimePoint t);
std::string now(const Clock& clock);
// The stamp as a time, or none unless it is exactly in the stored format.
std::optional<TimePoint> parse(std::string_view text);
// Milliseconds since 1970 (seconds × 1000), or none for an absent or malformed stamp.
std::optional<double> millis(const std::optional<std::string>& text);

}  // namespace tervane::ISOTime
