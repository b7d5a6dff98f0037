// What the window manager tells about its client windows, read in one batch per call:
// the client list (mapping or stacking order), each window's WM_CLASS, process id, type,
// state and title, and the active window. Plus the requests that move them: iconify by
// ICCCM WM_CHANGE_STATE, restore without taking the focus, activate and restack through
// the EWMH root messages with the pager's source indication.
//
// An "application" on X11 is a WM_CLASS class; the four browsers have fixed identifiers
// (Chromium builds count as Chrome), every other class is its own identifier.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "linux/XConnection.h"
#include "stage/BrowserKind.h"

namespace tervane::x11 {

struct ClientWindow {
  xcb_window_t window = XCB_WINDOW_NONE;
  std::string instanceName;
  std::string className;
  std::optional<std::uint32_t> pid;
  // _NET_WM_WINDOW_TYPE_NORMAL, or no type and not transient for another window.
  bool isNormal = false;
  bool skipsTaskbar = false;
  bool isHidden = false;  // _NET_WM_STATE_HIDDEN
  bool isIconic = false;  // WM_STATE IconicState, or in a tiling manager's scratchpad
  std::string title;      // only when titles were asked for

  // A window that makes its class a "regular" application: managed (it is a client),
  // normal, on the taskbar, with a class.
  bool isRegular() const { return isNormal && !skipsTaskbar && !className.empty(); }
  bool isMinimized() const { return isIconic || isHidden; }
};

enum class ClientOrder {
  mapping,   // _NET_CLIENT_LIST: the order the window manager took them on
  stacking,  // _NET_CLIENT_LIST_STACKING: bottom to top
};

// The managed client windows; empty when the window manager publishes no list.
std::vector<xcb_window_t> clientList(XConnection& connection, ClientOrder order);

// Reads the windows' properties in one round trip; windows that have gone are left out.
std::vector<ClientWindow> readClients(XConnection& connection,
                                      const std::vector<xcb_window_t>& windows,
                                      bool withTitles = false);
std::optional<ClientWindow> readClient(XConnection& connection, xcb_window_t window,
                                       bool withTitle = false);
// Reads again what changes while a window is managed (minimized, off the taskbar), in one
// round trip; windows that have gone are removed.
void refreshStates(XConnection& connection, std::vector<ClientWindow>& windows);

// The managed windows with what they are (class, process, type), read again only when
// the client list changed: a window keeps its class while it is managed. Their state
// (`isIconic`, `isHidden`, `skipsTaskbar`) is as of that read; refresh it before use.
class ClientCache {
 public:
  // In client order.
  const std::vector<ClientWindow>& clients(XConnection& connection);
  // The managed windows that satisfy `predicate` (judged on what they are), in client
  // order, with their state read now.
  std::vector<ClientWindow> matching(XConnection& connection,
                                     const std::function<bool(const ClientWindow&)>& predicate);
  // The window as last read, when it was managed then.
  std::optional<ClientWindow> find(xcb_window_t window) const;

 private:
  std::vector<xcb_window_t> list_;
  std::vector<ClientWindow> clients_;
};

// _NET_ACTIVE_WINDOW; none when no window is active.
std::optional<xcb_window_t> activeWindow(XConnection& connection);

// The requests below are buffered; the caller flushes.
void iconify(XConnection& connection, xcb_window_t window);
void restore(XConnection& connection, xcb_window_t window);
void requestActivation(XConnection& connection, xcb_window_t window);
// Puts the window on top of its stacking layer without giving it the focus.
void raiseWithoutFocus(XConnection& connection, xcb_window_t window);

// The application identifier of a window class: a browser's fixed identifier, else the
// class itself.
std::string appIdentifier(std::string_view className);
// The browser (of the Chromium family, or Firefox) a window class belongs to, if any.
std::optional<BrowserKind> browserKindForClass(std::string_view className);
// Every browser window class (lower-cased) with the application identifier it stands for.
std::map<std::string, std::string> browserClassIdentifiers();
// The browser whose process has this executable name (as in /proc/PID/comm), if any.
std::optional<BrowserKind> browserKindForProcess(std::string_view processName);
// A browser window's title less the browser's own " - Name" (Firefox: " — Name") suffix.
std::string tabTitleFromWindowTitle(BrowserKind kind, std::string_view windowTitle);

// This application's own windows: its WM_CLASS class, or its process.
struct OwnIdentity {
  static constexpr const char* kClassName = "tervane-now";

  std::string className = kClassName;
  std::optional<std::uint32_t> pid = static_cast<std::uint32_t>(::getpid());

  bool owns(const ClientWindow& window) const {
    return window.className == className || (pid && window.pid == pid);
  }
};

}  // namespace tervane::x11
