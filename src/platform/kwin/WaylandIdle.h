// The person's idle time on a Wayland desktop, from the compositor's idle notification
// (ext-idle-notify-v1, which KWin offers, else KDE's older idle protocol, which sway 1.7
// offers): one notification with a short timeout says
// when input stopped (`idled`, the timeout after the last input) and when it came back
// (`resumed`). Idle seconds are the timeout plus the time since `idled`, or zero.
//
// Events: the owner of the main loop watches `fileDescriptor()` and calls `dispatch()`
// when it is readable, so that `idled` is stamped when it arrives; `idleSeconds()`
// reads what is waiting first. Main thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "base/Result.h"

struct wl_display;
struct wl_registry;
struct wl_seat;
struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;

namespace tervane::kwin {

class WaylandIdle {
 public:
  static constexpr std::chrono::milliseconds kStep{1000};

  // Connects to the compositor of WAYLAND_DISPLAY; an error when there is none or it has
  // no idle notification.
  static Result<std::unique_ptr<WaylandIdle>> connect(std::chrono::milliseconds step = kStep);
  ~WaylandIdle();
  WaylandIdle(const WaylandIdle&) = delete;
  WaylandIdle& operator=(const WaylandIdle&) = delete;

  double idleSeconds();
  bool isIdle() const { return idledAt_.has_value(); }

  int fileDescriptor() const;
  // Reads and handles what the compositor sent, without waiting; false once the
  // connection is gone.
  bool dispatch();

  // The compositor's callbacks.
  static void global(void* self, wl_registry* registry, std::uint32_t name, const char* interface,
                     std::uint32_t version);
  static void globalRemove(void*, wl_registry*, std::uint32_t) {}
  // Input stopped a step ago, or came back.
  void stamp(bool idled);

 private:
  explicit WaylandIdle(std::chrono::milliseconds step) : step_(step) {}

  std::chrono::milliseconds step_;
  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  ext_idle_notifier_v1* notifier_ = nullptr;
  ext_idle_notification_v1* notification_ = nullptr;
  org_kde_kwin_idle* kde_ = nullptr;
  org_kde_kwin_idle_timeout* kdeTimeout_ = nullptr;
  std::optional<std::chrono::steady_clock::time_point> idledAt_;
};

}  // namespace tervane::kwin
