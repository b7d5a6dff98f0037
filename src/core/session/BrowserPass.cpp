#include "session/BrowserPass.h"

#include "base/Text.h"

namespace tervane::BrowserPasses {

void read(BrowserKind kind, BrowserSurfacing& browsers, BrowserPass& pass) {
  auto windows = browsers.windows(kind);
  if (windows) {
    auto& read = windows.value();
    pass.windows.insert(pass.windows.end(), read.begin(), read.end());
    if (browsers.seesWindowsOnly(kind)) pass.windowsOnly.push_back(kind);
    return;
  }
  switch (windows.error().type()) {
    case AppleScriptError::Type::notPermitted:
      pass.denied.push_back(kind);
      break;
    case AppleScriptError::Type::busy:
      pass.busy.push_back(kind);
      break;
    default:
      break;  // other failures leave the browser out without a word
  }
}

BrowserPass readAllowed(const std::vector<BrowserKind>& running, BrowserSurfacing& browsers) {
  BrowserPass pass;
  for (auto kind : running) {
    switch (browsers.authorization(kind).type()) {
      case BrowserAuthorization::Type::allowed:
        read(kind, browsers, pass);
        break;
      case BrowserAuthorization::Type::denied:
        pass.denied.push_back(kind);
        break;
      case BrowserAuthorization::Type::needsConsent:
        pass.needConsent.push_back(kind);
        break;
      case BrowserAuthorization::Type::busy:
        pass.busy.push_back(kind);
        break;
      case BrowserAuthorization::Type::notRunning:
      case BrowserAuthorization::Type::unknown:
        break;
    }
  }
  return pass;
}

std::vector<std::string> tabNames(const std::vector<WindowFacts>& windows) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const auto& window : windows) {
    if (window.isMinimized) continue;
    for (const auto& tab : window.tabs) {
      auto name = tab.readableName();
      if (seen.insert(name).second) names.push_back(std::move(name));
    }
  }
  return names;
}

namespace {
std::vector<std::string> prefixed(const char* prefix, const std::vector<std::string>& names) {
  std::vector<std::string> items;
  items.reserve(names.size());
  for (const auto& name : names) items.push_back(prefix + name);
  return items;
}
}  // namespace

void pickTabs(const std::string& line, ActPicking& picker, BrowserPass& pass) {
  if (Text::isBlank(line) || !picker.isAvailable()) return;
  const auto names = tabNames(pass.windows);
  if (names.empty()) return;
  auto answer = picker.pick(line, prefixed(kTabPrefix, names));
  if (answer) {
    pass.wantedTabs = ActPicker::strip(kTabPrefix, *answer);
  } else {
    pass.wantedTabs.reset();
  }
}

BrowserPass askConsentAndRead(const std::vector<BrowserKind>& kinds, BrowserSurfacing& browsers,
                              ActPicking& picker, const std::string& line) {
  BrowserPass pass;
  for (auto kind : kinds) {
    switch (browsers.requestConsent(kind).type()) {
      case BrowserAuthorization::Type::allowed:
        read(kind, browsers, pass);
        break;
      case BrowserAuthorization::Type::denied:
      case BrowserAuthorization::Type::needsConsent:
      case BrowserAuthorization::Type::unknown:
        pass.denied.push_back(kind);
        break;
      case BrowserAuthorization::Type::busy:
        pass.busy.push_back(kind);
        break;
      case BrowserAuthorization::Type::notRunning:
        break;
    }
  }
  pickTabs(line, picker, pass);
  return pass;
}

PickedBeforeStaging readAndPick(const std::vector<BrowserKind>& running, BrowserSurfacing& browsers,
                                const std::vector<std::string>& appNames, ActPicking& picker,
                                const std::string& line) {
  PickedBeforeStaging result;
  result.pass = readAllowed(running, browsers);

  auto items = prefixed(kAppPrefix, appNames);
  auto tabs = prefixed(kTabPrefix, tabNames(result.pass.windows));
  items.insert(items.end(), tabs.begin(), tabs.end());

  auto answer = picker.pick(line, items);
  if (!answer) return result;

  result.pass.wantedTabs = ActPicker::strip(kTabPrefix, *answer);
  result.wantedApps = ActPicker::strip(kAppPrefix, *answer);
  for (const auto& window : result.pass.windows) {
    for (const auto& tab : window.tabs) {
      if (result.pass.wantedTabs->count(tab.readableName()) > 0) {
        result.wantedBrowsers.insert(bundleId(window.browser));
        break;
      }
    }
  }
  return result;
}

}  // namespace tervane::BrowserPasses
