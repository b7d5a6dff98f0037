// The supported browsers and their fixed names: the raw name used in item ids and stored
// records, the application identifier, the name a script addresses, the name the person
// reads, and the window property that says whether a window is minimized. Firefox, last,
// is reached only through its companion or its windows and speaks the Chromium family's
// dictionary there, so it takes the Chromium family's scripts.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tervane {

enum class BrowserKind { chrome, safari, brave, edge, firefox };

inline constexpr std::array<BrowserKind, 5> kAllBrowserKinds = {
    BrowserKind::chrome, BrowserKind::safari, BrowserKind::brave, BrowserKind::edge,
    BrowserKind::firefox};

struct BrowserInfo {
  std::string_view rawValue;
  std::string_view bundleId;
  std::string_view appName;
  std::string_view displayName;
  std::string_view minimizedProperty;
  bool isChromium;  // takes the Chromium family's scripts
};

const BrowserInfo& info(BrowserKind kind);
inline std::string rawValue(BrowserKind kind) {
  return std::string(info(kind).rawValue);
}
inline std::string bundleId(BrowserKind kind) {
  return std::string(info(kind).bundleId);
}
inline std::string appName(BrowserKind kind) {
  return std::string(info(kind).appName);
}
inline std::string displayName(BrowserKind kind) {
  return std::string(info(kind).displayName);
}

std::optional<BrowserKind> browserKindFromRaw(std::string_view raw);
std::optional<BrowserKind> browserKindForBundleId(std::string_view bundleId);

namespace BrowserKinds {
// Whether the application identifier is one of the browsers (exact comparison).
bool is(std::string_view bundleId);
}  // namespace BrowserKinds

}  // namespace tervane
