// A number that moves to a new target with one of the look's motions (`TMacMotion`),
// optionally after a delay, driven by Qt's animation timer (so a test can drive it with
// its own animation driver). A spring retargeted while moving keeps its velocity.
#pragma once

#include <QAbstractAnimation>
#include <QObject>
#include <QPointer>
#include <optional>

#include "app/paint/MotionCurve.h"

namespace tervane {

class AnimatedValue final : public QObject {
  Q_OBJECT

 public:
  explicit AnimatedValue(double initial = 0, QObject* parent = nullptr);
  ~AnimatedValue() override;

  double value() const { return value_; }
  double target() const { return target_; }
  bool isAnimating() const { return run_ != nullptr; }

  // Moves to `target` with `motion`, starting `delaySeconds` from now. Asking again for
  // the target it is already moving to changes nothing.
  void animateTo(double target, const Motion& motion, double delaySeconds = 0);
  // Jumps to `value` at once, stopping any motion.
  void setValue(double value);

 Q_SIGNALS:
  void valueChanged(double value);
  // A motion came to rest at its target.
  void settled();

 private:
  class Run;
  void stopRun();
  void update(double value, double velocity);

  double value_;
  double target_;
  double velocity_ = 0;
  QPointer<QAbstractAnimation> run_;
};

}  // namespace tervane
