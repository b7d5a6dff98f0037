#include "sway/SwayBrowsers.h"

#include <algorithm>
#include <charconv>

#include "sway/SwayAppSurface.h"

namespace tervane::sway {
namespace {

void collectFocused(const nlohmann::json& node, std::vector<std::int64_t>& out) {
  const auto id = node.find("id");
  if (node.find("shell") != node.end() && id != node.end() && id->is_number_integer()) {
    out.push_back(id->get<std::int64_t>());
  }
  std::vector<const nlohmann::json*> children;
  for (const char* list : {"nodes", "floating_nodes"}) {
    const auto found = node.find(list);
    if (found == node.end() || !found->is_array()) continue;
    for (const auto& child : *found) {
      if (child.is_object()) children.push_back(&child);
    }
  }
  const auto focus = node.find("focus");
  const auto rank = [&](const nlohmann::json* child) {
    if (focus == node.end() || !focus->is_array()) return std::ptrdiff_t{0};
    const auto at = std::find(focus->begin(), focus->end(), child->value("id", nlohmann::json()));
    return at - focus->begin();
  };
  std::stable_sort(children.begin(), children.end(),
                   [&](const auto* a, const auto* b) { return rank(a) < rank(b); });
  for (const auto* child : children) collectFocused(*child, out);
}

std::optional<std::int64_t> containerOf(const std::string& key) {
  std::int64_t id = 0;
  const auto [end, error] = std::from_chars(key.data(), key.data() + key.size(), id);
  if (error != std::errc() || end != key.data() + key.size() || id <= 0) return std::nullopt;
  return id;
}

}  // namespace

std::vector<std::int64_t> focusOrder(const nlohmann::json& tree) {
  std::vector<std::int64_t> out;
  if (tree.is_object()) collectFocused(tree, out);
  return out;
}

x11::Scratchpad* SwayBrowserWindows::scratchpad() {
  if (!scratchpad_) {
    auto ipc = x11::I3Ipc::connect(socketPath_);
    if (!ipc) return nullptr;
    scratchpad_ =
        std::make_unique<x11::Scratchpad>(std::move(ipc), x11::WindowKey::container, ownCriteria_);
  }
  return scratchpad_.get();
}

std::optional<std::vector<x11::ListedBrowserWindow>> SwayBrowserWindows::list() {
  std::lock_guard lock(mutex_);
  auto* pad = scratchpad();
  if (!pad) return std::nullopt;
  const auto tree = pad->tree();
  if (!tree) return std::nullopt;
  const auto windows = x11::treeWindows(*tree, x11::WindowKey::container);
  const auto browsers = x11::listedBrowserIds();
  std::vector<x11::ListedBrowserWindow> out;
  for (const std::int64_t container : focusOrder(*tree)) {
    const auto it = windows.find(container);
    if (it == windows.end()) continue;
    const std::string app = appOf(it->second);
    if (std::find(browsers.begin(), browsers.end(), app) == browsers.end()) continue;
    out.push_back({std::to_string(container), container, app, it->second.title,
                   it->second.workspace == x11::kScratchpadWorkspace});
  }
  return out;
}

bool SwayBrowserWindows::setMinimized(const std::string& key, bool minimized) {
  const auto container = containerOf(key);
  std::lock_guard lock(mutex_);
  auto* pad = scratchpad();
  if (!pad || !container) return false;
  if (minimized) return pad->stow({*container}).count(*container) != 0;
  return pad->bringBack({*container}).back.count(*container) != 0;
}

bool SwayBrowserWindows::raise(const std::string& key) {
  const auto container = containerOf(key);
  std::lock_guard lock(mutex_);
  auto* pad = scratchpad();
  if (!pad || !container) return false;
  pad->run({pad->criteria(*container) + "focus"});
  const auto after = pad->read();
  return after && after->count(*container) != 0 && after->at(*container).focused;
}

}  // namespace tervane::sway
