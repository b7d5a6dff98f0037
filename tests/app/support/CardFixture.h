// A now card over a real model on a simulated desktop read from JSON, on manual clocks
// and queues. `settle()` runs background work, completions and motions until all is still.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QTest>
#include <memory>

#include "app/card/NowCard.h"
#include "app/tools/card/CardDesktop.h"
#include "base/Json.h"
#include "base/MainQueue.h"
#include "look/ThemeManager.h"
#include "support/ManualOffMain.h"
#include "support/QtTestApp.h"
#include "support/TempDir.h"

namespace tervane::testing {

class CardFixture : public ::testing::Test {
 protected:
  ~CardFixture() override {
    card.reset();
    QApplication::processEvents();
  }

  // The desktop described in tests/app/desktops/<name>.json.
  static nlohmann::json describedDesktop(const std::string& name) {
    const auto description = jsonread::parse(
        readText(std::string(TERVANE_SOURCE_DIR) + "/tests/app/desktops/" + name + ".json"));
    EXPECT_TRUE(description) << name;
    return description.value_or(nlohmann::json::object());
  }
  // Builds that desktop and a model over it.
  void load(const std::string& name = "working") {
    auto made = CardDesktop::make(describedDesktop(name),
                                  {clock, main, offMain, standard, shared, dir / "journal"});
    ASSERT_TRUE(made) << made.error().message;
    session = std::move(made.value());
    theme = std::make_unique<ThemeManager>(*session.store);
  }
  NowCard& showCard() {
    // The pointer starts off the card, wherever an earlier test left it.
    QCursor::setPos(-1000, -1000);
    QApplication::processEvents();
    card = std::make_unique<NowCard>(session.model, *theme);
    card->show();
    settle();
    return *card;
  }
  void settle() {
    while (offMain->runAll() > 0 || main->drain() > 0) {
    }
    AnimationClock::instance().settle();
    QApplication::processEvents();
    // Panels that close are deleted later.
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  // The person brings an app forward; the guard hears of it once the model has stopped
  // moving windows itself.
  void personActivates(const std::string& bundleId) {
    clock->advance(MacNowModel::kMovingSeconds + 0.1);
    desktop().personActivates(bundleId);
    settle();
  }
  // Clicks a point in the widget, by default (a null point) its centre, and settles.
  void click(QWidget* widget, QPoint at = {}) {
    ASSERT_NE(widget, nullptr);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
    settle();
  }
  bool shown(const QWidget* widget) const { return widget && widget->isVisibleTo(card.get()); }

  MacNowModel& model() { return *session.model; }
  sim::SimDesktop& desktop() { return *session.desktop; }

  TempDir dir;
  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
  std::shared_ptr<ManualMainQueue> main = std::make_shared<ManualMainQueue>(*clock);
  std::shared_ptr<ManualOffMain> offMain = std::make_shared<ManualOffMain>();
  std::shared_ptr<MemoryDefaults> standard = std::make_shared<MemoryDefaults>();
  std::shared_ptr<MemoryDefaults> shared = std::make_shared<MemoryDefaults>();
  CardDesktop session;
  std::unique_ptr<ThemeManager> theme;
  std::unique_ptr<NowCard> card;
};

}  // namespace tervane::testing
