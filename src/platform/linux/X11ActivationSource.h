// Which application is in front on the X11 desktop, and a callback each time another
// one comes forward: the window manager's `_NET_ACTIVE_WINDOW` on the root window,
// watched through PropertyNotify on the shared connection. One activation is reported per
// change of active application (focus moving between two windows of one application
// is not one), never for this application itself and never for a window without a class.
// A moment with no active window (between two windows, or on the bare desktop) changes
// nothing: coming back to the same application afterwards is not a new activation, unless
// the window that was active went out of sight meanwhile (minimized or closed): coming
// back to it then is.
// Main thread only: events arrive through the connection's `dispatch()`.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "base/Signal.h"
#include "linux/ClientWindows.h"
#include "linux/WindowMover.h"
#include "linux/XConnection.h"
#include "stage/ActivationSource.h"

namespace tervane::x11 {

class X11ActivationSource final : public ActivationSource {
 public:
  // With `mover`, a window it just restored taking the focus is not an activation: the
  // focus is handed back instead.
  explicit X11ActivationSource(std::shared_ptr<XConnection> connection, OwnIdentity own = {},
                               std::shared_ptr<const WindowMover> mover = nullptr);

  // This application's own identifier when one of its windows is in front.
  std::optional<std::string> frontmostApplication() const override;
  [[nodiscard]] Subscription onActivation(Handler handler) override;
  // An application came back into sight without taking the focus (a window of it was
  // de-iconified from a taskbar): reported as an activation.
  void reportReturn(const std::string& bundleId);

 private:
  struct Front {
    std::string id;
    xcb_window_t window = XCB_WINDOW_NONE;
    bool isOwn = false;
  };
  std::optional<Front> readFront() const;
  void activeWindowChanged();

  std::shared_ptr<XConnection> connection_;
  OwnIdentity own_;
  std::shared_ptr<const WindowMover> mover_;
  std::optional<std::string> last_;
  std::optional<xcb_window_t> lastWindow_;
  Signal<std::string> activations_;
  XConnection::EventSignal::Connection events_;
};

}  // namespace tervane::x11
