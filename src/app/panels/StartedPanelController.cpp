#include "app/panels/StartedPanelController.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "app/paint/AnimatedValue.h"

namespace tervane {

QPoint startedNoteOrigin(const QRect& available, const QSize& size) {
  const int x = available.x() + (available.width() - size.width()) / 2;
  const double middle = available.y() + available.height() / 2.0;
  // Screen coordinates grow downwards here: raising the note means a smaller y.
  const double y =
      middle - size.height() / 2.0 - StartedPanelController::kRaise * available.height();
  return {x, static_cast<int>(std::lround(y))};
}

StartedPanelController::StartedPanelController(std::shared_ptr<MainQueue> main, ThemeManager& theme,
                                               QObject* parent)
    : QObject(parent), main_(std::move(main)), theme_(theme) {}

StartedPanelController::~StartedPanelController() {
  close();
}

void StartedPanelController::show(const StageSnapshot& stage) {
  close();

  auto* window =
      new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                               Qt::X11BypassWindowManagerHint);
  window->setAttribute(Qt::WA_TranslucentBackground);
  window->setAttribute(Qt::WA_ShowWithoutActivating);
  window->setAttribute(Qt::WA_TransparentForMouseEvents);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QStringLiteral("Tervane Now"));
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* note = new StartedNote(theme_, stage, window);
  layout->addWidget(note);
  window->setFixedSize(note->size());

  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) window->move(startedNoteOrigin(screen->availableGeometry(), window->size()));

  // Left to itself by the window manager, the note stays on screen whichever workspace
  // is shown, above the windows it manages, and never takes focus.
  window->show();
  window->raise();
  panel_ = window;
  note_ = note;

  const std::uint64_t generation = generation_;
  QPointer<StartedPanelController> self(this);
  main_->postAfter(kShowSeconds, [self, generation] {
    if (self) self->fadeOut(generation);
  });
}

void StartedPanelController::fadeOut(std::uint64_t generation) {
  if (generation != generation_ || !panel_) return;
  fading_ = true;
  QWidget* window = panel_;
  auto* fade = new AnimatedValue(1, window);
  connect(fade, &AnimatedValue::valueChanged, window,
          [window](double value) { window->setWindowOpacity(std::clamp(value, 0.0, 1.0)); });
  fade->animateTo(0, Motion::easeOut(kFadeSeconds));
  QPointer<StartedPanelController> self(this);
  main_->postAfter(kFadeSeconds, [self, generation] {
    if (self && generation == self->generation_) self->close();
  });
}

void StartedPanelController::close() {
  ++generation_;
  fading_ = false;
  if (panel_) panel_->close();
  panel_ = nullptr;
  note_ = nullptr;
}

}  // namespace tervane
