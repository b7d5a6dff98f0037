// The headline the shield panel and the started note share: the person's line, or a
// stand-in when there is none.
#pragma once

#include <string>
#include <string_view>

namespace tervane::ClearingStrings {

// The line unchanged, or "Whatever you are doing." when it is empty. Not trimmed: callers
// pass the stored line, which is trimmed already.
std::string shieldHeadline(std::string_view line);

}  // namespace tervane::ClearingStrings
