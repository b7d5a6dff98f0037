// A now card over a real model on a simulated desktop read from JSON, on manual clocks
// and queues. `settle()` runs background work, completions and motions until all is still.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

#include "app/card/NowCard.h"
#include "app/tools/card/CardDesktop.h"
#include "base/MainQueue.h"
#include "look/ThemeManager.h"
#include "support/ManualOffMain.h"
#include "support/QtTestApp.h"
#include "support/TempDir.h"

namespace tervane::testing {

class CardFixture : public ::testing::Test {
 protected:
  ~CardFixture() override;

  // The desktop described in tests/app/desktops/<name>.json.
  static nlohmann::json describedDesktop(const std::string& name);
  // Builds that desktop and a model over it.
  void load(const std::string& name = "working");
  NowCard& showCard();
  void settle();
  // The person brings an app forward; the guard hears of it once the model has stopped
  // moving windows itself.
  void personActivates(const std::string& bundleId);

  // Clicks a point in the widget, by default (a null point) its centre, and settles.
  void click(QWidget* widget, QPoint at = {});
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
