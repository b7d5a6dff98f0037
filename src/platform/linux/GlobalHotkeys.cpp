#include "linux/GlobalHotkeys.h"

// xkb.h names a structure field `explicit`, which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <array>

namespace tervane::x11 {

namespace {

constexpr xcb_keysym_t kNumLockKeysym = 0xff7f;
constexpr std::uint16_t kLockMask = XCB_MOD_MASK_LOCK;

// The keycodes of `keysym` in the current keyboard map, in ascending order.
std::vector<xcb_keycode_t> keycodesOf(xcb_key_symbols_t* symbols, xcb_keysym_t keysym) {
  std::vector<xcb_keycode_t> keycodes;
  if (symbols == nullptr) return keycodes;
  XReply<xcb_keycode_t> list(xcb_key_symbols_get_keycode(symbols, keysym));
  if (!list) return keycodes;
  for (const xcb_keycode_t* code = list.get(); *code != XCB_NO_SYMBOL; ++code) {
    keycodes.push_back(*code);
  }
  std::sort(keycodes.begin(), keycodes.end());
  keycodes.erase(std::unique(keycodes.begin(), keycodes.end()), keycodes.end());
  return keycodes;
}

}  // namespace

namespace hotkeys {

std::vector<std::uint16_t> grabVariants(std::uint16_t modifiers, std::uint16_t numLockMask) {
  std::vector<std::uint16_t> variants;
  for (const std::uint16_t extra : {std::uint16_t{0}, numLockMask, kLockMask,
                                    static_cast<std::uint16_t>(numLockMask | kLockMask)}) {
    const auto mask = static_cast<std::uint16_t>(modifiers | extra);
    if (std::find(variants.begin(), variants.end(), mask) == variants.end()) {
      variants.push_back(mask);
    }
  }
  return variants;
}

std::uint16_t significantModifiers(std::uint16_t state, std::uint16_t numLockMask) {
  return static_cast<std::uint16_t>(state & 0xff & ~(kLockMask | numLockMask));
}

std::uint16_t modifierMaskOf(const std::vector<xcb_keycode_t>& modifierMap, int keycodesPerModifier,
                             const std::vector<xcb_keycode_t>& keycodes) {
  std::uint16_t mask = 0;
  if (keycodesPerModifier <= 0) return mask;
  const auto rows = std::min<std::size_t>(8, modifierMap.size() / keycodesPerModifier);
  for (std::size_t row = 0; row < rows; ++row) {
    for (int slot = 0; slot < keycodesPerModifier; ++slot) {
      const xcb_keycode_t code = modifierMap[row * keycodesPerModifier + slot];
      if (code != 0 && std::find(keycodes.begin(), keycodes.end(), code) != keycodes.end()) {
        mask = static_cast<std::uint16_t>(mask | (1u << row));
      }
    }
  }
  return mask;
}

std::string xErrorName(std::uint8_t code) {
  static constexpr std::array<const char*, 18> kNames = {
      nullptr,     "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
      "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
      "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation"};
  if (code < kNames.size() && kNames[code] != nullptr) return kNames[code];
  if (code == 0) return "the connection to the X server is broken";
  return "X error " + std::to_string(code);
}

}  // namespace hotkeys

GlobalHotkeys::GlobalHotkeys(std::shared_ptr<XConnection> connection, KeyboardShortcuts& shortcuts)
    : connection_(std::move(connection)), shortcuts_(shortcuts) {
  useXkb();
  readKeyboardMaps();
  events_ = connection_->onEvent([this](const XEvent& event) { handle(event); });
  changes_ =
      shortcuts_.changed().connect([this](const ShortcutName& name) { shortcutChanged(name); });
}

GlobalHotkeys::~GlobalHotkeys() {
  for (const auto& [shortcut, grab] : registered_) ungrab(grab);
  connection_->flush();
  if (keySymbols_ != nullptr) xcb_key_symbols_free(keySymbols_);
}

void GlobalHotkeys::useXkb() {
  xcb_connection_t* c = connection_->raw();
  // A request of an extension the server lacks would close the connection; ask first.
  const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(c, &xcb_xkb_id);
  if (xkb == nullptr || xkb->present == 0) {
    log_.notice("The X server has no XKB extension: a held shortcut fires once per repeat");
    return;
  }
  auto used =
      connection_->reply(xcb_xkb_use_extension_reply,
                         xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION));
  if (!used || used->supported == 0) {
    log_.notice("The X server's XKB is unusable: a held shortcut fires once per repeat");
    return;
  }
  // A client that uses XKB is sent the core MappingNotify only for the parts of the map
  // it selects XKB's MapNotify for, and never for a whole new keyboard; both are watched
  // as XKB events instead.
  constexpr std::uint16_t kEvents =
      XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
  constexpr std::uint16_t kMapParts = XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
  const auto selected = connection_->check(xcb_xkb_select_events_checked(
      c, XCB_XKB_ID_USE_CORE_KBD, kEvents, 0, XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY, kMapParts,
      kMapParts, nullptr));
  if (!selected) xkbEventBase_ = xkb->first_event;

  constexpr std::uint32_t kFlag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
  auto flags = connection_->reply(
      xcb_xkb_per_client_flags_reply,
      xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD, kFlag, kFlag, 0, 0, 0));
  detectableAutoRepeat_ = flags && (flags->value & kFlag) != 0;
  if (!detectableAutoRepeat_) {
    log_.notice(
        "The X server refuses detectable auto-repeat: a held shortcut fires once per "
        "repeat");
  }
}

void GlobalHotkeys::readKeyboardMaps() {
  if (keySymbols_ != nullptr) xcb_key_symbols_free(keySymbols_);
  keySymbols_ = xcb_key_symbols_alloc(connection_->raw());
  numLockMask_ = 0;
  auto map = connection_->reply(xcb_get_modifier_mapping_reply,
                                xcb_get_modifier_mapping(connection_->raw()));
  if (map) {
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
    const int length = xcb_get_modifier_mapping_keycodes_length(map.get());
    numLockMask_ = hotkeys::modifierMaskOf(std::vector<xcb_keycode_t>(codes, codes + length),
                                           map->keycodes_per_modifier,
                                           keycodesOf(keySymbols_, kNumLockKeysym));
  }
  // xcb-keysyms waits for the keyboard map without telling the connection; a round trip
  // through it moves any event read meanwhile to the queue.
  connection_->sync();
}

void GlobalHotkeys::onKeyUp(const ShortcutName& name, Action action) {
  entryFor(name).up.push_back(std::move(action));
}

void GlobalHotkeys::onKeyDown(const ShortcutName& name, Action action) {
  entryFor(name).down.push_back(std::move(action));
}

bool GlobalHotkeys::isRegistered(const Shortcut& shortcut) const {
  return registered_.count(shortcut) != 0;
}

GlobalHotkeys::Entry& GlobalHotkeys::entryFor(const ShortcutName& name) {
  for (auto& entry : entries_) {
    if (entry.name.rawValue == name.rawValue) return entry;
  }
  Entry& entry = entries_.emplace_back();
  entry.name = name;
  entry.current = shortcuts_.getShortcut(name);
  if (entry.current) acquire(*entry.current);
  return entry;
}

void GlobalHotkeys::shortcutChanged(const ShortcutName& name) {
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& entry) { return entry.name.rawValue == name.rawValue; });
  if (it == entries_.end()) return;  // no handlers: nothing to register
  const auto old = it->current;
  const auto now = shortcuts_.getShortcut(name);
  if (old == now) return;
  it->current = now;
  // The old one goes first, in case the new one ends up as the same grab on the server.
  if (old) release(*old);
  if (now) acquire(*now);
}

bool GlobalHotkeys::usedByAName(const Shortcut& shortcut) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& entry) { return entry.current == shortcut; });
}

void GlobalHotkeys::acquire(const Shortcut& shortcut) {
  if (registered_.count(shortcut) != 0) return;
  if (const auto failure = grab(shortcut)) {
    if (failed_.insert(shortcut).second) {
      log_.error("Error registering hotkey " + shortcut.description() + ": " + *failure);
    }
    return;
  }
  failed_.erase(shortcut);
}

void GlobalHotkeys::release(const Shortcut& shortcut) {
  if (usedByAName(shortcut)) return;
  failed_.erase(shortcut);
  const auto it = registered_.find(shortcut);
  if (it == registered_.end()) return;
  ungrab(it->second);
  connection_->flush();
  registered_.erase(it);
}

std::optional<std::string> GlobalHotkeys::grab(const Shortcut& shortcut) {
  const auto keysym = xKeysym(shortcut.carbonKeyCode);
  const auto modifiers = xModifiers(shortcut.carbonModifiers);
  if (!keysym || !modifiers) return "no X equivalent";
  Grab wanted{keycodesOf(keySymbols_, *keysym), *modifiers, numLockMask_};
  if (wanted.keycodes.empty()) return "no key in the keyboard map";

  // Every request is sent before the first answer is awaited: one round trip in all.
  xcb_connection_t* c = connection_->raw();
  std::vector<xcb_void_cookie_t> cookies;
  for (const xcb_keycode_t keycode : wanted.keycodes) {
    for (const std::uint16_t mask : hotkeys::grabVariants(wanted.modifiers, wanted.numLockMask)) {
      cookies.push_back(xcb_grab_key_checked(c, 0, connection_->root(), mask, keycode,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
  }
  std::optional<std::uint8_t> firstError;
  for (const auto cookie : cookies) {
    const auto error = connection_->check(cookie);
    if (error && !firstError) firstError = error;
  }
  if (firstError) {
    // Half a shortcut would fire with some locks and not with others. Releasing a
    // combination that another client holds leaves that client's grab alone.
    ungrab(wanted);
    connection_->flush();
    return hotkeys::xErrorName(*firstError);
  }
  registered_[shortcut] = std::move(wanted);
  return std::nullopt;
}

void GlobalHotkeys::ungrab(const Grab& grab) {
  for (const xcb_keycode_t keycode : grab.keycodes) {
    for (const std::uint16_t mask : hotkeys::grabVariants(grab.modifiers, grab.numLockMask)) {
      xcb_ungrab_key(connection_->raw(), keycode, connection_->root(), mask);
    }
  }
}

void GlobalHotkeys::mappingChanged() {
  // The keycodes and NumLock's modifier may both have moved: every grab is made anew.
  for (const auto& [shortcut, grab] : registered_) ungrab(grab);
  registered_.clear();
  down_.clear();
  readKeyboardMaps();
  for (const auto& entry : entries_) {
    if (entry.current) acquire(*entry.current);
  }
}

void GlobalHotkeys::handle(const XEvent& event) {
  const auto type = event->response_type & 0x7f;
  if (xkbEventBase_ && type == *xkbEventBase_) {
    const std::uint8_t xkbType =
        reinterpret_cast<const xcb_xkb_map_notify_event_t*>(event.get())->xkbType;
    if (xkbType == XCB_XKB_MAP_NOTIFY || xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY) mappingChanged();
    return;
  }
  if (type == XCB_MAPPING_NOTIFY) {
    const auto* notify = reinterpret_cast<const xcb_mapping_notify_event_t*>(event.get());
    if (!xkbEventBase_ && notify->request != XCB_MAPPING_POINTER) mappingChanged();
    return;
  }
  if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return;
  const auto* pressed = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
  if (pressed->event == connection_->root()) {
    takeKey(type == XCB_KEY_PRESS, pressed->detail, pressed->state);
  }
}

bool GlobalHotkeys::takeKey(bool press, xcb_keycode_t keycode, std::uint16_t state) {
  if (!press) {
    const auto it = down_.find(keycode);
    if (it == down_.end()) return false;
    const Shortcut shortcut = it->second;
    down_.erase(it);
    fire(shortcut, false);
    return true;
  }
  if (down_.count(keycode) != 0) return true;  // a repeat of a key still held
  const auto modifiers = hotkeys::significantModifiers(state, numLockMask_);
  for (const auto& [shortcut, grab] : registered_) {
    if (grab.modifiers != modifiers) continue;
    if (std::find(grab.keycodes.begin(), grab.keycodes.end(), keycode) == grab.keycodes.end()) {
      continue;
    }
    const Shortcut pressed = shortcut;
    down_.emplace(keycode, pressed);
    fire(pressed, true);
    return true;
  }
  return false;
}

void GlobalHotkeys::fire(const Shortcut& shortcut, bool press) {
  // Copied first: a handler may add handlers or change a shortcut.
  std::vector<Action> actions;
  for (const auto& entry : entries_) {
    if (entry.current != shortcut) continue;
    const auto& list = press ? entry.down : entry.up;
    actions.insert(actions.end(), list.begin(), list.end());
  }
  for (const auto& action : actions) action();
}

}  // namespace tervane::x11
