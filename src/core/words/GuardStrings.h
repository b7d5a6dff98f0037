// The words of the shield panel, which asks whether an item put away is needed now.
#pragma once

#include <string>
#include <string_view>

namespace tervane::GuardStrings {

// The line under the headline, naming the item that came forward.
std::string youPutThisAway(std::string_view itemName);

// The button that puts the item away again; also the panel's default action.
inline constexpr std::string_view goBack = "Back to it";
// The button that lets the item through for the rest of the stage.
inline constexpr std::string_view needThis = "I need this";
// The section label above the headline (the view shows it in upper case).
inline constexpr std::string_view setAsideFor = "You set this aside for:";

}  // namespace tervane::GuardStrings
