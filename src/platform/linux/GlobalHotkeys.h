// The application's global shortcuts on the X server: each named shortcut that has a
// handler is grabbed on the root window, so that it reaches this application whichever
// window has the focus, and its handlers run when it is pressed or released.
//
// A grab covers the shortcut's key (every keycode the keyboard map gives its keysym) with
// its modifiers, four times over: as is, with NumLock's modifier, with Lock (CapsLock),
// and with both, so that neither lock keeps the shortcut from working. NumLock's modifier
// is read from the server's modifier map; a change of the keyboard or modifier map
// (MappingNotify, or XKB's notices when XKB is in use) re-reads both and grabs again.
// A shortcut that several names share is grabbed once; when a name's stored shortcut
// changes, the old one is let go once no name with handlers uses it.
//
// A combination that another client already holds cannot be grabbed; that is logged
// once (category "hotkeys") and the shortcut stays unregistered, with no grab of ours
// left behind, while the others keep working.
//
// Holding a key down must not fire again and again: the connection asks XKB for
// detectable auto-repeat (one release for a held key, and repeated presses of a key
// already down are ignored). This changes the shared connection's key events for every
// other user too, which nothing else in this layer reads. Without XKB, that is logged and
// a held shortcut fires once per repeat.
//
// Use: create one after the connection and the `KeyboardShortcuts`, on the main thread
// (the thread that calls the connection's `dispatch()`), and keep it for as long as the
// shortcuts should work; it must not outlive either. Handlers run on the main thread from
// within `dispatch()`. Destroying it releases every grab.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/Log.h"
#include "linux/XConnection.h"
#include "look/Shortcut.h"

namespace tervane::x11 {

class GlobalHotkeys {
 public:
  using Action = std::function<void()>;

  GlobalHotkeys(std::shared_ptr<XConnection> connection, KeyboardShortcuts& shortcuts);
  ~GlobalHotkeys();
  GlobalHotkeys(const GlobalHotkeys&) = delete;
  GlobalHotkeys& operator=(const GlobalHotkeys&) = delete;

  // Adds a handler for each release (or press) of `name`'s current shortcut. The first
  // handler of a name registers its shortcut when it is not registered yet.
  void onKeyUp(const ShortcutName& name, Action action);
  void onKeyDown(const ShortcutName& name, Action action);

  // A key pressed or released: one our grabs on the root caught, or one that reached one of
  // the application's own windows instead, as keys do while a popup of ours holds the
  // keyboard. Whether it was (part of) a shortcut.
  bool takeKey(bool press, xcb_keycode_t keycode, std::uint16_t state);

  // Whether `shortcut` is grabbed on the server now.
  bool isRegistered(const Shortcut& shortcut) const;
  // Whether the server gives one release for a held key.
  bool detectsAutoRepeat() const { return detectableAutoRepeat_; }

 private:
  struct Entry {
    ShortcutName name;
    std::optional<Shortcut> current;
    std::vector<Action> down;
    std::vector<Action> up;
  };
  struct Grab {
    std::vector<xcb_keycode_t> keycodes;
    std::uint16_t modifiers = 0;
    std::uint16_t numLockMask = 0;
  };

  Entry& entryFor(const ShortcutName& name);
  void shortcutChanged(const ShortcutName& name);
  void acquire(const Shortcut& shortcut);
  void release(const Shortcut& shortcut);
  bool usedByAName(const Shortcut& shortcut) const;
  // Grabs every variant; on any failure lets go of the ones that succeeded and gives the
  // reason for the log.
  std::optional<std::string> grab(const Shortcut& shortcut);
  void ungrab(const Grab& grab);
  void readKeyboardMaps();
  void mappingChanged();
  // Asks for detectable auto-repeat and for XKB's notice of keyboard map changes.
  void useXkb();
  void handle(const XEvent& event);
  void fire(const Shortcut& shortcut, bool press);

  std::shared_ptr<XConnection> connection_;
  KeyboardShortcuts& shortcuts_;
  Log log_{"hotkeys"};
  xcb_key_symbols_t* keySymbols_ = nullptr;
  std::uint16_t numLockMask_ = 0;
  bool detectableAutoRepeat_ = false;
  // The first event number of XKB, once its map notices are selected.
  std::optional<std::uint8_t> xkbEventBase_;

  std::vector<Entry> entries_;
  std::unordered_map<Shortcut, Grab> registered_;
  // Shortcuts whose last registration failed and was logged; not logged again until one
  // succeeds or no name uses the shortcut any more.
  std::unordered_set<Shortcut> failed_;
  // Keys whose press matched a grab, with the shortcut it matched: the release is
  // matched by keycode alone, since modifiers may already be up by then.
  std::unordered_map<xcb_keycode_t, Shortcut> down_;

  XConnection::EventSignal::Connection events_;
  Signal<ShortcutName>::Connection changes_;
};

// The pieces of the grab logic that need no server.
namespace hotkeys {

// The modifier masks a grab of `modifiers` is made with: as is, with NumLock's mask, with
// Lock, and with both; duplicates dropped (no NumLock modifier, or one the shortcut uses).
std::vector<std::uint16_t> grabVariants(std::uint16_t modifiers, std::uint16_t numLockMask);

// The modifiers of an event's state that decide which shortcut it is: the eight modifier
// bits without Lock and NumLock (buttons and the XKB group are dropped too).
std::uint16_t significantModifiers(std::uint16_t state, std::uint16_t numLockMask);

// The mask of the modifiers any of `keycodes` is bound to, in a modifier map as the
// server gives it (eight rows of `keycodesPerModifier`, zero for an empty slot).
std::uint16_t modifierMaskOf(const std::vector<xcb_keycode_t>& modifierMap, int keycodesPerModifier,
                             const std::vector<xcb_keycode_t>& keycodes);

// The name of a core X error code ("BadAccess"), or "X error " and the number.
std::string xErrorName(std::uint8_t code);

}  // namespace hotkeys

}  // namespace tervane::x11
