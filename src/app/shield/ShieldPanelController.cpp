#include "app/shield/ShieldPanelController.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "app/paint/AnimatedValue.h"
#include "app/panels/WorkspaceHints.h"
#include "look/ShieldLayout.h"

namespace tervane {
namespace {

Rect toRect(const QRect& r) {
  return Rect{static_cast<double>(r.x()), static_cast<double>(r.y()),
              static_cast<double>(r.width()), static_cast<double>(r.height())};
}

// The screen the person is working on: the one under the pointer, else the primary one.
QScreen* mainScreen() {
  if (QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) return screen;
  return QGuiApplication::primaryScreen();
}

QRect coveredFrame() {
  std::optional<Rect> main;
  if (QScreen* screen = mainScreen()) main = toRect(screen->geometry());
  std::vector<Rect> screens;
  for (QScreen* screen : QGuiApplication::screens()) screens.push_back(toRect(screen->geometry()));
  const Rect frame = ShieldLayout::screenFrame(main, screens);
  return QRect(static_cast<int>(frame.x), static_cast<int>(frame.y), static_cast<int>(frame.width),
               static_cast<int>(frame.height));
}

}  // namespace

ShieldPanelController::ShieldPanelController(std::shared_ptr<MainQueue> main, ThemeManager& theme,
                                             QObject* parent)
    : QObject(parent), main_(std::move(main)), theme_(theme) {}

ShieldPanelController::~ShieldPanelController() {
  delete panel_.data();
  for (auto& window : fading_) delete window.data();
}

void ShieldPanelController::present(const StageItem& item, const std::string& actionText,
                                    std::function<void(bool)> onAnswer) {
  if (panel_) return;

  auto* window =
      new QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  window->setAttribute(Qt::WA_TranslucentBackground);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QStringLiteral("Tervane Now"));
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* view = new ShieldView(theme_, QString::fromStdString(actionText),
                              QString::fromStdString(item.name), std::move(onAnswer), window);
  layout->addWidget(view);
  window->setFocusProxy(view);
  window->setGeometry(coveredFrame());

  WorkspaceHints::prepareForEveryWorkspace(*window);
  // Full screen, so the window manager lets it cover its own panels too.
  window->showFullScreen();
  WorkspaceHints::keepOnEveryWorkspace(*window);
  WorkspaceHints::activate(*window);
  view->setFocus(Qt::ActiveWindowFocusReason);
  // The keyboard is the shield's even when the window manager keeps focus elsewhere.
  view->grabKeyboard();
  panel_ = window;
  view_ = view;
}

void ShieldPanelController::dismiss() {
  if (!panel_) return;
  QPointer<QWidget> window = panel_;
  panel_ = nullptr;
  if (view_) view_->releaseKeyboard();
  view_ = nullptr;
  window->setEnabled(false);

  auto* fade = new AnimatedValue(1, window);
  connect(fade, &AnimatedValue::valueChanged, window,
          [w = window.data()](double value) { w->setWindowOpacity(std::clamp(value, 0.0, 1.0)); });
  fade->animateTo(0, Motion::easeOut(kFadeSeconds));

  fading_.push_back(window);
  QPointer<ShieldPanelController> self(this);
  main_->postAfter(kFadeSeconds, [self, window] {
    if (self) {
      auto& list = self->fading_;
      list.erase(std::remove_if(list.begin(), list.end(),
                                [&](const QPointer<QWidget>& w) { return !w || w == window; }),
                 list.end());
    }
    if (window) window->close();
  });
}

int ShieldPanelController::fading() const {
  return static_cast<int>(fading_.size());
}

}  // namespace tervane
