#include "linux/X11ActivationSource.h"

namespace tervane::x11 {

X11ActivationSource::X11ActivationSource(std::shared_ptr<XConnection> connection, OwnIdentity own,
                                         std::shared_ptr<const WindowMover> mover)
    : connection_(std::move(connection)), own_(std::move(own)), mover_(std::move(mover)) {
  connection_->selectRootEvents(XCB_EVENT_MASK_PROPERTY_CHANGE);
  events_ = connection_->onEvent([this](const XEvent& event) {
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
    if (notify->window == connection_->root() &&
        notify->atom == connection_->atoms()._NET_ACTIVE_WINDOW) {
      activeWindowChanged();
    }
  });
  if (const auto front = readFront()) {
    last_ = front->id;
    lastWindow_ = front->window;
  }
}

std::optional<X11ActivationSource::Front> X11ActivationSource::readFront() const {
  const auto active = activeWindow(*connection_);
  if (!active) return std::nullopt;
  const auto window = readClient(*connection_, *active);
  if (!window || window->className.empty()) return std::nullopt;
  if (own_.owns(*window)) return Front{own_.className, *active, true};
  return Front{appIdentifier(window->className), *active, false};
}

std::optional<std::string> X11ActivationSource::frontmostApplication() const {
  if (const auto front = readFront()) return front->id;
  return std::nullopt;
}

ActivationSource::Subscription X11ActivationSource::onActivation(Handler handler) {
  return activations_.connect(
      [handler = std::move(handler)](const std::string& id) { handler(id); });
}

void X11ActivationSource::activeWindowChanged() {
  // The property is read now rather than taken from the event: several quick changes
  // then read as the one that stands, and are reported once.
  const auto front = readFront();
  if (!front) {
    if (lastWindow_) {
      const auto window = readClient(*connection_, *lastWindow_);
      if (!window || window->isMinimized()) last_.reset();
    }
    return;
  }
  if (const auto owed = mover_ ? mover_->focusOwedBy(front->window) : std::nullopt) {
    requestActivation(*connection_, *owed);
    connection_->flush();
    return;
  }
  lastWindow_ = front->window;
  if (front->id == last_) return;
  last_ = front->id;
  if (!front->isOwn) activations_.emit(front->id);
}

void X11ActivationSource::reportReturn(const std::string& bundleId) {
  activations_.emit(bundleId);
}

}  // namespace tervane::x11
