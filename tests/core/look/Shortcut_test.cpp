#include "look/Shortcut.h"

#include <gtest/gtest.h>

#include "support/CountingDefaults.h"

namespace tervane {
using testing::CountingDefaults;

TEST(KeyboardShortcuts, AFirstLaunchStoresTheFourDefaultsAndASecondStoresNothing) {
  CountingDefaults defaults;
  {
    KeyboardShortcuts shortcuts(defaults);
    AppShortcuts::declareAll(shortcuts);
    EXPECT_EQ(defaults.writes, 4);
    EXPECT_EQ(shortcuts.getShortcut(AppShortcuts::start()), (Shortcut{1, 0x1900}));
  }
  // The stored text is JSON that decodes to N with control, option and command.
  const auto stored = defaults.inner.getString("KeyboardShortcuts_capture").value_or("null");
  EXPECT_EQ(decodeShortcut(nlohmann::json::parse(stored)), (Shortcut{45, 6400}));

  KeyboardShortcuts again(defaults);
  AppShortcuts::declareAll(again);
  EXPECT_EQ(defaults.writes, 4);
}

// An entry of the wrong shape reads as no shortcut.
TEST(KeyboardShortcuts, ClearingKeepsFalseForADefaultAndRemovesOtherwiseAndSignals) {
  MemoryDefaults defaults;
  KeyboardShortcuts shortcuts(defaults);
  std::vector<std::string> changed;
  auto connection = shortcuts.changed().connect(
      [&](const ShortcutName& name) { changed.push_back(name.rawValue); });

  const auto capture = AppShortcuts::capture();
  shortcuts.declare(capture);
  shortcuts.setShortcut(std::nullopt, capture);
  EXPECT_EQ(defaults.get("KeyboardShortcuts_capture"), nlohmann::json(false));
  EXPECT_EQ(shortcuts.getShortcut(capture), std::nullopt);
  // A cleared shortcut stays cleared at the next launch.
  KeyboardShortcuts(defaults).declare(capture);
  EXPECT_EQ(shortcuts.getShortcut(capture), std::nullopt);

  const ShortcutName custom{"custom", std::nullopt};
  shortcuts.declare(custom);
  EXPECT_EQ(defaults.get("KeyboardShortcuts_custom"), std::nullopt);
  shortcuts.setShortcut(Shortcut{KeyCode::f5, CarbonModifier::shift}, custom);
  EXPECT_EQ(shortcuts.getShortcut(custom), (Shortcut{KeyCode::f5, CarbonModifier::shift}));
  shortcuts.setShortcut(std::nullopt, custom);
  EXPECT_EQ(defaults.get("KeyboardShortcuts_custom"), std::nullopt);

  EXPECT_EQ(changed, (std::vector<std::string>{"capture", "custom", "custom"}));

  using nlohmann::json;
  for (const auto& stored :
       {json("not json"), json(R"({"carbonKeyCode":"45","carbonModifiers":0})"),
        json(R"({"carbonKeyCode":45})"), json(true),
        json{{"carbonKeyCode", 45}, {"carbonModifiers", 0}}}) {
    defaults.set("KeyboardShortcuts_custom", stored);
    EXPECT_EQ(shortcuts.getShortcut(custom), std::nullopt) << stored.dump();
  }
}

TEST(Shortcut, ConvertsPlatformFlagsDescribesInTheFixedOrderAndMapsToX) {
  const auto all = Shortcut::fromEvent(
      KeyCode::returnKey, ModifierFlag::command | ModifierFlag::shift | ModifierFlag::option |
                              ModifierFlag::control | ModifierFlag::function |
                              0x10000 /* caps lock, not a shortcut modifier */);
  EXPECT_EQ(all.carbonModifiers, 0x1000 | 0x800 | 0x200 | 0x100 | 0x20000);
  EXPECT_EQ(all.description(), "⌃⌥⇧⌘🌐↩");
  EXPECT_EQ((Shortcut{KeyCode::f12, CarbonModifier::command}).description(), "⌘F12");
  EXPECT_EQ((Shortcut{KeyCode::leftArrow, CarbonModifier::option}).description(), "⌥←");
  EXPECT_EQ((Shortcut{24, CarbonModifier::control}).description(), "⌃=");
  EXPECT_EQ((Shortcut{10, CarbonModifier::control}).description(), "⌃");

  // X keysyms and modifier masks.
  EXPECT_EQ(xKeysym(29), 0x0030u);  // 0
  EXPECT_EQ(xKeysym(KeyCode::returnKey), 0xff0du);
  EXPECT_EQ(xKeysym(KeyCode::deleteKey), 0xff08u);  // the delete key erases backwards
  EXPECT_EQ(xKeysym(KeyCode::f1), 0xffbeu);
  EXPECT_EQ(xKeysym(KeyCode::f12), 0xffc9u);
  EXPECT_EQ(xKeysym(10), std::nullopt);

  EXPECT_EQ(xModifiers(CarbonModifier::shift), 1);
  EXPECT_EQ(xModifiers(CarbonModifier::command | CarbonModifier::function), std::nullopt);
}

}  // namespace tervane
