#include "stage/BrowserKind.h"

namespace tervane {
namespace {
constexpr std::array<BrowserInfo, 5> kTable = {{
    {"chrome", "com.google.Chrome", "Google Chrome", "Chrome", "minimized", true},
    {"safari", "com.apple.Safari", "Safari", "Safari", "miniaturized", false},
    {"brave", "com.brave.Browser", "Brave Browser", "Brave", "minimized", true},
    {"edge", "com.microsoft.edgemac", "Microsoft Edge", "Edge", "minimized", true},
    {"firefox", "org.mozilla.firefox", "Firefox", "Firefox", "minimized", true},
}};
}  // namespace

const BrowserInfo& info(BrowserKind kind) {
  return kTable[static_cast<std::size_t>(kind)];
}

std::optional<BrowserKind> browserKindFromRaw(std::string_view raw) {
  for (auto kind : kAllBrowserKinds) {
    if (info(kind).rawValue == raw) return kind;
  }
  return std::nullopt;
}

std::optional<BrowserKind> browserKindForBundleId(std::string_view id) {
  for (auto kind : kAllBrowserKinds) {
    if (info(kind).bundleId == id) return kind;
  }
  return std::nullopt;
}

bool BrowserKinds::is(std::string_view id) {
  return browserKindForBundleId(id).has_value();
}

}  // namespace tervane
