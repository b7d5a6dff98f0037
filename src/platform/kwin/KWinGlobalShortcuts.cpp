#include "kwin/KWinGlobalShortcuts.h"

#include <cstdint>
#include <string_view>
#include <utility>

namespace tervane::kwin {
namespace {

constexpr const char* kService = "org.kde.kglobalaccel";
constexpr const char* kPath = "/kglobalaccel";
constexpr const char* kInterface = "org.kde.KGlobalAccel";
constexpr const char* kComponentInterface = "org.kde.kglobalaccel.Component";
// setShortcut's flags: the action is present (its program runs), and the keys are ours,
// not ones loaded from the desktop's settings.
constexpr std::uint32_t kSetPresent = 2;
constexpr std::uint32_t kNoAutoloading = 4;

// Qt's modifier bits and the keys beyond Latin-1 that a shortcut may use.
constexpr int kShift = 0x02000000, kControl = 0x04000000, kAlt = 0x08000000, kMeta = 0x10000000;
constexpr std::pair<std::uint32_t, int> kSpecialKeys[] = {
    {0xff1b, 0x01000000},  // Escape
    {0xff09, 0x01000001},  // Tab
    {0xff08, 0x01000003},  // BackSpace
    {0xff0d, 0x01000004},  // Return
    {0xffff, 0x01000007},  // Delete
    {0xff50, 0x01000010},  // Home
    {0xff57, 0x01000011},  // End
    {0xff51, 0x01000012},  // Left
    {0xff52, 0x01000013},  // Up
    {0xff53, 0x01000014},  // Right
    {0xff54, 0x01000015},  // Down
    {0xff55, 0x01000016},  // Page Up
    {0xff56, 0x01000017},  // Page Down
};
constexpr std::uint32_t kF1Keysym = 0xffbe, kF12Keysym = 0xffc9;
constexpr int kQtF1 = 0x01000030;

}  // namespace

std::optional<int> kdeKeyCode(const Shortcut& shortcut) {
  const auto keysym = xKeysym(shortcut.carbonKeyCode);
  const auto x = xModifiers(shortcut.carbonModifiers);
  if (!keysym || !x) return std::nullopt;
  int key = 0;
  if (*keysym >= 0x20 && *keysym <= 0x7e) {
    // Qt names a printable key by its capital.
    key = *keysym >= 'a' && *keysym <= 'z' ? static_cast<int>(*keysym) - 'a' + 'A'
                                           : static_cast<int>(*keysym);
  } else if (*keysym >= kF1Keysym && *keysym <= kF12Keysym) {
    key = kQtF1 + static_cast<int>(*keysym - kF1Keysym);
  } else {
    for (const auto& [sym, qt] : kSpecialKeys) {
      if (sym == *keysym) key = qt;
    }
    if (key == 0) return std::nullopt;
  }
  // X's masks: Shift 1, Control 4, Mod1 (Alt) 8, Mod4 (Super, Qt's Meta) 64.
  if (*x & 1) key |= kShift;
  if (*x & 4) key |= kControl;
  if (*x & 8) key |= kAlt;
  if (*x & 64) key |= kMeta;
  return key;
}

KWinGlobalShortcuts::KWinGlobalShortcuts(std::shared_ptr<KWinBus> bus,
                                         std::shared_ptr<MainQueue> main,
                                         KeyboardShortcuts& shortcuts)
    : bus_(std::move(bus)), main_(std::move(main)), shortcuts_(shortcuts) {
  if (sd_bus_match_signal(bus_->raw(), &signalSlot_, nullptr, nullptr, kComponentInterface,
                          "globalShortcutPressed", &KWinGlobalShortcuts::pressed, this) < 0) {
    log_.error("Cannot listen to the desktop's global shortcuts");
  }
  changed_ = shortcuts_.changed().connect([this](const ShortcutName& name) {
    auto it = entries_.find(name.rawValue);
    if (it != entries_.end()) registerShortcut(it->second);
  });
}

KWinGlobalShortcuts::~KWinGlobalShortcuts() {
  for (auto& [raw, entry] : entries_) {
    if (entry.registered) sd_bus_message_unref(call("setInactive", entry));
  }
  sd_bus_slot_unref(signalSlot_);
}

void KWinGlobalShortcuts::onKeyUp(const ShortcutName& name, std::function<void()> action) {
  auto [it, added] = entries_.try_emplace(name.rawValue, Entry{name, {}, false, std::nullopt});
  it->second.actions.push_back(std::move(action));
  if (added) registerShortcut(it->second);
}

bool KWinGlobalShortcuts::isRegistered(const ShortcutName& name) const {
  auto it = entries_.find(name.rawValue);
  return it != entries_.end() && it->second.registered;
}

sd_bus_message* KWinGlobalShortcuts::call(const char* method, const Entry& entry,
                                          const std::function<int(sd_bus_message*)>& append) {
  // The action's id: component and action, each by its name and by what people read.
  const std::string verb = AppShortcuts::verb(entry.name);
  const char* id[] = {kComponent, entry.name.rawValue.c_str(), "Tervane Now", verb.c_str(),
                      nullptr};
  sd_bus_message* request = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  int r =
      sd_bus_message_new_method_call(bus_->raw(), &request, kService, kPath, kInterface, method);
  if (r >= 0) r = sd_bus_message_append_strv(request, const_cast<char**>(id));
  if (r >= 0 && append) r = append(request);
  if (r >= 0) r = sd_bus_call(bus_->raw(), request, 0, &error, &reply);
  sd_bus_error_free(&error);
  sd_bus_message_unref(request);
  return r >= 0 ? reply : sd_bus_message_unref(reply);
}

void KWinGlobalShortcuts::registerShortcut(Entry& entry) {
  const auto shortcut = shortcuts_.getShortcut(entry.name);
  const auto code = shortcut ? kdeKeyCode(*shortcut) : std::nullopt;
  std::vector<std::int32_t> keys;
  if (code) keys.push_back(*code);
  sd_bus_message_unref(call("doRegister", entry));
  sd_bus_message* reply = call("setShortcut", entry, [&](sd_bus_message* request) {
    int r = sd_bus_message_append_array(request, 'i', keys.data(), keys.size() * sizeof(keys[0]));
    return r < 0 ? r : sd_bus_message_append(request, "u", kSetPresent | kNoAutoloading);
  });
  const void* given = nullptr;
  std::size_t size = 0;
  const bool answered = reply && sd_bus_message_read_array(reply, 'i', &given, &size) >= 0;
  entry.registered = answered && !keys.empty() && size == sizeof(keys[0]) &&
                     *static_cast<const std::int32_t*>(given) == keys[0];
  sd_bus_message_unref(reply);
  if (entry.registered || !shortcut) {
    entry.failed.reset();
  } else if (entry.failed != shortcut) {
    entry.failed = shortcut;
    log_.error("Error registering hotkey " + shortcut->description() + ": " +
               (!code       ? std::string("the desktop cannot hold this combination")
                : !answered ? std::string("the desktop's shortcut service did not answer")
                            : std::string("another program holds it")));
  }
}

int KWinGlobalShortcuts::pressed(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
  auto* shortcuts = static_cast<KWinGlobalShortcuts*>(self);
  const char* component = nullptr;
  const char* action = nullptr;
  std::int64_t timestamp = 0;
  if (sd_bus_message_read(message, "ssx", &component, &action, &timestamp) < 0) return 0;
  if (std::string_view(component) != kComponent) return 0;
  auto it = shortcuts->entries_.find(action);
  if (it == shortcuts->entries_.end() || !it->second.registered) return 0;
  for (const auto& run : it->second.actions) shortcuts->main_->post(run);
  return 0;
}

}  // namespace tervane::kwin
