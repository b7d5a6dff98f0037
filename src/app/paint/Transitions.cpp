#include "app/paint/Transitions.h"

#include <QGraphicsOpacityEffect>
#include <QPointer>
#include <algorithm>

#include "app/paint/AnimatedValue.h"

namespace tervane {

void fadeIn(QWidget* widget, const Motion& motion) {
  auto* effect = new QGraphicsOpacityEffect(widget);
  effect->setOpacity(0);
  widget->setGraphicsEffect(effect);
  auto* value = new AnimatedValue(0, effect);
  QObject::connect(value, &AnimatedValue::valueChanged, effect,
                   [effect](double v) { effect->setOpacity(std::clamp(v, 0.0, 1.0)); });
  QObject::connect(value, &AnimatedValue::settled, effect, [widget, effect] {
    // Removing the effect deletes it and the value, so it is done once the value has
    // finished speaking.
    QPointer<QWidget> target(widget);
    QMetaObject::invokeMethod(
        widget,
        [target, effect] {
          if (target && target->graphicsEffect() == effect) target->setGraphicsEffect(nullptr);
        },
        Qt::QueuedConnection);
  });
  value->animateTo(1, motion);
}

}  // namespace tervane
