// The bee drawn from its parsed outline: `beePath` turns a pose into a Qt path scaled to
// a frame (uniformly, by the frame's shorter side over 750, placed at the frame's corner).
// `BeeMark` is the small bee of the card and panels, filled in the accent; it can change
// pose and opacity with a motion, crossfading the two wing poses.
#pragma once

#include <QPainterPath>
#include <QWidget>

#include "app/paint/AnimatedValue.h"
#include "app/paint/Tone.h"
#include "base/Signal.h"
#include "look/Motion.h"
#include "look/ThemeManager.h"
#include "look/VectorPath.h"

namespace tervane {

QPainterPath toPainterPath(const VectorPath& path);
QPainterPath beePath(bool open, const QRectF& frame);

class BeeMark final : public QWidget {
  Q_OBJECT

 public:
  BeeMark(ThemeManager& theme, double size, QWidget* parent = nullptr);

  // Sets the pose and opacity at once.
  void setPose(bool open, double opacity);
  // Moves to the pose and opacity with `motion`.
  void animatePose(bool open, double opacity, const Motion& motion);
  bool open() const { return openness_.target() >= 0.5; }
  double opacity() const { return opacity_.target(); }
  void setTone(Tone tone);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  ThemeManager& theme_;
  double size_;
  Tone tone_ = Tone::accent();
  AnimatedValue openness_{1};
  AnimatedValue opacity_{1};
  Signal<TervaneTint>::Connection tintConnection_;
};

}  // namespace tervane
