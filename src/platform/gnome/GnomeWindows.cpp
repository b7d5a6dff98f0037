#include "gnome/GnomeWindows.h"

#include <algorithm>
#include <charconv>

#include "linux/ClientWindows.h"

namespace tervane::gnome {
namespace {

std::vector<x11::WindowDoor::Window> parse(const nlohmann::json& list) {
  std::vector<x11::WindowDoor::Window> out;
  for (const auto& item : list) {
    if (!item.is_object()) continue;
    x11::WindowDoor::Window window;
    window.app = x11::appIdentifier(item.value("app", ""));
    window.id = item.value("id", "");
    window.title = item.value("title", "");
    window.minimized = item.value("minimized", false);
    window.active = item.value("active", false);
    window.pid = item.value("pid", std::int64_t{0});
    if (!window.app.empty() && !window.id.empty()) out.push_back(std::move(window));
  }
  return out;
}

std::set<std::string> idsOf(const nlohmann::json& list) {
  std::set<std::string> out;
  for (const auto& id : list) {
    if (id.is_string()) out.insert(id.get<std::string>());
  }
  return out;
}

}  // namespace

std::optional<std::vector<x11::WindowDoor::Window>> GnomeWindowDoor::windows() {
  auto list = shell_->listWindows();
  if (!list) return std::nullopt;
  return parse(list.value());
}

std::optional<std::set<std::string>> GnomeWindowDoor::minimize(
    const std::vector<std::string>& ids) {
  auto done = shell_->setMinimized(ids, true);
  if (!done) return std::nullopt;
  return idsOf(done.value());
}

std::optional<x11::WindowDoor::Restore> GnomeWindowDoor::restore(const std::string& app,
                                                                 const std::set<std::string>& ids,
                                                                 bool activate) {
  auto all = windows();
  if (!all) return std::nullopt;
  std::erase_if(*all, [&](const Window& w) { return w.app != app; });
  Restore result;
  result.present = !all->empty();
  std::vector<std::string> minimized;
  // Recorded windows that are no longer there were closed: nothing to bring back.
  result.settled = ids;
  for (const auto& window : *all) {
    if (ids.count(window.id) != 0 && window.minimized) {
      minimized.push_back(window.id);
      result.settled.erase(window.id);
    }
  }
  if (!minimized.empty()) {
    auto back = shell_->setMinimized(minimized, false);
    if (back) {
      for (const auto& id : idsOf(back.value())) result.settled.insert(id);
    }
  }
  if (result.present && activate) {
    // Top to bottom: the first window shown takes the focus; when the person minimized
    // every one, the top one comes back for it.
    const auto shown = std::find_if(all->begin(), all->end(), [&](const Window& w) {
      return !w.minimized || result.settled.count(w.id) != 0;
    });
    (void)shell_->activate(shown != all->end() ? shown->id : all->front().id);
  }
  return result;
}

GnomeShell* GnomeBrowserWindows::shell() {
  if (!shell_) {
    auto opened = GnomeShell::open();
    if (!opened) return nullptr;
    shell_ = std::move(opened).value();
  }
  return shell_.get();
}

std::optional<std::vector<x11::ListedBrowserWindow>> GnomeBrowserWindows::list() {
  std::lock_guard lock(mutex_);
  auto* connection = shell();
  if (!connection) return std::nullopt;
  auto listed = connection->listWindows();
  if (!listed) return std::nullopt;
  const auto browsers = x11::listedBrowserIds();
  std::vector<x11::ListedBrowserWindow> out;
  for (const auto& window : parse(listed.value())) {
    if (std::find(browsers.begin(), browsers.end(), window.app) == browsers.end()) continue;
    std::int64_t number = 0;
    const auto [end, error] =
        std::from_chars(window.id.data(), window.id.data() + window.id.size(), number);
    if (error != std::errc() || number <= 0) continue;
    out.push_back({window.id, number, window.app, window.title, window.minimized});
  }
  return out;
}

bool GnomeBrowserWindows::setMinimized(const std::string& id, bool minimized) {
  std::lock_guard lock(mutex_);
  auto* connection = shell();
  if (!connection) return false;
  auto done = connection->setMinimized({id}, minimized);
  return done && idsOf(done.value()).count(id) != 0;
}

bool GnomeBrowserWindows::raise(const std::string& id) {
  std::lock_guard lock(mutex_);
  auto* connection = shell();
  return connection && connection->raise(id);
}

}  // namespace tervane::gnome
