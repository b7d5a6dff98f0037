// The application's global shortcuts on GNOME Shell, held by the Tervane Now extension
// (Mutter's accelerator grabs): each named shortcut that has a handler is grabbed there in
// GTK's notation ("<Control><Alt><Super>n"), and the extension's Accelerator signal runs
// its handlers, posted to the main queue. The application's own setting decides the
// combination, as on X11; one that the Shell does not give (another program's, or a key
// it cannot name) is logged once (category "hotkeys") and stays unregistered while the
// others work. A changed setting grabs again. The Shell reports the press only, so
// handlers run when the combination is pressed. Main thread only, like the connection.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Log.h"
#include "base/MainQueue.h"
#include "base/Signal.h"
#include "gnome/GnomeShell.h"
#include "look/Shortcut.h"

namespace tervane::gnome {

// The combination in GTK's notation; none for a key this table cannot name.
std::optional<std::string> gtkAccelerator(const Shortcut& shortcut);

class GnomeGlobalShortcuts {
 public:
  GnomeGlobalShortcuts(std::shared_ptr<GnomeShell> shell, std::shared_ptr<MainQueue> main,
                       KeyboardShortcuts& shortcuts);

  // Adds a handler for `name`; its first handler grabs the name's shortcut.
  void onKeyUp(const ShortcutName& name, std::function<void()> action);
  // Whether the Shell holds `name`'s current combination for us.
  bool isRegistered(const ShortcutName& name) const;

 private:
  struct Entry {
    ShortcutName name;
    std::vector<std::function<void()>> actions;
    std::optional<std::string> accelerator;  // held for us
    std::optional<Shortcut> failed;          // the combination last logged as not given
  };
  // Grabs every entry's combination anew (the extension holds one set at a time).
  void grabAll();
  void pressed(const std::string& accelerator);

  std::shared_ptr<GnomeShell> shell_;
  std::shared_ptr<MainQueue> main_;
  KeyboardShortcuts& shortcuts_;
  std::map<std::string, Entry> entries_;
  GnomeShell::Signals::Connection signal_;
  Signal<ShortcutName>::Connection changed_;
  Log log_{"hotkeys"};
};

}  // namespace tervane::gnome
