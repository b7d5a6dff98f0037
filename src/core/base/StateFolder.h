// Where state that is not a setting lives on desktops that follow the XDG base
// directories: the open stage's journal goes to "$XDG_STATE_HOME/tervane-now", or to
// "~/.local/state/tervane-now" when that variable is unset, empty or not an absolute
// path (relative values are ignored, as the XDG rules ask). Other desktops pick their own
// folder and hand it to the journal.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "base/Result.h"

namespace tervane {

// Reads one environment variable; none when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The process environment.
std::optional<std::string> processEnvironment(const std::string& name);

// An error only when neither XDG_STATE_HOME nor HOME gives an absolute path.
Result<std::filesystem::path> defaultStageJournalFolder(
    const EnvironmentLookup& lookup = processEnvironment);

// The person's settings (the standard and shared defaults files): "$XDG_CONFIG_HOME/
// tervane-now", or "~/.config/tervane-now", by the same rules.
Result<std::filesystem::path> defaultConfigFolder(
    const EnvironmentLookup& lookup = processEnvironment);

// The person's data folder itself: "$XDG_DATA_HOME", or "~/.local/share".
Result<std::filesystem::path> xdgDataHome(const EnvironmentLookup& lookup = processEnvironment);

}  // namespace tervane
