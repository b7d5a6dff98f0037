#include "support/CardFixture.h"

#include <QCursor>

#include "base/Json.h"

namespace tervane::testing {

CardFixture::~CardFixture() {
  card.reset();
  QApplication::processEvents();
}

nlohmann::json CardFixture::describedDesktop(const std::string& name) {
  const auto description = jsonread::parse(
      readText(std::string(TERVANE_SOURCE_DIR) + "/tests/app/desktops/" + name + ".json"));
  EXPECT_TRUE(description) << name;
  return description.value_or(nlohmann::json::object());
}

void CardFixture::load(const std::string& name) {
  CardDesktop::Options options;
  options.clock = clock;
  options.main = main;
  options.offMain = offMain;
  options.standardDefaults = standard;
  options.sharedDefaults = shared;
  options.journalFolder = dir / "journal";
  auto made = CardDesktop::make(describedDesktop(name), options);
  ASSERT_TRUE(made) << made.error().message;
  session = std::move(made.value());
  theme = std::make_unique<ThemeManager>(*session.store);
}

NowCard& CardFixture::showCard() {
  // The pointer starts off the card, wherever an earlier test left it.
  QCursor::setPos(-1000, -1000);
  QApplication::processEvents();
  card = std::make_unique<NowCard>(session.model, *theme);
  card->show();
  settle();
  return *card;
}

void CardFixture::settle() {
  while (offMain->runAll() > 0 || main->drain() > 0) {
  }
  AnimationClock::instance().settle();
  QApplication::processEvents();
  // Panels that close are deleted later.
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void CardFixture::personActivates(const std::string& bundleId) {
  clock->advance(MacNowModel::kMovingSeconds + 0.1);
  desktop().personActivates(bundleId);
  settle();
}

void CardFixture::click(QWidget* widget, QPoint at) {
  ASSERT_NE(widget, nullptr);
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
  settle();
}

}  // namespace tervane::testing
