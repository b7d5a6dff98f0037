#include "linux/GlobalHotkeys.h"

#include <gtest/gtest.h>
#include <xcb/xcb_keysyms.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/Defaults.h"
#include "base/Log.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

using testing::XTestDesktop;

constexpr xcb_keysym_t kSuperL = 0xffeb;
constexpr std::uint16_t kShortcutMask = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

// The keycode the test server gives a keysym.
xcb_keycode_t keycodeOf(XConnection& x, xcb_keysym_t keysym) {
  xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(x.raw());
  XReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(symbols, keysym));
  xcb_key_symbols_free(symbols);
  x.sync();
  return codes ? codes.get()[0] : xcb_keycode_t{0};
}

std::uint16_t modifiersOf(XConnection& x, xcb_keycode_t keycode) {
  auto map = x.reply(xcb_get_modifier_mapping_reply, xcb_get_modifier_mapping(x.raw()));
  const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
  return hotkeys::modifierMaskOf(
      std::vector<xcb_keycode_t>(codes,
                                 codes + xcb_get_modifier_mapping_keycodes_length(map.get())),
      map->keycodes_per_modifier, {keycode});
}

// Whether `x` may take the shortcut of `keysym` with `mask`: the error of its grab, if any.
std::optional<std::uint8_t> grabError(XConnection& x, std::uint16_t mask, xcb_keysym_t keysym) {
  return x.check(xcb_grab_key_checked(x.raw(), 0, x.root(), mask, keycodeOf(x, keysym),
                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
}

// The modifiers the server holds down or locked now.
std::uint16_t heldModifiers(XConnection& x) {
  auto pointer = x.reply(xcb_query_pointer_reply, xcb_query_pointer(x.raw(), x.root()));
  return pointer ? static_cast<std::uint16_t>(pointer->mask & 0xff) : 0;
}

// Counts every press and release of each name, in order.
struct Presses {
  std::vector<std::string> seen;
  void watch(GlobalHotkeys& hotkeys, const ShortcutName& name) {
    hotkeys.onKeyDown(name, [this, raw = name.rawValue] { seen.push_back("down " + raw); });
    hotkeys.onKeyUp(name, [this, raw = name.rawValue] { seen.push_back("up " + raw); });
  }
};

class GlobalHotkeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The shortcuts' command key is Super, which the grabs expect on Mod4.
    ASSERT_EQ(modifiersOf(desktop.x(), keycodeOf(desktop.x(), kSuperL)), XCB_MOD_MASK_4);
    connection = XConnection::open(desktop.display()).value();
    AppShortcuts::declareAll(shortcuts);
  }

  // Types `keys` with xdotool and hands every event that results to the handlers.
  void xdotool(const std::vector<std::string>& keys) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    ASSERT_EQ(desktop.run(argv), 0);
    // xdotool's input has been handled by the server once it has ended; a round trip
    // then brings every event that input caused.
    XTestDesktop::settle(*connection);
  }
  void key(const std::string& combination) { xdotool({"key", combination}); }

  XTestDesktop desktop;
  std::shared_ptr<XConnection> connection;
  MemoryDefaults defaults;
  KeyboardShortcuts shortcuts{defaults};
};

TEST_F(GlobalHotkeysTest, EachShortcutFiresOnceOnReleaseWhateverTheLocks) {
  GlobalHotkeys hotkeys(connection, shortcuts);
  Presses presses;
  for (const auto& name : AppShortcuts::all()) presses.watch(hotkeys, name);
  EXPECT_TRUE(hotkeys.detectsAutoRepeat());

  key("ctrl+alt+super+n");
  EXPECT_EQ(presses.seen, (std::vector<std::string>{"down capture", "up capture"}));

  // The release is what the application acts on: held, the key fires no more, and it is
  // released once it comes up, even after the modifiers have gone.
  presses.seen.clear();
  const xcb_keycode_t d = keycodeOf(desktop.x(), 'd');
  int serverPresses = 0;
  auto counter = connection->onEvent([&](const XEvent& event) {
    const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
    if ((event->response_type & 0x7f) == XCB_KEY_PRESS && key->detail == d) ++serverPresses;
  });
  xdotool({"keydown", "ctrl+alt+super+d"});
  // Waiting for the server's repeats of the held key is waiting for events.
  ASSERT_TRUE(XTestDesktop::pumpUntil(
      *connection, [&] { return serverPresses >= 3; }, 10));
  xdotool({"keyup", "ctrl+alt+super"});
  EXPECT_EQ(presses.seen, (std::vector<std::string>{"down done"}));
  xdotool({"keyup", "d"});
  EXPECT_EQ(presses.seen, (std::vector<std::string>{"down done", "up done"}));

  // Neither fewer nor more modifiers make the shortcut.
  presses.seen.clear();
  key("ctrl+alt+n");
  key("ctrl+alt+super+shift+n");
  key("n");
  EXPECT_TRUE(presses.seen.empty());

  const std::uint16_t numLock = modifiersOf(desktop.x(), keycodeOf(desktop.x(), 0xff7f));
  ASSERT_NE(numLock, 0);
  key("Num_Lock");
  ASSERT_EQ(heldModifiers(desktop.x()) & numLock, numLock);
  key("ctrl+alt+super+s");
  key("Caps_Lock");
  ASSERT_EQ(heldModifiers(desktop.x()) & XCB_MOD_MASK_LOCK, XCB_MOD_MASK_LOCK);
  key("ctrl+alt+super+p");
  EXPECT_EQ(presses.seen,
            (std::vector<std::string>{"down start", "up start", "down stepOut", "up stepOut"}));
}

TEST_F(GlobalHotkeysTest, ACombinationAnotherClientHoldsIsLoggedOnceAndTheOthersWork) {
  auto log = std::make_shared<RecordingLogSink>();
  Log::setSink(log);
  auto other = XConnection::open(desktop.display()).value();
  const xcb_keycode_t s = keycodeOf(*other, 's');
  // The other client holds the plain combination only; the lock variants are free.
  ASSERT_FALSE(grabError(*other, kShortcutMask, 's'));
  int otherPresses = 0;
  auto counter = other->onEvent([&](const XEvent& event) {
    if ((event->response_type & 0x7f) == XCB_KEY_PRESS) ++otherPresses;
  });

  GlobalHotkeys hotkeys(connection, shortcuts);
  Presses presses;
  for (const auto& name : AppShortcuts::all()) presses.watch(hotkeys, name);
  // A second name on the same shortcut, and a keyboard map change that grabs everything
  // again, try it twice more.
  const ShortcutName alsoStart{"alsoStart", AppShortcuts::start().defaultShortcut};
  shortcuts.declare(alsoStart);
  presses.watch(hotkeys, alsoStart);
  const auto same = desktop.x().reply(xcb_get_keyboard_mapping_reply,
                                      xcb_get_keyboard_mapping(desktop.x().raw(), s, 1));
  xcb_change_keyboard_mapping(desktop.x().raw(), 1, s, same->keysyms_per_keycode,
                              xcb_get_keyboard_mapping_keysyms(same.get()));
  desktop.x().sync();
  XTestDesktop::settle(*connection);

  Log::setSink(nullptr);
  std::vector<std::string> logged;
  for (const auto& r : log->records()) {
    if (r.category == "hotkeys") logged.push_back(r.message);
  }
  EXPECT_EQ(logged, std::vector<std::string>{"Error registering hotkey ⌃⌥⌘S: BadAccess"});
  EXPECT_FALSE(hotkeys.isRegistered(*AppShortcuts::start().defaultShortcut));
  for (const auto& name :
       {AppShortcuts::capture(), AppShortcuts::stepOut(), AppShortcuts::done()}) {
    EXPECT_TRUE(hotkeys.isRegistered(*name.defaultShortcut)) << name.rawValue;
  }

  key("ctrl+alt+super+n");
  key("ctrl+alt+super+s");
  key("ctrl+alt+super+p");
  key("ctrl+alt+super+d");
  XTestDesktop::settle(*other);
  EXPECT_EQ(otherPresses, 1) << "the combination stays the other client's";
  // With NumLock on, the other client's grab does not match; none of ours is left either.
  key("Num_Lock");
  key("ctrl+alt+super+s");
  key("Num_Lock");
  EXPECT_EQ(presses.seen, (std::vector<std::string>{"down capture", "up capture", "down stepOut",
                                                    "up stepOut", "down done", "up done"}));
  // The lock variants we grabbed before the refusal were let go: they are free to take.
  const std::uint16_t numLock = modifiersOf(*other, keycodeOf(*other, 0xff7f));
  for (const std::uint16_t lock : {numLock, std::uint16_t{XCB_MOD_MASK_LOCK}}) {
    EXPECT_FALSE(grabError(*other, kShortcutMask | lock, 's')) << lock;
  }
}

TEST_F(GlobalHotkeysTest, AKeyboardMapChangeOrAChangedShortcutMovesTheGrab) {
  GlobalHotkeys hotkeys(connection, shortcuts);
  Presses presses;
  presses.watch(hotkeys, AppShortcuts::capture());
  // After the keyboard map changes, the shortcut follows its key to its new keycode.
  XConnection& x = desktop.x();
  const xcb_keycode_t nCode = keycodeOf(x, 'n');
  const xcb_keycode_t mCode = keycodeOf(x, 'm');
  ASSERT_EQ(mCode, nCode + 1) << "the swap below rewrites two neighbouring keycodes";
  auto mapping =
      x.reply(xcb_get_keyboard_mapping_reply, xcb_get_keyboard_mapping(x.raw(), nCode, 2));
  const int perKey = mapping->keysyms_per_keycode;
  const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
  std::vector<xcb_keysym_t> swapped(keysyms + perKey, keysyms + 2 * perKey);
  swapped.insert(swapped.end(), keysyms, keysyms + perKey);
  xcb_change_keyboard_mapping(x.raw(), 2, nCode, static_cast<std::uint8_t>(perKey), swapped.data());
  x.sync();
  XTestDesktop::settle(*connection);
  ASSERT_EQ(keycodeOf(x, 'n'), mCode);

  key("ctrl+alt+super+m");  // the old keycode of N
  EXPECT_TRUE(presses.seen.empty());

  const ShortcutName alsoCapture{"alsoCapture", AppShortcuts::capture().defaultShortcut};
  shortcuts.declare(alsoCapture);
  presses.watch(hotkeys, alsoCapture);
  // A name without handlers registers nothing, before or after a change.
  const Shortcut k{KeyCode::k, AppShortcuts::kDefaultModifiers};
  shortcuts.setShortcut(k, AppShortcuts::done());
  EXPECT_FALSE(hotkeys.isRegistered(k));

  key("ctrl+alt+super+n");  // capture followed its key
  EXPECT_EQ(presses.seen, (std::vector<std::string>{"down capture", "down alsoCapture",
                                                    "up capture", "up alsoCapture"}));

  // Capture moves to K; N stays grabbed for the other name.
  const Shortcut n = *AppShortcuts::capture().defaultShortcut;
  shortcuts.setShortcut(k, AppShortcuts::capture());
  presses.seen.clear();
  key("ctrl+alt+super+n");
  key("ctrl+alt+super+k");
  EXPECT_EQ(presses.seen, (std::vector<std::string>{"down alsoCapture", "up alsoCapture",
                                                    "down capture", "up capture"}));

  // Once no name uses N, the server no longer holds it for us: another client can take it.
  shortcuts.setShortcut(std::nullopt, alsoCapture);
  EXPECT_FALSE(hotkeys.isRegistered(n));
  EXPECT_TRUE(hotkeys.isRegistered(k));
  presses.seen.clear();
  key("ctrl+alt+super+n");
  EXPECT_TRUE(presses.seen.empty());
  auto other = XConnection::open(desktop.display()).value();
  EXPECT_FALSE(grabError(*other, kShortcutMask, 'n'));
  EXPECT_EQ(grabError(*other, kShortcutMask, 'k'), std::optional<std::uint8_t>(XCB_ACCESS));
}

}  // namespace
}  // namespace tervane::x11
