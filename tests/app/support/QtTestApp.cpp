#include "support/QtTestApp.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QWidget>
#include <cstdlib>

#include "app/paint/AppFonts.h"

namespace tervane::testing {
namespace {

class QtEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "tervane_app_tests";
    static char* argv[] = {name, nullptr};
    // The application lives to the end of the process: widgets of static fixtures may
    // still refer to it while statics are destroyed.
    new QApplication(argc, argv);
    AppFonts::load();
    AnimationClock::instance().install();
  }
};

// The offscreen platform cannot pass size hints to a window manager it does not have.
QtMessageHandler previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains(QLatin1String("propagateSizeHints"))) return;
  if (previousHandler) previousHandler(type, context, message);
}

// Before anything of Qt runs: no display is needed.
const bool offscreen = [] {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  previousHandler = qInstallMessageHandler(quietHandler);
  ::testing::AddGlobalTestEnvironment(new QtEnvironment);
  return true;
}();

}  // namespace

AnimationClock& AnimationClock::instance() {
  static auto* clock = new AnimationClock;
  return *clock;
}

void AnimationClock::advance(double seconds) {
  // Animations started since the last step join the timer through the event loop, so
  // events are handled before every frame. While no animation runs the driver is stopped
  // and its time stands still, as Qt expects of a driver.
  QApplication::processEvents();
  for (qint64 left = static_cast<qint64>(seconds * 1000); left > 0; left -= 16) {
    if (!isRunning()) QApplication::processEvents();
    if (!isRunning()) continue;
    elapsed_ += std::min<qint64>(16, left);
    QAnimationDriver::advance();
    QApplication::processEvents();
  }
}

void writeScreen(QWidget& widget, const QString& name, QColor backdrop,
                 const std::vector<QRect>& windows) {
  QImage image(widget.size() * 2, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(2);
  image.fill(backdrop);
  QPainter painter(&image);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(236, 236, 240));
  for (const QRect& window : windows) painter.drawRoundedRect(window, 10, 10);
  // Over a backdrop only a see-through panel's children are drawn.
  widget.render(&painter, QPoint(), QRegion(),
                backdrop.alpha() == 0 ? QWidget::DrawWindowBackground | QWidget::DrawChildren
                                      : QWidget::DrawChildren);
  painter.end();
  image.save(QDir(QStringLiteral(TERVANE_TEST_BUILD_DIR)).filePath(name + ".png"));
}

}  // namespace tervane::testing
