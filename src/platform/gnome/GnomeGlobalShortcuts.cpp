#include "gnome/GnomeGlobalShortcuts.h"

#include <utility>

namespace tervane::gnome {
namespace {

// The keysyms beyond printable ASCII that a shortcut may use, by their X names.
constexpr std::pair<std::uint32_t, const char*> kNamedKeys[] = {
    {0xff1b, "Escape"},    {0xff09, "Tab"},   {0xff08, "BackSpace"}, {0xff0d, "Return"},
    {0xffff, "Delete"},    {0xff50, "Home"},  {0xff57, "End"},       {0xff51, "Left"},
    {0xff52, "Up"},        {0xff53, "Right"}, {0xff54, "Down"},      {0xff55, "Page_Up"},
    {0xff56, "Page_Down"}, {0x20, "space"}};
constexpr std::uint32_t kF1Keysym = 0xffbe, kF12Keysym = 0xffc9;

}  // namespace

std::optional<std::string> gtkAccelerator(const Shortcut& shortcut) {
  const auto keysym = xKeysym(shortcut.carbonKeyCode);
  const auto x = xModifiers(shortcut.carbonModifiers);
  if (!keysym || !x) return std::nullopt;
  std::string key;
  if ((*keysym >= 'a' && *keysym <= 'z') || (*keysym >= '0' && *keysym <= '9')) {
    key = std::string(1, static_cast<char>(*keysym));
  } else if (*keysym >= kF1Keysym && *keysym <= kF12Keysym) {
    key = "F" + std::to_string(*keysym - kF1Keysym + 1);
  } else {
    for (const auto& [sym, name] : kNamedKeys) {
      if (sym == *keysym) key = name;
    }
    if (key.empty()) return std::nullopt;
  }
  // X's masks: Shift 1, Control 4, Mod1 (Alt) 8, Mod4 (Super) 64.
  std::string out;
  if (*x & 1) out += "<Shift>";
  if (*x & 4) out += "<Control>";
  if (*x & 8) out += "<Alt>";
  if (*x & 64) out += "<Super>";
  return out + key;
}

GnomeGlobalShortcuts::GnomeGlobalShortcuts(std::shared_ptr<GnomeShell> shell,
                                           std::shared_ptr<MainQueue> main,
                                           KeyboardShortcuts& shortcuts)
    : shell_(std::move(shell)), main_(std::move(main)), shortcuts_(shortcuts) {
  signal_ = shell_->onSignal([this](const std::string& name, const std::string& argument) {
    if (name == "Accelerator") pressed(argument);
  });
  changed_ = shortcuts_.changed().connect([this](const ShortcutName& name) {
    if (entries_.count(name.rawValue) != 0) grabAll();
  });
}

void GnomeGlobalShortcuts::onKeyUp(const ShortcutName& name, std::function<void()> action) {
  auto [it, added] = entries_.try_emplace(name.rawValue, Entry{name, {}, {}, {}});
  it->second.actions.push_back(std::move(action));
  if (added) grabAll();
}

bool GnomeGlobalShortcuts::isRegistered(const ShortcutName& name) const {
  auto it = entries_.find(name.rawValue);
  return it != entries_.end() && it->second.accelerator.has_value();
}

void GnomeGlobalShortcuts::grabAll() {
  std::vector<std::string> wanted;
  std::map<std::string, std::optional<std::string>> accelerators;
  for (auto& [raw, entry] : entries_) {
    const auto shortcut = shortcuts_.getShortcut(entry.name);
    accelerators[raw] = shortcut ? gtkAccelerator(*shortcut) : std::nullopt;
    if (accelerators[raw]) wanted.push_back(*accelerators[raw]);
  }
  const auto grabbed = shell_->grabAccelerators(wanted);
  for (auto& [raw, entry] : entries_) {
    const auto& accelerator = accelerators[raw];
    const bool given = grabbed && accelerator && grabbed.value().value(*accelerator, false) == true;
    entry.accelerator = given ? accelerator : std::nullopt;
    const auto shortcut = shortcuts_.getShortcut(entry.name);
    if (given || !shortcut) {
      entry.failed.reset();
    } else if (entry.failed != shortcut) {
      entry.failed = shortcut;
      log_.error("Error registering hotkey " + shortcut->description() + ": " +
                 (!accelerator ? std::string("the desktop cannot hold this combination")
                  : !grabbed   ? std::string("GNOME Shell did not answer")
                               : std::string("another program holds it")));
    }
  }
}

void GnomeGlobalShortcuts::pressed(const std::string& accelerator) {
  for (const auto& [raw, entry] : entries_) {
    if (entry.accelerator != accelerator) continue;
    for (const auto& run : entry.actions) main_->post(run);
  }
}

}  // namespace tervane::gnome
