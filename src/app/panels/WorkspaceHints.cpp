#include "app/panels/WorkspaceHints.h"

#include <xcb/xcb.h>

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string_view>
#include <utility>

namespace tervane::WorkspaceHints {
namespace {

// "Every workspace" in _NET_WM_DESKTOP.
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
constexpr std::uint32_t kAdd = 1;
// The request comes from an ordinary application.
constexpr std::uint32_t kSourceApplication = 1;

// Runs an action once, the first time a window is exposed, then goes.
class WhenExposed final : public QObject {
 public:
  WhenExposed(QWindow& window, std::function<void()> action)
      : QObject(&window), window_(window), action_(std::move(action)) {
    window.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_ && event->type() == QEvent::Expose && window_.isExposed() && action_) {
      std::exchange(action_, nullptr)();
      deleteLater();
    }
    return false;
  }

 private:
  QWindow& window_;
  std::function<void()> action_;
};

xcb_connection_t* connection() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, std::string_view name) {
  const auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data());
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
  if (!reply) return XCB_ATOM_NONE;
  const xcb_atom_t value = reply->atom;
  std::free(reply);
  return value;
}

xcb_window_t rootOf(xcb_connection_t* c, xcb_window_t window) {
  const auto cookie = xcb_get_geometry(c, window);
  xcb_get_geometry_reply_t* reply = xcb_get_geometry_reply(c, cookie, nullptr);
  if (!reply) return XCB_WINDOW_NONE;
  const xcb_window_t root = reply->root;
  std::free(reply);
  return root;
}

void sendToRoot(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, xcb_atom_t type,
                std::uint32_t d0, std::uint32_t d1, std::uint32_t d2, std::uint32_t d3) {
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = type;
  event.data.data32[0] = d0;
  event.data.data32[1] = d1;
  event.data.data32[2] = d2;
  event.data.data32[3] = d3;
  xcb_send_event(c, 0, root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
}

}  // namespace

void prepareForEveryWorkspace(QWidget& window) {
  xcb_connection_t* c = connection();
  if (!c) return;
  const auto id = static_cast<xcb_window_t>(window.winId());
  const xcb_atom_t desktop = atom(c, "_NET_WM_DESKTOP");
  if (desktop == XCB_ATOM_NONE) return;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1,
                      &kAllDesktops);
  xcb_flush(c);
}

void keepOnEveryWorkspace(QWidget& window) {
  xcb_connection_t* c = connection();
  if (!c) return;
  const auto id = static_cast<xcb_window_t>(window.winId());
  const xcb_window_t root = rootOf(c, id);
  const xcb_atom_t desktop = atom(c, "_NET_WM_DESKTOP");
  const xcb_atom_t state = atom(c, "_NET_WM_STATE");
  const xcb_atom_t sticky = atom(c, "_NET_WM_STATE_STICKY");
  const xcb_atom_t skipTaskbar = atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
  if (root == XCB_WINDOW_NONE || desktop == XCB_ATOM_NONE || state == XCB_ATOM_NONE) return;
  sendToRoot(c, root, id, desktop, kAllDesktops, kSourceApplication, 0, 0);
  sendToRoot(c, root, id, state, kAdd, sticky, skipTaskbar, kSourceApplication);
  xcb_flush(c);
}

void activate(QWidget& window) {
  window.raise();
  xcb_connection_t* c = connection();
  xcb_window_t id = XCB_WINDOW_NONE;
  xcb_window_t root = XCB_WINDOW_NONE;
  xcb_atom_t active = XCB_ATOM_NONE;
  if (c) {
    id = static_cast<xcb_window_t>(window.winId());
    root = rootOf(c, id);
    active = atom(c, "_NET_ACTIVE_WINDOW");
  }
  if (root == XCB_WINDOW_NONE || active == XCB_ATOM_NONE) {
    window.activateWindow();
    return;
  }
  // Stamped "now": every panel opens at the person's request (a shortcut, the bee,
  // `tervane-now open`, the first launch) or to shield the stage. Qt would stamp it with
  // the last event it saw, which a manager that prevents focus stealing refuses when the
  // person has typed elsewhere since; and a shortcut's own key is no better, since such a
  // manager may have seen the shortcut's modifiers let go after it.
  auto ask = [c, root, id, active] {
    sendToRoot(c, root, id, active, kSourceApplication, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0);
    xcb_flush(c);
  };
  QWindow* handle = window.windowHandle();
  if (!handle || handle->isExposed()) {
    ask();
  } else {
    // A manager gives the keyboard only to a window it shows: asked before then, it may
    // settle on its own choice when it maps the window.
    new WhenExposed(*handle, std::move(ask));
  }
}

}  // namespace tervane::WorkspaceHints
