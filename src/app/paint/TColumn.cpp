#include "app/paint/TColumn.h"

#include <QEvent>

namespace tervane {

TColumn::TColumn(QWidget* parent) : QWidget(parent), column_(new QVBoxLayout(this)) {
  column_->setContentsMargins(0, 0, 0, 0);
  column_->setSpacing(0);
}

bool TColumn::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // The layout inside changed; the parent's layout keeps this column's height for a width
  // until told, so tell it.
  if (event->type() == QEvent::LayoutRequest) updateGeometry();
  return handled;
}

}  // namespace tervane
