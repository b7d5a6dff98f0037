#include "linux/GlobalHotkeys.h"

#include <gtest/gtest.h>

namespace tervane::x11 {
namespace {

using hotkeys::grabVariants;
using hotkeys::modifierMaskOf;
using hotkeys::significantModifiers;

constexpr std::uint16_t kShift = 1, kLock = 2, kControl = 4, kMod1 = 8, kMod2 = 16, kMod3 = 32,
                        kMod4 = 64;

TEST(GlobalHotkeysMasks, EveryLockCombinationIsGrabbedOnceAndReadOffTheStateAndTheModifierMap) {
  const std::uint16_t shortcut = kControl | kMod1 | kMod4;
  EXPECT_EQ(grabVariants(shortcut, kMod2),
            (std::vector<std::uint16_t>{shortcut, shortcut | kMod2, shortcut | kLock,
                                        shortcut | kMod2 | kLock}));
  EXPECT_EQ(grabVariants(shortcut, kMod3),
            (std::vector<std::uint16_t>{shortcut, shortcut | kMod3, shortcut | kLock,
                                        shortcut | kMod3 | kLock}));
  // No NumLock modifier on the server, or NumLock sharing a modifier the shortcut holds.
  EXPECT_EQ(grabVariants(shortcut, 0), (std::vector<std::uint16_t>{shortcut, shortcut | kLock}));
  EXPECT_EQ(grabVariants(shortcut, kMod4),
            (std::vector<std::uint16_t>{shortcut, shortcut | kLock}));
  EXPECT_EQ(grabVariants(kShift | kLock, kMod2),
            (std::vector<std::uint16_t>{kShift | kLock, kShift | kLock | kMod2}));

  // An event's state is read without locks, buttons or group.
  const std::uint16_t held = kControl | kMod1 | kMod4;
  EXPECT_EQ(significantModifiers(held, kMod2), held);
  EXPECT_EQ(significantModifiers(held | kMod2 | kLock, kMod2), held);
  // Button 1 (0x100) and an XKB group index (bits 13 and 14) are not modifiers.
  EXPECT_EQ(significantModifiers(held | 0x100 | 0x2000 | 0x4000, kMod2), held);
  // A NumLock on Mod3 leaves Mod2 as a modifier of its own.
  EXPECT_EQ(significantModifiers(held | kMod2 | kMod3, kMod3), held | kMod2);

  // The modifier of a key is found in any row and slot of eight rows of two slots: Shift,
  // Lock, Control, Mod1 .. Mod5; zero is an empty slot.
  const std::vector<xcb_keycode_t> map = {50, 62, 66, 0, 37,  105, 64, 108,
                                          77, 0,  0,  0, 133, 134, 92, 0};
  EXPECT_EQ(modifierMaskOf(map, 2, {77}), kMod2);
  EXPECT_EQ(modifierMaskOf(map, 2, {134}), kMod4) << "the second slot of a row";
  EXPECT_EQ(modifierMaskOf(map, 2, {92}), 128) << "the last row";
  EXPECT_EQ(modifierMaskOf(map, 2, {9, 77, 133}), kMod2 | kMod4) << "one key on each";
  EXPECT_EQ(modifierMaskOf(map, 2, {200}), 0) << "bound to no modifier";
  EXPECT_EQ(modifierMaskOf(map, 2, {0}), 0) << "an empty slot is no key";
}

}  // namespace
}  // namespace tervane::x11
