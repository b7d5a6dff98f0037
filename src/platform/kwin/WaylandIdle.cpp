#include "kwin/WaylandIdle.h"

#include <poll.h>
#include <wayland-client.h>

#include <cstring>

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

namespace tervane::kwin {
namespace {

const wl_registry_listener kRegistry = {&WaylandIdle::global, &WaylandIdle::globalRemove};
const ext_idle_notification_v1_listener kNotification = {
    [](void* self, ext_idle_notification_v1*) { static_cast<WaylandIdle*>(self)->stamp(true); },
    [](void* self, ext_idle_notification_v1*) { static_cast<WaylandIdle*>(self)->stamp(false); }};
const org_kde_kwin_idle_timeout_listener kKdeTimeout = {
    [](void* self, org_kde_kwin_idle_timeout*) { static_cast<WaylandIdle*>(self)->stamp(true); },
    [](void* self, org_kde_kwin_idle_timeout*) { static_cast<WaylandIdle*>(self)->stamp(false); }};

}  // namespace

Result<std::unique_ptr<WaylandIdle>> WaylandIdle::connect(std::chrono::milliseconds step) {
  std::unique_ptr<WaylandIdle> idle(new WaylandIdle(step));
  idle->display_ = wl_display_connect(nullptr);
  if (!idle->display_) return Error{"no Wayland display", 0};
  idle->registry_ = wl_display_get_registry(idle->display_);
  wl_registry_add_listener(idle->registry_, &kRegistry, idle.get());
  if (wl_display_roundtrip(idle->display_) < 0) return Error{"the Wayland display went away", 0};
  if (!idle->seat_ || (!idle->notifier_ && !idle->kde_)) {
    return Error{"the compositor offers no idle notification", 0};
  }
  const auto timeout = static_cast<std::uint32_t>(step.count());
  if (idle->notifier_) {
    idle->notification_ =
        ext_idle_notifier_v1_get_idle_notification(idle->notifier_, timeout, idle->seat_);
    ext_idle_notification_v1_add_listener(idle->notification_, &kNotification, idle.get());
  } else {
    idle->kdeTimeout_ = org_kde_kwin_idle_get_idle_timeout(idle->kde_, idle->seat_, timeout);
    org_kde_kwin_idle_timeout_add_listener(idle->kdeTimeout_, &kKdeTimeout, idle.get());
  }
  wl_display_flush(idle->display_);
  return idle;
}

WaylandIdle::~WaylandIdle() {
  if (notification_) ext_idle_notification_v1_destroy(notification_);
  if (notifier_) ext_idle_notifier_v1_destroy(notifier_);
  if (kdeTimeout_) org_kde_kwin_idle_timeout_release(kdeTimeout_);
  if (kde_) org_kde_kwin_idle_destroy(kde_);
  if (seat_) wl_seat_destroy(seat_);
  if (registry_) wl_registry_destroy(registry_);
  if (display_) wl_display_disconnect(display_);
}

void WaylandIdle::global(void* self, wl_registry* registry, std::uint32_t name,
                         const char* interface, std::uint32_t /*version*/) {
  auto* idle = static_cast<WaylandIdle*>(self);
  if (std::strcmp(interface, wl_seat_interface.name) == 0 && !idle->seat_) {
    idle->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
  } else if (std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
    idle->notifier_ = static_cast<ext_idle_notifier_v1*>(
        wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, 1));
  } else if (std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
    idle->kde_ = static_cast<org_kde_kwin_idle*>(
        wl_registry_bind(registry, name, &org_kde_kwin_idle_interface, 1));
  }
}

void WaylandIdle::stamp(bool idled) {
  if (idled) {
    idledAt_ = std::chrono::steady_clock::now();
  } else {
    idledAt_.reset();
  }
}

int WaylandIdle::fileDescriptor() const {
  return wl_display_get_fd(display_);
}

bool WaylandIdle::dispatch() {
  while (wl_display_prepare_read(display_) != 0) {
    if (wl_display_dispatch_pending(display_) < 0) return false;
  }
  wl_display_flush(display_);
  pollfd p{wl_display_get_fd(display_), POLLIN, 0};
  if (::poll(&p, 1, 0) > 0) {
    if (wl_display_read_events(display_) < 0) return false;
  } else {
    wl_display_cancel_read(display_);
  }
  return wl_display_dispatch_pending(display_) >= 0;
}

double WaylandIdle::idleSeconds() {
  (void)dispatch();
  if (!idledAt_) return 0.0;
  return std::chrono::duration<double>(step_ + (std::chrono::steady_clock::now() - *idledAt_))
      .count();
}

}  // namespace tervane::kwin
