#include "linux/Scratchpad.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <iterator>

#include "linux/ClientWindows.h"

namespace tervane::x11 {
namespace {

constexpr std::string_view kAwayPrefix = "_tervane:";
constexpr std::string_view kBackPrefix = "_tervane-back:";
// Marks the neighbour for a moment while a window is moved next to it.
constexpr std::string_view kNeighbourMark = "_tervane_neighbour";

// A string argument of an i3 command.
std::string argument(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    if (ch == '"' || ch == '\\') out.push_back('\\');
    out.push_back(ch);
  }
  out.push_back('"');
  return out;
}

std::string byContainer(std::int64_t container) {
  return "[con_id=" + std::to_string(container) + "] ";
}

// Reads a field of the manager's tree that may be missing or of another type.
std::int64_t idOf(const nlohmann::json& node) {
  const auto id = node.find("id");
  return node.is_object() && id != node.end() && id->is_number_integer() ? id->get<std::int64_t>()
                                                                         : 0;
}

std::string textOf(const nlohmann::json& node, const char* key) {
  const auto value = node.find(key);
  return value != node.end() && value->is_string() ? value->get<std::string>() : std::string();
}

// The key `node` goes by when it is a client window.
std::optional<std::int64_t> keyOf(const nlohmann::json& node, WindowKey key) {
  if (key == WindowKey::container) {
    // Sway names the shell of every view, and of nothing else.
    const auto shell = node.find("shell");
    if (shell == node.end() || !shell->is_string()) return std::nullopt;
    const auto id = idOf(node);
    return id != 0 ? std::optional(id) : std::nullopt;
  }
  const auto window = node.find("window");
  if (window == node.end() || !window->is_number_unsigned() ||
      window->get<std::uint64_t>() > UINT32_MAX) {
    return std::nullopt;
  }
  return window->get<std::int64_t>();
}

void collect(const nlohmann::json& node, const std::string& workspace, bool floating, WindowKey key,
             std::map<std::int64_t, TreeWindow>& out) {
  const std::string here = textOf(node, "type") == "workspace" ? textOf(node, "name") : workspace;
  const auto visit = [&](const char* list, bool floats) {
    const auto children = node.find(list);
    if (children == node.end() || !children->is_array()) return;
    for (const auto& child : *children) {
      if (!child.is_object()) continue;
      if (const auto window = keyOf(child, key)) {
        TreeWindow found;
        found.container = idOf(child);
        found.workspace = here;
        found.floating = floats || floating;
        found.title = textOf(child, "name");
        found.app = textOf(child, "app_id");
        if (const auto properties = child.find("window_properties");
            found.app.empty() && properties != child.end() && properties->is_object()) {
          found.app = textOf(*properties, "class");
        }
        if (const auto pid = child.find("pid"); pid != child.end() && pid->is_number_integer()) {
          found.pid = pid->get<std::int64_t>();
        }
        found.focused = child.value("focused", false) == true;
        if (const auto marks = child.find("marks"); marks != child.end() && marks->is_array()) {
          for (const auto& mark : *marks) {
            if (mark.is_string()) found.marks.push_back(mark.get<std::string>());
          }
        }
        out[*window] = std::move(found);
      }
      collect(child, here, floats || floating, key, out);
    }
  };
  visit("nodes", false);
  visit("floating_nodes", true);
}

// For every tiled container, its parent's children in order.
void collectOrder(const nlohmann::json& node,
                  std::map<std::int64_t, std::vector<std::int64_t>>& out) {
  const auto children = node.find("nodes");
  if (children == node.end() || !children->is_array()) return;
  std::vector<std::int64_t> ids;
  for (const auto& child : *children) ids.push_back(idOf(child));
  for (const auto& child : *children) {
    out[idOf(child)] = ids;
    collectOrder(child, out);
  }
  if (const auto floating = node.find("floating_nodes");
      floating != node.end() && floating->is_array()) {
    for (const auto& child : *floating) collectOrder(child, out);
  }
}

std::int64_t microsecondsNow() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The places our marks name, by container: of windows away, and of windows back.
std::map<std::int64_t, WindowPlace> markedPlaces(const std::map<std::int64_t, TreeWindow>& tree) {
  std::map<std::int64_t, WindowPlace> marked;
  for (const auto& [window, found] : tree) {
    if (const auto mark = found.ourMark()) marked[found.container] = *WindowPlace::fromMark(*mark);
  }
  return marked;
}

}  // namespace

std::string WindowPlace::mark() const {
  return std::string(back ? kBackPrefix : kAwayPrefix) + (floating ? "f:" : "t:") +
         (before ? "b:" : "a:") + std::to_string(neighbour) + ":" + std::to_string(sequence) + ":" +
         workspace;
}

std::optional<WindowPlace> WindowPlace::fromMark(std::string_view mark) {
  const bool back = mark.starts_with(kBackPrefix);
  if (!back && !mark.starts_with(kAwayPrefix)) return std::nullopt;
  mark.remove_prefix(back ? kBackPrefix.size() : kAwayPrefix.size());
  if (mark.size() < 5 || (mark[0] != 'f' && mark[0] != 't') || mark[1] != ':' ||
      (mark[2] != 'a' && mark[2] != 'b') || mark[3] != ':') {
    return std::nullopt;
  }
  WindowPlace place;
  place.back = back;
  place.floating = mark[0] == 'f';
  place.before = mark[2] == 'b';
  mark.remove_prefix(4);
  // Reads a number and the colon after it.
  const auto number = [&](auto& value) {
    const auto [end, error] = std::from_chars(mark.data(), mark.data() + mark.size(), value);
    if (error != std::errc() || end == mark.data() + mark.size() || *end != ':') return false;
    mark.remove_prefix(static_cast<std::size_t>(end + 1 - mark.data()));
    return true;
  };
  if (!number(place.neighbour) || !number(place.sequence) || mark.empty()) return std::nullopt;
  place.workspace = std::string(mark);
  return place;
}

WindowPlace TreeWindow::place(const std::set<std::int64_t>& gone) const {
  WindowPlace here;
  here.workspace = workspace;
  here.floating = floating;
  const auto self = std::find(siblings.begin(), siblings.end(), container);
  if (self == siblings.end()) return here;
  const auto stays = [&](std::int64_t sibling) { return sibling != 0 && gone.count(sibling) == 0; };
  // After the nearest one before it, else before the nearest one after it.
  if (const auto earlier = std::find_if(std::make_reverse_iterator(self), siblings.rend(), stays);
      earlier != siblings.rend()) {
    here.neighbour = *earlier;
  } else if (const auto later = std::find_if(self + 1, siblings.end(), stays);
             later != siblings.end()) {
    here.neighbour = *later;
    here.before = true;
  }
  return here;
}

std::optional<std::string> TreeWindow::ourMark() const {
  for (const auto& mark : marks) {
    if (WindowPlace::fromMark(mark)) return mark;
  }
  return std::nullopt;
}

std::map<std::int64_t, TreeWindow> treeWindows(const nlohmann::json& tree, WindowKey key) {
  std::map<std::int64_t, TreeWindow> out;
  if (!tree.is_object()) return out;
  collect(tree, {}, false, key, out);
  std::map<std::int64_t, std::vector<std::int64_t>> order;
  collectOrder(tree, order);
  for (auto& [window, found] : out) {
    const auto siblings = order.find(found.container);
    if (!found.floating && siblings != order.end()) found.siblings = siblings->second;
  }
  return out;
}

WindowPlace returnPlace(std::int64_t container, const WindowPlace& place,
                        std::vector<std::int64_t> order,
                        const std::map<std::int64_t, WindowPlace>& marked) {
  const std::set<std::int64_t> present(order.begin(), order.end());
  std::erase_if(order, [&](std::int64_t c) { return marked.count(c) != 0; });
  std::vector<std::pair<std::int64_t, WindowPlace>> replay(marked.begin(), marked.end());
  replay.emplace_back(container, place);
  std::stable_sort(replay.begin(), replay.end(), [](const auto& a, const auto& b) {
    return a.second.sequence > b.second.sequence;
  });
  // Each neighbour was there when the window next to it went: it is still there, or went
  // later and is in the order again already.
  for (const auto& [gone, from] : replay) {
    if (std::find(order.begin(), order.end(), gone) != order.end()) continue;
    const auto at = std::find(order.begin(), order.end(), from.neighbour);
    if (at != order.end()) order.insert(from.before ? at : at + 1, gone);
  }
  WindowPlace target = place;
  target.neighbour = 0;
  target.before = false;
  const auto self = std::find(order.begin(), order.end(), container);
  if (self == order.end()) return target;
  const auto isPresent = [&](std::int64_t c) { return present.count(c) != 0; };
  if (const auto earlier = std::find_if(std::make_reverse_iterator(self), order.rend(), isPresent);
      earlier != order.rend()) {
    target.neighbour = *earlier;
  } else if (const auto later = std::find_if(self + 1, order.end(), isPresent);
             later != order.end()) {
    target.neighbour = *later;
    target.before = true;
  }
  return target;
}

std::shared_ptr<Scratchpad> Scratchpad::forDisplay(XConnection& connection) {
  const auto path = I3Ipc::socketPath(connection);
  if (!path) return nullptr;
  auto ipc = I3Ipc::connect(*path);
  if (!ipc) return nullptr;
  return std::make_shared<Scratchpad>(std::move(ipc));
}

std::string Scratchpad::defaultOwnCriteria() {
  return "[class=\"^" + std::string(OwnIdentity::kClassName) + "$\"]";
}

std::string Scratchpad::criteria(std::int64_t window) const {
  return (key_ == WindowKey::container ? "[con_id=" : "[id=") + std::to_string(window) + "] ";
}

std::optional<nlohmann::json> Scratchpad::tree() {
  return ipc_->request(I3Ipc::getTree, {});
}

std::optional<std::map<std::int64_t, TreeWindow>> Scratchpad::read() {
  const auto now = tree();
  if (!now) return std::nullopt;
  return treeWindows(*now, key_);
}

void Scratchpad::run(const std::vector<std::string>& commands) {
  if (commands.empty()) return;
  std::string joined;
  for (const auto& command : commands) joined += (joined.empty() ? "" : "; ") + command;
  // What each command did is read back from the tree, not from this reply.
  (void)ipc_->request(I3Ipc::runCommand, joined);
}

std::optional<Scratchpad::Windows> Scratchpad::stowed() {
  const auto windows = read();
  if (!windows) return std::nullopt;
  Windows out;
  for (const auto& [window, found] : *windows) {
    if (found.workspace == kScratchpadWorkspace) out.insert(window);
  }
  return out;
}

Scratchpad::Windows Scratchpad::stow(const std::vector<std::int64_t>& windows) {
  const auto before = read();
  if (!before) return {};
  std::vector<std::int64_t> asked;
  std::vector<std::string> commands;
  std::set<std::int64_t> gone;  // earlier in this batch: each goes after those before it
  for (const std::int64_t window : windows) {
    const auto it = before->find(window);
    if (it == before->end() || it->second.workspace == kScratchpadWorkspace) continue;
    asked.push_back(window);
    std::string command = criteria(window);
    // A window shown again from the scratchpad floats where it was shown; the place it
    // was first put away from stays the one to return to. Each mark is the window's own:
    // the manager keeps a mark on one container only.
    const auto mark = it->second.ourMark();
    if (!mark || WindowPlace::fromMark(*mark)->back) {
      if (mark) command += "unmark " + argument(*mark) + ", ";
      auto place = it->second.place(gone);
      place.sequence = lastSequence_ = std::max(lastSequence_ + 1, microsecondsNow());
      command += "mark --add " + argument(place.mark()) + ", ";
    }
    commands.push_back(command + "move scratchpad");
    gone.insert(it->second.container);
  }
  run(commands);
  const auto after = read();
  Windows done;
  if (!after) return done;
  for (const std::int64_t window : asked) {
    const auto it = after->find(window);
    if (it != after->end() && it->second.workspace == kScratchpadWorkspace) done.insert(window);
  }
  return done;
}

Scratchpad::Back Scratchpad::bringBack(const std::vector<std::int64_t>& windows) {
  Back result;
  // One window at a time, each placed among the tree as the one before left it.
  for (const std::int64_t window : windows) {
    const auto now = tree();
    if (!now) break;
    const auto found = treeWindows(*now, key_);
    const auto it = found.find(window);
    if (it == found.end()) {
      result.gone.insert(window);
      continue;
    }
    const auto mark = it->second.ourMark();
    const auto place = mark ? WindowPlace::fromMark(*mark) : std::nullopt;
    // A window of ours the person took out of the scratchpad floats where it was shown;
    // it goes back to its place too.
    if (!place || place->back) {
      // Not put away by us: back unless it is in the person's own scratchpad.
      if (it->second.workspace != kScratchpadWorkspace) result.back.insert(window);
      continue;
    }
    const std::string self = criteria(window);
    // While a window in full screen has the focus, the manager moves nothing; one of ours
    // (the shield, on its way out) gives it up first.
    std::vector<std::string> commands = {
        own_ + " fullscreen disable",
        self + "move container to workspace " + argument(place->workspace)};
    if (!place->floating) {
      commands.push_back(self + "floating disable");
      // Next to the neighbour, or, while that is put away too, where it will go back.
      const auto marked = markedPlaces(found);
      std::map<std::int64_t, std::vector<std::int64_t>> order;
      collectOrder(*now, order);
      auto anchor = place->neighbour;
      for (std::set<std::int64_t> seen; seen.insert(anchor).second;) {
        const auto next = marked.find(anchor);
        if (next == marked.end() || next->second.back) break;
        anchor = next->second.neighbour;
      }
      const auto target = order.count(anchor) != 0
                              ? returnPlace(it->second.container, *place, order.at(anchor), marked)
                              : WindowPlace{};
      // When the neighbour has gone these match nothing, and the window stays where the
      // manager tiled it.
      if (target.neighbour != 0) {
        const std::string neighbour = byContainer(target.neighbour);
        commands.push_back(neighbour + "mark --add " + argument(kNeighbourMark));
        commands.push_back(self + "move container to mark " + argument(kNeighbourMark));
        commands.push_back(neighbour + "unmark " + argument(kNeighbourMark));
        if (target.before) {
          commands.push_back(self + "swap container with con_id " +
                             std::to_string(target.neighbour));
        }
      }
    }
    // The mark stays, as where the window came back from: windows put away before it and
    // still away are placed among those back by it.
    auto back = *place;
    back.back = true;
    commands.push_back(self + "unmark " + argument(*mark) + ", mark --add " +
                       argument(back.mark()));
    run(commands);
  }
  const auto after = read();
  if (!after) return result;
  // Once nothing of ours is away, where windows came back from says nothing more.
  const auto marked = markedPlaces(*after);
  if (std::none_of(marked.begin(), marked.end(), [](const auto& m) { return !m.second.back; })) {
    std::vector<std::string> commands;
    for (const auto& [window, found] : *after) {
      if (const auto mark = found.ourMark())
        commands.push_back(criteria(window) + "unmark " + argument(*mark));
    }
    run(commands);
  }
  for (const std::int64_t window : windows) {
    if (result.back.count(window) != 0 || result.gone.count(window) != 0) continue;
    const auto it = after->find(window);
    // Out of the scratchpad is back; the place it took is the manager's best.
    if (it == after->end()) {
      result.gone.insert(window);
    } else if (it->second.workspace != kScratchpadWorkspace) {
      result.back.insert(window);
    }
  }
  return result;
}

}  // namespace tervane::x11
