#include "app/shell/ShellPanels.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>
#include <optional>
#include <utility>

#include "app/card/CaptureField.h"
#include "app/panels/WorkspaceHints.h"

namespace tervane {
namespace {

// Lets the person drag a frameless panel by any part of it that takes no click itself:
// presses that no control accepted come up to the window.
class BackgroundDrag final : public QObject {
 public:
  explicit BackgroundDrag(QWidget* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != window_) return false;
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        grab_ = mouse->globalPosition().toPoint() - window_->pos();
        return true;
      }
      case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!grab_ || !(mouse->buttons() & Qt::LeftButton)) return false;
        window_->move(mouse->globalPosition().toPoint() - *grab_);
        return true;
      }
      case QEvent::MouseButtonRelease:
        if (!grab_) return false;
        grab_.reset();
        return true;
      default:
        return false;
    }
  }

 private:
  QWidget* window_;
  std::optional<QPoint> grab_;
};

// A frameless panel above other windows, out of the task bar, on every workspace, whose
// transparent corners let the view's rounded backdrop show.
QWidget* makePanel(QWidget* content, const QSize& size) {
  auto* window =
      new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  window->setAttribute(Qt::WA_TranslucentBackground);
  window->setWindowTitle(QStringLiteral("Tervane Now"));
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  content->setParent(window);
  layout->addWidget(content);
  if (size.isValid()) {
    window->setFixedSize(size);
  } else {
    window->adjustSize();
  }
  return window;
}

QScreen* screenUnderPointer() {
  QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
  return screen ? screen : QGuiApplication::primaryScreen();
}

void centre(QWidget& window) {
  if (QScreen* screen = screenUnderPointer()) {
    const QRect available = screen->availableGeometry();
    window.move(available.center() - QPoint(window.width() / 2, window.height() / 2));
  }
}

// Shows the panel on every workspace and gives it the keyboard.
void present(QWidget& window) {
  WorkspaceHints::prepareForEveryWorkspace(window);
  window.show();
  WorkspaceHints::keepOnEveryWorkspace(window);
  WorkspaceHints::activate(window);
}

// Hides at once; the widget goes once the handler that asked for it has returned.
void release(QPointer<QWidget>& panel) {
  if (!panel) return;
  QWidget* window = panel;
  panel = nullptr;
  window->hide();
  window->deleteLater();
}

}  // namespace

QPoint capturePanelOrigin(const QRect& available, const QSize& size) {
  const int x = available.x() + (available.width() - size.width()) / 2;
  const double middle = available.y() + available.height() / 2.0;
  const double y =
      middle - size.height() / 2.0 - CapturePanelController::kRaise * available.height();
  return {x, static_cast<int>(std::lround(y))};
}

// ---- Capture -------------------------------------------------------------------------

CapturePanelController::CapturePanelController(FocusKeeper keepFocus, QObject* parent)
    : QObject(parent), keepFocus_(std::move(keepFocus)) {}

CapturePanelController::~CapturePanelController() {
  if (panel_) delete panel_.data();
}

void CapturePanelController::show(std::shared_ptr<MacNowModel> model, ThemeManager& theme) {
  if (panel_) {
    WorkspaceHints::activate(*panel_);
    return;
  }
  auto* field = new CaptureField(std::move(model), theme, [this] { close(); });
  QWidget* window = makePanel(field, QSize());
  if (QScreen* screen = screenUnderPointer()) {
    window->move(capturePanelOrigin(screen->availableGeometry(), window->size()));
  }
  window->installEventFilter(this);
  panel_ = window;
  handBack_ = keepFocus_ ? keepFocus_() : std::function<void()>();
  present(*window);
  field->setFocus(Qt::ActiveWindowFocusReason);
}

void CapturePanelController::close() {
  if (!panel_) return;
  panel_->removeEventFilter(this);
  release(panel_);
  if (auto handBack = std::exchange(handBack_, nullptr)) handBack();
}

bool CapturePanelController::eventFilter(QObject* watched, QEvent* event) {
  // Losing the keyboard to another window closes the panel, as if the person had left it.
  if (watched == panel_ && event->type() == QEvent::WindowDeactivate) close();
  return QObject::eventFilter(watched, event);
}

// ---- Walk-through --------------------------------------------------------------------

FirstRunPanelController::FirstRunPanelController(const KeyboardShortcuts& shortcuts,
                                                 FirstRunHooks hooks, QObject* parent)
    : QObject(parent), shortcuts_(shortcuts), hooks_(std::move(hooks)) {}

FirstRunPanelController::~FirstRunPanelController() {
  if (panel_) delete panel_.data();
}

void FirstRunPanelController::show(std::shared_ptr<MacNowModel> model, ThemeManager& theme) {
  release(panel_);
  FirstRunHooks hooks = hooks_;
  hooks.withoutTrayNote = withoutTrayNote;
  // The walk-through ends through the model, which remembers it was seen and asks the
  // shell to close this panel.
  std::weak_ptr<MacNowModel> weak = model;
  hooks.dismiss = [weak] {
    if (auto model = weak.lock()) model->dismissFirstRun();
  };
  auto* view = new FirstRun(model, theme, FirstRun::hotkeyLines(shortcuts_), std::move(hooks));
  view_ = view;
  panel_ = makePanel(view, QSize(FirstRun::kWidth, FirstRun::kHeight));
  new BackgroundDrag(panel_);
  centre(*panel_);
  present(*panel_);
}

void FirstRunPanelController::close(bool handBackMachine) {
  release(panel_);
  view_ = nullptr;
  if (handBackMachine && openCard) openCard();
}

// ---- Help ----------------------------------------------------------------------------

HelpPanelController::HelpPanelController(HelpOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {}

HelpPanelController::~HelpPanelController() {
  if (panel_) delete panel_.data();
}

void HelpPanelController::show(ThemeManager& theme) {
  release(panel_);
  auto* view = new HelpView(theme, options_, [this] { close(); });
  view_ = view;
  panel_ = makePanel(view, QSize(HelpView::kWidth, HelpView::kHeight));
  new BackgroundDrag(panel_);
  centre(*panel_);
  present(*panel_);
}

void HelpPanelController::close() {
  release(panel_);
  view_ = nullptr;
}

}  // namespace tervane
