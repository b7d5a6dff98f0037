#include "sway/SwayAppSurface.h"

#include <algorithm>

#include "linux/ClientWindows.h"

namespace tervane::sway {
namespace {

using x11::kScratchpadWorkspace;
using x11::TreeWindow;
using x11::WindowPlace;

// Put away by us and not brought back since: in the scratchpad, or shown from there by
// the person, floating where it was shown.
bool isOurs(const TreeWindow& window) {
  const auto mark = window.ourMark();
  return mark && !WindowPlace::fromMark(*mark)->back;
}

bool isAway(const TreeWindow& window) {
  return isOurs(window) && window.workspace == kScratchpadWorkspace;
}

}  // namespace

std::string appOf(const TreeWindow& window) {
  return x11::appIdentifier(window.app);
}

SwayAppSurface::SwayAppSurface(std::shared_ptr<x11::Scratchpad> scratchpad,
                               std::shared_ptr<const ActivationLog> log, Options options)
    : scratchpad_(std::move(scratchpad)), log_(std::move(log)), options_(std::move(options)) {}

bool SwayAppSurface::isOwn(const TreeWindow& window) const {
  return options_.neverStow.count(appOf(window)) != 0 ||
         (options_.ownPid && window.pid == *options_.ownPid);
}

std::optional<std::map<std::int64_t, TreeWindow>> SwayAppSurface::windowsOf(
    const std::string& bundleId) {
  auto all = scratchpad_->read();
  if (!all) return std::nullopt;
  std::erase_if(*all, [&](const auto& entry) { return appOf(entry.second) != bundleId; });
  return all;
}

std::vector<AppFacts> SwayAppSurface::runningApps() {
  std::vector<AppFacts> apps;
  const auto all = scratchpad_->read();
  if (!all) return apps;
  for (const auto& [container, window] : *all) {
    const std::string app = appOf(window);
    if (app.empty()) continue;
    auto it = std::find_if(apps.begin(), apps.end(),
                           [&](const AppFacts& facts) { return facts.bundleId == app; });
    if (it == apps.end()) {
      AppFacts facts;
      facts.bundleId = app;
      const auto browser = browserKindForBundleId(app);
      facts.name = browser ? displayName(*browser) : app;
      facts.secondsSinceLastUse = log_->secondsSinceLastUse(app);
      facts.canHide = true;
      apps.push_back(std::move(facts));
      it = std::prev(apps.end());
    }
    if (window.focused) it->isFrontmost = true;
    if (isOwn(window)) it->canHide = false;
  }
  return apps;
}

bool SwayAppSurface::hide(const std::string& bundleId) {
  const auto windows = windowsOf(bundleId);
  if (!windows) return false;
  std::vector<std::int64_t> out;
  for (const auto& [container, window] : *windows) {
    if (isOwn(window)) return false;
    if (window.workspace != kScratchpadWorkspace) out.push_back(container);
  }
  if (out.empty()) return false;
  return scratchpad_->stow(out).size() == out.size();
}

SwayAppSurface::Restore SwayAppSurface::restore(const std::string& bundleId) {
  Restore result;
  const auto windows = windowsOf(bundleId);
  if (!windows || windows->empty()) return result;
  result.present = true;
  std::vector<std::int64_t> away;
  for (const auto& [container, window] : *windows) {
    if (isOurs(window)) away.push_back(container);
  }
  const auto back = scratchpad_->bringBack(away);
  result.all = back.back.size() + back.gone.size() == away.size();
  return result;
}

bool SwayAppSurface::unhide(const std::string& bundleId) {
  const auto restored = restore(bundleId);
  return restored.present && restored.all;
}

bool SwayAppSurface::activate(const std::string& bundleId) {
  if (!restore(bundleId).present) return false;
  const auto windows = windowsOf(bundleId);
  if (!windows || windows->empty()) return false;
  // A window out on a workspace, else (when the person put every one in the scratchpad)
  // the first there, which focusing shows.
  const auto shown = std::find_if(windows->begin(), windows->end(), [](const auto& entry) {
    return entry.second.workspace != kScratchpadWorkspace;
  });
  const auto chosen = shown != windows->end() ? shown->first : windows->begin()->first;
  scratchpad_->run({scratchpad_->criteria(chosen) + "focus"});
  const auto after = scratchpad_->read();
  if (!after) return false;
  const auto it = after->find(chosen);
  return it != after->end() && it->second.focused;
}

std::vector<std::string> SwayAppSurface::stillHidden() const {
  std::set<std::string> apps;
  if (const auto all = scratchpad_->read()) {
    for (const auto& [container, window] : *all) {
      if (isAway(window)) apps.insert(appOf(window));
    }
  }
  return {apps.begin(), apps.end()};
}

}  // namespace tervane::sway
