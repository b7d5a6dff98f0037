// The three pictures of the bee in the tray: `rest` (wings closed) while no stage is open,
// `act` (wings open, in the bee's violet) while a stage runs, `steppedOut` (wings closed,
// faded to 0.45) while it is paused. Each is 18 × 18 points drawn at twice that density.
// Linux trays do not tint pictures to fit the panel as a template image would be tinted,
// so the resting and stepped-out bees are drawn in the panel's own text colour.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <array>
#include <optional>

#include "stage/StageRecords.h"

namespace tervane {

class MenuBarBee {
 public:
  enum class Picture { rest, act, steppedOut };

  static constexpr int kPoints = 18;
  static constexpr double kScale = 2;
  static constexpr double kSteppedOutOpacity = 0.45;
  // The open bee's colour, sRGB 179, 156, 251.
  static QColor actColour() { return QColor(179, 156, 251); }

  // Draws all three pictures at once; they do not change afterwards.
  explicit MenuBarBee(const QColor& panelText);

  const QIcon& icon(Picture picture) const { return icons_[index(picture)]; }
  const QImage& image(Picture picture) const { return images_[index(picture)]; }

  // No open stage: rest; a paused one (parked): steppedOut; a running one: act.
  static Picture pictureFor(const std::optional<StageSnapshot>& openStage);

  // The colour a panel's text is drawn in on this desktop, as the platform theme says.
  static QColor panelTextColour();

 private:
  static std::size_t index(Picture picture) { return static_cast<std::size_t>(picture); }
  static QImage draw(bool open, const QColor& colour, double opacity);

  std::array<QImage, 3> images_;
  std::array<QIcon, 3> icons_;
};

}  // namespace tervane
