// The note shown for a few seconds when a stage begins: it restates the one thing, says
// what was put away, and says that nothing was closed and how to get it all back. Fixed at
// 560 × 196 points on the deep background with rounded corners; the headline keeps to one
// line so the note keeps its size.
#pragma once

#include <QWidget>

#include "app/paint/BeeMark.h"
#include "app/paint/TText.h"
#include "look/ThemeManager.h"
#include "stage/StageRecords.h"

namespace tervane {

class StartedNote final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 560;
  static constexpr int kHeight = 196;
  static constexpr int kPadding = 28;
  static constexpr double kCornerRadius = 16;
  static QString reassurance() {
    return QStringLiteral(
        "Nothing was closed. Click the bee in your menu bar when you want it all back.");
  }

  StartedNote(ThemeManager& theme, const StageSnapshot& stage, QWidget* parent = nullptr);

  TText* headline() const { return headline_; }
  TText* whatIDid() const { return whatIDid_; }
  TText* reassuranceText() const { return reassurance_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ThemeManager& theme_;
  TText* headline_;
  TText* whatIDid_;
  TText* reassurance_;
  Signal<TervaneTint>::Connection tintConnection_;
};

}  // namespace tervane
