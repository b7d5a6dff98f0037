#include "look/Shortcut.h"

#include <array>
#include <string_view>

#include "base/Json.h"

namespace tervane {
namespace {

struct KeyInfo {
  int code;
  std::string_view label;
  std::uint32_t keysym;
};

// Printable keys show their character capitalised and map to the keysym of the
// unshifted character (the Latin-1 keysyms equal their character codes).
constexpr std::uint32_t latin(char c) {
  return static_cast<unsigned char>(c);
}

constexpr std::uint32_t kXkBackSpace = 0xff08, kXkTab = 0xff09, kXkClear = 0xff0b,
                        kXkReturn = 0xff0d, kXkEscape = 0xff1b, kXkHome = 0xff50, kXkLeft = 0xff51,
                        kXkUp = 0xff52, kXkRight = 0xff53, kXkDown = 0xff54, kXkPageUp = 0xff55,
                        kXkPageDown = 0xff56, kXkEnd = 0xff57, kXkHelp = 0xff6a,
                        kXkKpEnter = 0xff8d, kXkKpMultiply = 0xffaa, kXkKpAdd = 0xffab,
                        kXkKpSubtract = 0xffad, kXkKpDecimal = 0xffae, kXkKpDivide = 0xffaf,
                        kXkKp0 = 0xffb0, kXkKpEqual = 0xffbd, kXkF1 = 0xffbe, kXkDelete = 0xffff;

// clang-format off
constexpr KeyInfo kKeys[] = {
    {0, "A", latin('a')}, {1, "S", latin('s')}, {2, "D", latin('d')}, {3, "F", latin('f')},
    {4, "H", latin('h')}, {5, "G", latin('g')}, {6, "Z", latin('z')}, {7, "X", latin('x')},
    {8, "C", latin('c')}, {9, "V", latin('v')}, {11, "B", latin('b')}, {12, "Q", latin('q')},
    {13, "W", latin('w')}, {14, "E", latin('e')}, {15, "R", latin('r')}, {16, "Y", latin('y')},
    {17, "T", latin('t')}, {18, "1", latin('1')}, {19, "2", latin('2')}, {20, "3", latin('3')},
    {21, "4", latin('4')}, {22, "6", latin('6')}, {23, "5", latin('5')}, {24, "=", latin('=')},
    {25, "9", latin('9')}, {26, "7", latin('7')}, {27, "-", latin('-')}, {28, "8", latin('8')},
    {29, "0", latin('0')}, {30, "]", latin(']')}, {31, "O", latin('o')}, {32, "U", latin('u')},
    {33, "[", latin('[')}, {34, "I", latin('i')}, {35, "P", latin('p')}, {37, "L", latin('l')},
    {38, "J", latin('j')}, {39, "'", latin('\'')}, {40, "K", latin('k')}, {41, ";", latin(';')},
    {42, "\\", latin('\\')}, {43, ",", latin(',')}, {44, "/", latin('/')}, {45, "N", latin('n')},
    {46, "M", latin('m')}, {47, ".", latin('.')}, {50, "`", latin('`')},
    // Keys with a symbol of their own.
    {36, "↩", kXkReturn}, {48, "⇥", kXkTab}, {49, "Space", latin(' ')}, {51, "⌫", kXkBackSpace},
    {53, "⎋", kXkEscape}, {117, "⌦", kXkDelete}, {115, "↖", kXkHome}, {119, "↘", kXkEnd},
    {116, "⇞", kXkPageUp}, {121, "⇟", kXkPageDown}, {123, "←", kXkLeft}, {124, "→", kXkRight},
    {125, "↓", kXkDown}, {126, "↑", kXkUp}, {114, "Help", kXkHelp}, {71, "⌧", kXkClear},
    {76, "⌅", kXkKpEnter},
    // Keypad.
    {65, ".", kXkKpDecimal}, {67, "*", kXkKpMultiply}, {69, "+", kXkKpAdd}, {75, "/", kXkKpDivide},
    {78, "-", kXkKpSubtract}, {81, "=", kXkKpEqual}, {82, "0", kXkKp0 + 0}, {83, "1", kXkKp0 + 1},
    {84, "2", kXkKp0 + 2}, {85, "3", kXkKp0 + 3}, {86, "4", kXkKp0 + 4}, {87, "5", kXkKp0 + 5},
    {88, "6", kXkKp0 + 6}, {89, "7", kXkKp0 + 7}, {91, "8", kXkKp0 + 8}, {92, "9", kXkKp0 + 9},
    // Function keys.
    {122, "F1", kXkF1 + 0}, {120, "F2", kXkF1 + 1}, {99, "F3", kXkF1 + 2},
    {118, "F4", kXkF1 + 3}, {96, "F5", kXkF1 + 4}, {97, "F6", kXkF1 + 5},
    {98, "F7", kXkF1 + 6}, {100, "F8", kXkF1 + 7}, {101, "F9", kXkF1 + 8},
    {109, "F10", kXkF1 + 9}, {103, "F11", kXkF1 + 10}, {111, "F12", kXkF1 + 11},
    {105, "F13", kXkF1 + 12}, {107, "F14", kXkF1 + 13}, {113, "F15", kXkF1 + 14},
    {106, "F16", kXkF1 + 15}, {64, "F17", kXkF1 + 16}, {79, "F18", kXkF1 + 17},
    {80, "F19", kXkF1 + 18}, {90, "F20", kXkF1 + 19},
};
// clang-format on

const KeyInfo* findKey(int code) {
  for (const auto& key : kKeys) {
    if (key.code == code) return &key;
  }
  return nullptr;
}

ShortcutName named(const char* raw, int keyCode) {
  return ShortcutName{raw, Shortcut{keyCode, AppShortcuts::kDefaultModifiers}};
}

}  // namespace

int carbonModifiers(std::uint64_t flags) {
  int mask = 0;
  if (flags & ModifierFlag::command) mask |= CarbonModifier::command;
  if (flags & ModifierFlag::shift) mask |= CarbonModifier::shift;
  if (flags & ModifierFlag::option) mask |= CarbonModifier::option;
  if (flags & ModifierFlag::control) mask |= CarbonModifier::control;
  if (flags & ModifierFlag::function) mask |= CarbonModifier::function;
  return mask;
}

Shortcut Shortcut::fromEvent(int keyCode, std::uint64_t modifierFlags) {
  return Shortcut{keyCode, tervane::carbonModifiers(modifierFlags)};
}

std::string keyLabel(int keyCode) {
  const auto* key = findKey(keyCode);
  return key ? std::string(key->label) : std::string();
}

std::optional<std::uint32_t> xKeysym(int keyCode) {
  const auto* key = findKey(keyCode);
  if (!key) return std::nullopt;
  return key->keysym;
}

std::optional<std::uint16_t> xModifiers(int mask) {
  if (mask & CarbonModifier::function) return std::nullopt;
  std::uint16_t x = 0;
  if (mask & CarbonModifier::shift) x |= 1;     // ShiftMask
  if (mask & CarbonModifier::control) x |= 4;   // ControlMask
  if (mask & CarbonModifier::option) x |= 8;    // Mod1Mask (Alt)
  if (mask & CarbonModifier::command) x |= 64;  // Mod4Mask (Super)
  return x;
}

std::string Shortcut::description() const {
  std::string text;
  if (carbonModifiers & CarbonModifier::control) text += "⌃";
  if (carbonModifiers & CarbonModifier::option) text += "⌥";
  if (carbonModifiers & CarbonModifier::shift) text += "⇧";
  if (carbonModifiers & CarbonModifier::command) text += "⌘";
  if (carbonModifiers & CarbonModifier::function) text += "🌐";
  return text + keyLabel(carbonKeyCode);
}

nlohmann::json toJson(const Shortcut& shortcut) {
  return nlohmann::json{{"carbonKeyCode", shortcut.carbonKeyCode},
                        {"carbonModifiers", shortcut.carbonModifiers}};
}

std::optional<Shortcut> decodeShortcut(const nlohmann::json& json) {
  return jsonread::tryDecode<Shortcut>([&] {
    return Shortcut{jsonread::smallInteger(jsonread::required(json, "carbonKeyCode")),
                    jsonread::smallInteger(jsonread::required(json, "carbonModifiers"))};
  });
}

void KeyboardShortcuts::declare(const ShortcutName& name) {
  if (!name.defaultShortcut || defaults_.get(key(name))) return;
  defaults_.set(key(name), toJson(*name.defaultShortcut).dump());
}

std::optional<Shortcut> KeyboardShortcuts::getShortcut(const ShortcutName& name) const {
  const auto stored = defaults_.getString(key(name));
  if (!stored) return std::nullopt;
  const auto json = jsonread::parse(*stored);
  if (!json) return std::nullopt;
  return decodeShortcut(*json);
}

void KeyboardShortcuts::setShortcut(const std::optional<Shortcut>& shortcut,
                                    const ShortcutName& name) {
  if (shortcut) {
    defaults_.set(key(name), toJson(*shortcut).dump());
  } else if (name.defaultShortcut) {
    defaults_.set(key(name), false);
  } else {
    defaults_.remove(key(name));
  }
  changed_.emit(name);
}

namespace AppShortcuts {
ShortcutName capture() {
  return named("capture", KeyCode::n);
}
ShortcutName start() {
  return named("start", KeyCode::s);
}
ShortcutName stepOut() {
  return named("stepOut", KeyCode::p);
}
ShortcutName done() {
  return named("done", KeyCode::d);
}

std::vector<ShortcutName> all() {
  return {capture(), start(), stepOut(), done()};
}

void declareAll(KeyboardShortcuts& shortcuts) {
  for (const auto& name : all()) shortcuts.declare(name);
}

std::string verb(const ShortcutName& name) {
  if (name.rawValue == capture().rawValue) return "Write down the one thing";
  if (name.rawValue == start().rawValue) return "Start";
  if (name.rawValue == stepOut().rawValue) return "Take a minute, and come back";
  if (name.rawValue == done().rawValue) return "Finished";
  return name.rawValue;
}
}  // namespace AppShortcuts

}  // namespace tervane
