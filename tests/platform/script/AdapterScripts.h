// The script texts the browser adapters send, byte for byte (four-space indents, "¬", no
// line feed after the last line), as fixtures for the engine. Substitutions are the
// application name, the window id list, true or false, a window id and a tab index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tervane::testing {

inline std::string chromiumReadScript(const std::string& appName) {
  return "tell application \"" + appName + "\"\n" + R"(    set wIds to {}
    set wMin to {}
    set wCounts to {}
    set tTitles to {}
    set tUrls to {}
    set tActive to {}
    repeat with w in (every window)
        set theTabs to (every tab of w)
        set end of wIds to (id of w)
        set end of wMin to (minimized of w)
        set end of wCounts to (count of theTabs)
        set activeIdx to 0
        try
            set activeIdx to (active tab index of w)
        end try
        set i to 0
        repeat with t in theTabs
            set i to i + 1
            set end of tTitles to (title of t)
            set end of tUrls to (URL of t)
            set end of tActive to (i = activeIdx)
        end repeat
    end repeat
    return {wIds, wMin, wCounts, tTitles, tUrls, tActive}
end tell)";
}

inline const std::string kSafariReadScript = R"(tell application "Safari"
    set wIds to {}
    set wMin to {}
    set wCounts to {}
    set tTitles to {}
    set tUrls to {}
    set tActive to {}
    repeat with w in (every window whose visible is true)
        set theTabs to (every tab of w)
        set end of wIds to (id of w)
        set end of wMin to (miniaturized of w)
        set end of wCounts to (count of theTabs)
        -- Safari tabs have no id but they DO have an index, and
        -- `index of current tab` is exact. Comparing urls instead would
        -- mark two tabs active whenever a window has the same page open
        -- twice, which is ordinary rather than rare.
        set activeIdx to 0
        try
            set activeIdx to (index of current tab of w)
        end try
        set i to 0
        repeat with t in theTabs
            set i to i + 1
            set end of tTitles to (name of t)
            set theUrl to ""
            try
                set theUrl to (URL of t) as text
            end try
            set end of tUrls to theUrl
            set end of tActive to (i = activeIdx)
        end repeat
    end repeat
    return {wIds, wMin, wCounts, tTitles, tUrls, tActive}
end tell)";

inline std::string setMinimizedScript(const std::string& appName,
                                      const std::string& minimizedProperty, bool minimize,
                                      const std::vector<std::int64_t>& ids) {
  std::string idList;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) idList += ", ";
    idList += std::to_string(ids[i]);
  }
  return "tell application \"" + appName + "\"\n" + "    set n to 0\n" +
         "    repeat with wid in {" + idList + "}\n" + "        try\n" + "            set " +
         minimizedProperty + " of \u00AC\n" +
         "                (first window whose id is (contents of wid)) to " +
         (minimize ? "true" : "false") + "\n" + R"(            set n to n + 1
        end try
    end repeat
    return n
end tell)";
}

inline std::string chromiumFocusScript(const std::string& appName, std::int64_t windowId,
                                       int tabIndex) {
  return "tell application \"" + appName + "\"\n" + "    try\n" +
         "        set w to (first window whose id is " + std::to_string(windowId) + ")\n" +
         "        try\n" + "            set active tab index of w to " + std::to_string(tabIndex) +
         "\n" + R"(        end try
        set index of w to 1
    end try
end tell)";
}

inline std::string safariFocusScript(std::int64_t windowId, int tabIndex) {
  return std::string("tell application \"Safari\"\n") + "    try\n" +
         "        set w to (first window whose id is " + std::to_string(windowId) + ")\n" +
         "        try\n" + "            set current tab of w to tab " + std::to_string(tabIndex) +
         " of w\n" + R"(        end try
        set index of w to 1
    end try
end tell)";
}

}  // namespace tervane::testing
