// The offscreen Qt application every app test runs in, with the look's fonts and with
// animation time moved forward at once by `AnimationClock::advance`.
#pragma once

#include <QAnimationDriver>
#include <QColor>
#include <QRect>
#include <QString>

#include <ostream>
#include <vector>

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

// Writes the widget, drawn at twice its size as on a high-density screen, into the test
// build folder as <name>.png; a see-through panel over a backdrop and desktop windows.
void writeScreen(QWidget& widget, const QString& name, QColor backdrop = Qt::transparent,
                 const std::vector<QRect>& windows = {});

}  // namespace tervane::testing
