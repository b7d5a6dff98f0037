#include "surfaces/BrowserAdapters.h"

#include <initializer_list>
#include <string_view>
#include <utility>

namespace tervane {
namespace {

// The texts below are templates: each @NAME@ is replaced by a value, and the rest stays
// byte for byte (four spaces per level, "¬" continuing a line, no line feed at the end).

constexpr const char* kChromiumRead = R"SCRIPT(tell application "@APP@"
    set wIds to {}
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
end tell)SCRIPT";

constexpr const char* kSafariRead = R"SCRIPT(tell application "Safari"
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
end tell)SCRIPT";

constexpr const char* kSetMinimized = R"SCRIPT(tell application "@APP@"
    set n to 0
    repeat with wid in {@IDS@}
        try
            set @PROPERTY@ of ¬
                (first window whose id is (contents of wid)) to @FLAG@
            set n to n + 1
        end try
    end repeat
    return n
end tell)SCRIPT";

constexpr const char* kChromiumFocus = R"SCRIPT(tell application "@APP@"
    try
        set w to (first window whose id is @WINDOW@)
        try
            set active tab index of w to @TAB@
        end try
        set index of w to 1
    end try
end tell)SCRIPT";

constexpr const char* kSafariFocus = R"SCRIPT(tell application "Safari"
    try
        set w to (first window whose id is @WINDOW@)
        try
            set current tab of w to tab @TAB@ of w
        end try
        set index of w to 1
    end try
end tell)SCRIPT";

// Replaces every @NAME@ of the template by its value.
std::string filled(std::string text,
                   std::initializer_list<std::pair<std::string_view, std::string>> values) {
  for (const auto& [name, value] : values) {
    const std::string mark = "@" + std::string(name) + "@";
    for (auto at = text.find(mark); at != std::string::npos;
         at = text.find(mark, at + value.size())) {
      text.replace(at, mark.size(), value);
    }
  }
  return text;
}

std::string joinedIds(const std::vector<std::int64_t>& ids) {
  std::string out;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) out += ", ";
    out += std::to_string(ids[i]);
  }
  return out;
}

}  // namespace

std::string BrowserAdapter::setMinimizedScript(bool minimized,
                                               const std::vector<std::int64_t>& windowIds) const {
  return filled(kSetMinimized, {{"APP", appName(kind())},
                                {"IDS", joinedIds(windowIds)},
                                {"PROPERTY", std::string(info(kind()).minimizedProperty)},
                                {"FLAG", minimized ? "true" : "false"}});
}

AppleScriptResult<std::vector<WindowFacts>> BrowserAdapter::readWindows(
    AppleScripting& runner) const {
  auto reply = runner.run(readScript(), kind());
  if (!reply) return reply.error();
  return windowsFromReply(reply.value());
}

std::vector<WindowFacts> BrowserAdapter::windowsFromReply(const ReplyDescriptor& reply) const {
  const auto* lists = reply.items();
  if (lists == nullptr || lists->size() != 6) return {};
  const auto& at = *lists;  // read in place: the tab lists of a large browser are long
  return assemble(at[0].intList(), at[1].boolList(), at[2].intList(), at[3].stringList(),
                  at[4].stringList(), at[5].boolList());
}

std::vector<WindowFacts> BrowserAdapter::assemble(const std::vector<std::int64_t>& windowIds,
                                                  const std::vector<bool>& minimized,
                                                  const std::vector<std::int64_t>& tabCounts,
                                                  std::vector<std::string> titles,
                                                  std::vector<std::string> urls,
                                                  const std::vector<bool>& actives) const {
  if (minimized.size() != windowIds.size() || tabCounts.size() != windowIds.size()) return {};
  if (urls.size() != titles.size() || actives.size() != titles.size()) return {};
  // The counts must share out the tabs exactly. A negative count cannot come from a
  // browser and would move the offset backwards; each count is checked against the tabs
  // still unclaimed, so no sum of counts can wrap round to the right total either.
  auto unclaimed = static_cast<std::int64_t>(titles.size());
  for (auto count : tabCounts) {
    if (count < 0 || count > unclaimed) return {};
    unclaimed -= count;
  }
  if (unclaimed != 0) return {};

  std::vector<WindowFacts> windows;
  std::size_t offset = 0;
  for (std::size_t i = 0; i < windowIds.size(); ++i) {
    const auto count = static_cast<std::size_t>(tabCounts[i]);
    if (count < 1) continue;
    WindowFacts window;
    window.browser = kind();
    window.windowId = windowIds[i];
    window.tabs.reserve(count);
    for (std::size_t t = offset; t < offset + count; ++t) {
      window.tabs.push_back(TabFacts{std::move(titles[t]), std::move(urls[t]), actives[t]});
    }
    window.isFrontmost = i == 0;
    window.isMinimized = minimized[i];
    windows.push_back(std::move(window));
    offset += count;
  }
  return windows;
}

std::string ChromiumAdapter::readScript() const {
  return filled(kChromiumRead, {{"APP", appName(kind_)}});
}

std::string ChromiumAdapter::focusScript(std::int64_t windowId, int tabIndex) const {
  return filled(kChromiumFocus, {{"APP", appName(kind_)},
                                 {"WINDOW", std::to_string(windowId)},
                                 {"TAB", std::to_string(tabIndex)}});
}

std::string SafariAdapter::readScript() const {
  return kSafariRead;
}

std::string SafariAdapter::focusScript(std::int64_t windowId, int tabIndex) const {
  return filled(kSafariFocus,
                {{"WINDOW", std::to_string(windowId)}, {"TAB", std::to_string(tabIndex)}});
}

}  // namespace tervane
