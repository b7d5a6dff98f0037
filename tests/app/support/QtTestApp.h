// The offscreen Qt application every app test runs in, with the look's fonts and with
// animation time moved forward at once by `AnimationClock::advance`.
#pragma once

#include <QAnimationDriver>
#include <QColor>
#include <QImage>
#include <QString>

#include <ostream>

class QWidget;

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace tervane::testing {

class AnimationClock final : public QAnimationDriver {
 public:
  static AnimationClock& instance();

  // Time since the animation timer last started the driver: it counts from there.
  qint64 elapsed() const override { return elapsed_ - startedAt_; }
  // Moves animation time forward in frames of 1/60 s.
  void advance(double seconds);
  // Long enough for every motion of the look, delays included, to come to rest.
  void settle() { advance(2.0); }

 protected:
  void start() override {
    startedAt_ = elapsed_;
    QAnimationDriver::start();
  }

 private:
  qint64 elapsed_ = 0;
  qint64 startedAt_ = 0;
};

// The widget drawn at twice its size, as on a high-density screen.
QImage render(QWidget& widget, double scale = 2);
// A see-through panel's children drawn at twice their size over a coloured backdrop.
QImage renderOver(QWidget& panel, QColor backdrop);
// Writes the image into the test build folder; gives the path written.
QString writeScreen(const QImage& image, const QString& name);

}  // namespace tervane::testing
