// Global keyboard shortcuts as values and as stored settings. A shortcut is a virtual key
// code and a modifier mask in the classic hot-key encoding; each named shortcut is kept
// in the standard defaults as JSON text, or as false when the person cleared one that has
// a default. Registering with the window system is the platform's part: it listens to the
// change signal and uses `xKeysym` / `xModifiers` to reach the X server's terms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Defaults.h"
#include "base/Signal.h"

namespace tervane {

// The modifier mask stored in a shortcut.
namespace CarbonModifier {
inline constexpr int command = 0x100;
inline constexpr int shift = 0x200;
inline constexpr int option = 0x800;
inline constexpr int control = 0x1000;
inline constexpr int function = 0x20000;
}  // namespace CarbonModifier

// The platform's event modifier flags that a recorded shortcut arrives with.
namespace ModifierFlag {
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
inline constexpr std::uint64_t function = 0x800000;
}  // namespace ModifierFlag

// Hardware-independent virtual key codes (the US layout's positions) that a shortcut uses.
namespace KeyCode {
inline constexpr int a = 0, s = 1, d = 2, f = 3, h = 4, g = 5, z = 6, x = 7, c = 8, v = 9;
inline constexpr int b = 11, q = 12, w = 13, e = 14, r = 15, y = 16, t = 17;
inline constexpr int o = 31, u = 32, i = 34, p = 35, l = 37, j = 38, k = 40, n = 45, m = 46;
inline constexpr int returnKey = 36, tab = 48, space = 49, deleteKey = 51, escape = 53;
inline constexpr int forwardDelete = 117, home = 115, end = 119, pageUp = 116, pageDown = 121;
inline constexpr int leftArrow = 123, rightArrow = 124, downArrow = 125, upArrow = 126;
inline constexpr int f1 = 122, f2 = 120, f3 = 99, f4 = 118, f5 = 96, f6 = 97, f7 = 98, f8 = 100;
inline constexpr int f9 = 101, f10 = 109, f11 = 103, f12 = 111;
}  // namespace KeyCode

struct Shortcut {
  int carbonKeyCode = 0;
  int carbonModifiers = 0;

  // From a key code and the platform's modifier flags; other flag bits are ignored.
  static Shortcut fromEvent(int keyCode, std::uint64_t modifierFlags);

  // ⌃⌥⇧⌘, then the globe for the function key, then the key: "⌃⌥⌘N", "⌘↩".
  std::string description() const;

  friend bool operator==(const Shortcut&, const Shortcut&) = default;
};

int carbonModifiers(std::uint64_t modifierFlags);

// What a key shows in a description: the character of the US layout capitalised, or the
// key's own symbol; "" for a code this table does not know.
std::string keyLabel(int keyCode);

// The X keysym of a key code (values of X11/keysymdef.h), or none for an unknown code.
std::optional<std::uint32_t> xKeysym(int keyCode);

// The X modifier mask (Shift 1, Control 4, Mod1 for option 8, Mod4 for command 64) of a
// stored mask; none when it holds the function key, which X does not treat as a modifier.
std::optional<std::uint16_t> xModifiers(int carbonModifiers);

nlohmann::json toJson(const Shortcut& shortcut);
std::optional<Shortcut> decodeShortcut(const nlohmann::json& json);

// A named shortcut and its default, if it has one.
struct ShortcutName {
  std::string rawValue;
  std::optional<Shortcut> defaultShortcut;

  friend bool operator==(const ShortcutName&, const ShortcutName&) = default;
};

// The named shortcuts over the standard defaults. Main thread only.
class KeyboardShortcuts {
 public:
  explicit KeyboardShortcuts(Defaults& standard) : defaults_(standard) {}
  KeyboardShortcuts(const KeyboardShortcuts&) = delete;
  KeyboardShortcuts& operator=(const KeyboardShortcuts&) = delete;

  static std::string key(const ShortcutName& name) { return "KeyboardShortcuts_" + name.rawValue; }

  // Makes a name known: its default is stored at once when nothing is stored for it yet,
  // so a shortcut the person cleared stays cleared.
  void declare(const ShortcutName& name);

  // None when nothing is stored, when the entry is false, or when it does not decode.
  std::optional<Shortcut> getShortcut(const ShortcutName& name) const;

  // None stores false for a name with a default and removes the entry otherwise. Every
  // call signals, so the registration can follow.
  void setShortcut(const std::optional<Shortcut>& shortcut, const ShortcutName& name);

  Signal<ShortcutName>& changed() { return changed_; }

 private:
  Defaults& defaults_;
  Signal<ShortcutName> changed_;
};

// The application's four shortcuts, all Control-Option-Command by default.
namespace AppShortcuts {
inline constexpr int kDefaultModifiers =
    CarbonModifier::control | CarbonModifier::option | CarbonModifier::command;

// Opens the capture panel (N).
ShortcutName capture();
// Starts a stage (S).
ShortcutName start();
// Pauses the stage, or resumes a paused one (P).
ShortcutName stepOut();
// Finishes (D).
ShortcutName done();

std::vector<ShortcutName> all();
void declareAll(KeyboardShortcuts& shortcuts);
// What the shortcut does, as the welcome and the desktop's shortcut settings list it:
// "Write down the one thing", "Start", "Take a minute, and come back", "Finished".
std::string verb(const ShortcutName& name);
}  // namespace AppShortcuts

}  // namespace tervane

template <>
struct std::hash<tervane::Shortcut> {
  std::size_t operator()(const tervane::Shortcut& s) const noexcept {
    return std::hash<long long>{}((static_cast<long long>(s.carbonKeyCode) << 32) ^
                                  static_cast<unsigned>(s.carbonModifiers));
  }
};

template <>
struct std::hash<tervane::ShortcutName> {
  std::size_t operator()(const tervane::ShortcutName& name) const noexcept {
    return std::hash<std::string>{}(name.rawValue);
  }
};
