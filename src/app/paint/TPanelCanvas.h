// The backdrop of every panel: the deep background, lit from the upper left by a radial
// glow of ink at 0.07 (centred at 0.12, −0.05 of the panel, reaching 0.95 of its width) and
// from the top by a linear wash of ink at 0.07 fading out at the middle. Children are laid
// over it as on any widget.
#pragma once

#include <QWidget>

namespace tervane {

class TPanelCanvas : public QWidget {
  Q_OBJECT

 public:
  explicit TPanelCanvas(QWidget* parent = nullptr);

  // Paints the backdrop into `rect`; for panels that paint their own widget.
  static void paint(QPainter& painter, const QRectF& rect);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tervane
