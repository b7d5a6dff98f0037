// The sentences that sum up a stage: what it put away, that it is paused, and the
// Finished label and confirmation. Built in one place so the card and the started note
// say exactly the same thing for the same stage.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "stage/StageRecords.h"

namespace tervane::StageWords {

// What the stage put away, counting hidden apps and minimized browser windows; tabs
// travel with their windows and are not counted.
std::string whatIDid(const StageSnapshot& stage);

// `minutes`: whole minutes since the stage was parked; less than 1 leaves the time out.
std::string paused(int minutes);

// The label of the Finished button for the person's line.
std::string finished(std::string_view line);

// What did not come back when everything should have: "" when `names` is empty.
std::string notBack(const std::vector<std::string>& names);

// Start when the desktop moved nothing that was asked away.
inline constexpr const char* kDesktopRefused =
    "The desktop did not let me put anything away, so everything is where it was.";

// Said once per run when a running browser is seen through its windows alone: what that
// means and how to add the companion that shows its tabs.
std::string seesWindowsOnly(const std::vector<BrowserKind>& browsers);

// The confirmation shown once the stage is finished.
std::string finishedAndUndone(std::string_view line);

// The line trimmed and, from 29 user-perceived characters on, cut to 27 followed by "…",
// so a shown line is never longer than 28 characters.
std::string shortened(std::string_view line);

}  // namespace tervane::StageWords
