#include "app/paint/AnimatedValue.h"

#include <cmath>

namespace tervane {

class AnimatedValue::Run final : public QAbstractAnimation {
 public:
  Run(AnimatedValue* owner, const MotionCurve& curve, double delaySeconds)
      : QAbstractAnimation(owner),
        owner_(owner),
        curve_(curve),
        delayMs_(static_cast<int>(std::lround(delaySeconds * 1000))),
        durationMs_(delayMs_ + static_cast<int>(std::ceil(curve.duration() * 1000))) {}

  int duration() const override { return durationMs_; }

 protected:
  void updateCurrentTime(int msecs) override {
    if (msecs < delayMs_) return;
    if (msecs >= durationMs_) {
      owner_->update(curve_.to(), 0);
      return;
    }
    const double t = (msecs - delayMs_) / 1000.0;
    owner_->update(curve_.valueAt(t), curve_.velocityAt(t));
  }

 private:
  AnimatedValue* owner_;
  MotionCurve curve_;
  int delayMs_;
  int durationMs_;
};

AnimatedValue::AnimatedValue(double initial, QObject* parent)
    : QObject(parent), value_(initial), target_(initial) {}

AnimatedValue::~AnimatedValue() {
  stopRun();
}

void AnimatedValue::animateTo(double target, const Motion& motion, double delaySeconds) {
  if (target == target_ && (run_ || value_ == target)) return;
  stopRun();
  target_ = target;
  MotionCurve curve(motion, value_, target, velocity_);
  if (curve.duration() <= 0 && delaySeconds <= 0) {
    update(target, 0);
    Q_EMIT settled();
    return;
  }
  auto* run = new Run(this, curve, delaySeconds);
  run_ = run;
  connect(run, &QAbstractAnimation::finished, this, [this, run] {
    if (run_ == run) run_ = nullptr;
    run->deleteLater();
    Q_EMIT settled();
  });
  run->start();
}

void AnimatedValue::setValue(double value) {
  stopRun();
  target_ = value;
  update(value, 0);
}

void AnimatedValue::stopRun() {
  if (!run_) return;
  QAbstractAnimation* run = run_;
  run_ = nullptr;
  run->disconnect(this);
  run->stop();
  run->deleteLater();
}

void AnimatedValue::update(double value, double velocity) {
  velocity_ = velocity;
  if (value == value_) return;
  value_ = value;
  Q_EMIT valueChanged(value_);
}

}  // namespace tervane
