#include "app/panels/Entrance.h"

#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <algorithm>

#include "app/paint/AnimatedValue.h"

namespace tervane {

void enterStaged(QWidget* widget, const Motion& motion, double delaySeconds) {
  if (!widget) return;
  // The effect owns the motion; replacing the effect ends an entrance still running.
  auto* effect = new QGraphicsOpacityEffect(widget);
  effect->setOpacity(0);
  widget->setGraphicsEffect(effect);
  auto* value = new AnimatedValue(0, effect);
  QObject::connect(value, &AnimatedValue::valueChanged, effect, [widget, effect](double v) {
    effect->setOpacity(std::clamp(v, 0.0, 1.0));
    if (v < 1) return;
    // Fully in: drawn plainly from now on. Removing the effect deletes the
    // motion, so it waits until the motion has finished signalling.
    QPointer<QGraphicsOpacityEffect> done(effect);
    QMetaObject::invokeMethod(
        widget,
        [widget, done] {
          if (done && widget->graphicsEffect() == done) {
            widget->setGraphicsEffect(nullptr);
          }
        },
        Qt::QueuedConnection);
  });
  value->animateTo(1, motion, delaySeconds);
}

}  // namespace tervane
