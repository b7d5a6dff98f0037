// The three pictures of the bee in the tray: `rest` (wings closed) while no stage is open,
// `act` (wings open, in the bee's violet) while a stage runs, `steppedOut` (wings closed,
// faded to 0.45) while it is paused. Each is 18 × 18 points drawn at twice that density.
// Linux trays do not tint pictures to fit the panel as a template image would be tinted.
// Where the tray says which colour its panel's text is, the resting and stepped-out bees
// are drawn in it; where it does not, they are drawn light with a dark rim, which reads on
// a light panel and on a dark one alike.
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

  // The rim's width, in points.
  static constexpr double kRim = 1.25;

  // Draws all three pictures at once; they do not change afterwards. An invalid colour
  // means the panel's colours are not known.
  explicit MenuBarBee(const QColor& panelText = QColor());

  const QIcon& icon(Picture picture) const { return icons_[index(picture)]; }
  const QImage& image(Picture picture) const { return images_[index(picture)]; }

  // No open stage: rest; a paused one (parked): steppedOut; a running one: act.
  static Picture pictureFor(const std::optional<StageSnapshot>& openStage);

  // The colour of the tray panel's text as the tray host announces it
  // (_NET_SYSTEM_TRAY_COLORS); invalid when no host says.
  static QColor panelTextColour();

 private:
  static std::size_t index(Picture picture) { return static_cast<std::size_t>(picture); }
  static QImage draw(bool open, const QColor& colour, double opacity, const QColor& rim = QColor());

  std::array<QImage, 3> images_;
  std::array<QIcon, 3> icons_;
};

}  // namespace tervane
