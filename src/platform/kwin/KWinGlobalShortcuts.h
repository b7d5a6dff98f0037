// The application's global shortcuts on a Plasma Wayland desktop, through KDE's global
// shortcut service (KGlobalAccel, which KWin hosts) on the session bus that `KWinBus`
// holds: no client may grab keys on Wayland, so each named shortcut that has a handler is
// registered there as an action of the component "tervane-now", and the service's
// "pressed" signal for that action runs its handlers.
//
// The application's own setting decides the combination, as on X11 (the service is told
// not to load one saved in the desktop's settings). A combination that another program
// already holds is not given to us: that is logged once (category "hotkeys"), as on X11,
// and the shortcut stays unregistered while the others work. A changed setting registers
// the new combination; a cleared one gives the action no keys. When this goes, the
// actions are marked inactive, so the desktop's settings show them as not running.
//
// The service's signal carries no release, so handlers run when the combination is
// pressed, posted to the main queue: never inside a wait of the bus for a script's answer.
// Main thread only, like the bus.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <systemd/sd-bus.h>

#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "kwin/KWinBus.h"
#include "look/Shortcut.h"

namespace tervane::kwin {

// A combination in the key code that KGlobalAccel stores (Qt's key with its modifier
// bits); none for a key or modifier it cannot hold.
std::optional<int> kdeKeyCode(const Shortcut& shortcut);

class KWinGlobalShortcuts {
 public:
  static constexpr const char* kComponent = "tervane-now";

  KWinGlobalShortcuts(std::shared_ptr<KWinBus> bus, std::shared_ptr<MainQueue> main,
                      KeyboardShortcuts& shortcuts);
  ~KWinGlobalShortcuts();
  KWinGlobalShortcuts(const KWinGlobalShortcuts&) = delete;
  KWinGlobalShortcuts& operator=(const KWinGlobalShortcuts&) = delete;

  // Adds a handler for `name`; its first handler registers the name's shortcut.
  void onKeyUp(const ShortcutName& name, std::function<void()> action);
  // Whether the service holds `name`'s current combination for us.
  bool isRegistered(const ShortcutName& name) const;

 private:
  struct Entry {
    ShortcutName name;
    std::vector<std::function<void()>> actions;
    bool registered = false;
    std::optional<Shortcut> failed;  // the combination last logged as taken
  };
  void registerShortcut(Entry& entry);
  // Calls `method` of the service with the entry's action id and the `append`ed rest.
  sd_bus_message* call(const char* method, const Entry& entry,
                       const std::function<int(sd_bus_message*)>& append = {});
  static int pressed(sd_bus_message* message, void* self, sd_bus_error* error);

  std::shared_ptr<KWinBus> bus_;
  std::shared_ptr<MainQueue> main_;
  KeyboardShortcuts& shortcuts_;
  std::map<std::string, Entry> entries_;
  sd_bus_slot* signalSlot_ = nullptr;
  Signal<ShortcutName>::Connection changed_;
  Log log_{"hotkeys"};
};

}  // namespace tervane::kwin
