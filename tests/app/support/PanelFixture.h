// A panel controller over the look, on a manual clock and main queue.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "base/MainQueue.h"
#include "data/Store.h"
#include "look/ThemeManager.h"
#include "support/QtTestApp.h"

namespace tervane::testing {

template <class Controller>
class PanelFixture : public ::testing::Test {
 protected:
  ~PanelFixture() override {
    controller.reset();
    QApplication::processEvents();
  }

  ManualClock clock;
  std::shared_ptr<ManualMainQueue> main = std::make_shared<ManualMainQueue>(clock);
  MemoryDefaults defaults;
  Store store{defaults};
  ThemeManager theme{store};
  std::unique_ptr<Controller> controller = std::make_unique<Controller>(main, theme);
};

// How many windows on screen hold a Content.
template <class Content>
int windowsShowing() {
  int count = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->findChild<Content*>()) ++count;
  }
  return count;
}

}  // namespace tervane::testing
