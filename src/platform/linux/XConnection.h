// The one connection to the X server that the whole X11 desktop layer shares: the app
// surface, the activation source, the presence hook and the scriptable browsers all talk
// through it, from the main thread and from the browsers' lane threads (xcb itself is
// thread-safe; the event queue here is locked).
//
// Every reply is owned by an `XReply` and freed with it. Events are never read by a loop
// of our own: the owner of the main loop watches `fileDescriptor()` and calls `dispatch()`
// when it is readable. Waiting for a reply can pull events off the socket into memory,
// where the descriptor no longer shows them, so every wait here moves such events into
// this connection's queue and calls the wake handler; the main loop answers that with a
// `dispatch()` too (the application posts it to its main queue).
#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Result.h"
#include "base/Signal.h"

namespace tervane::x11 {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
// A reply or an event as xcb hands it over: malloc'ed, freed when the owner goes.
template <class T>
using XReply = std::unique_ptr<T, FreeDeleter>;
using XEvent = std::shared_ptr<const xcb_generic_event_t>;

// The atoms the layer needs beyond the EWMH set.
struct ExtraAtoms {
  xcb_atom_t wmState = XCB_ATOM_NONE;        // WM_STATE
  xcb_atom_t wmChangeState = XCB_ATOM_NONE;  // WM_CHANGE_STATE
};

class XConnection {
 public:
  // Connects to `displayName`, or to $DISPLAY when it is empty.
  static Result<std::shared_ptr<XConnection>> open(const std::string& displayName = {});
  ~XConnection();

  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;

  xcb_connection_t* raw() const { return connection_; }
  // The display this connection was opened on, as asked ("" for $DISPLAY).
  const std::string& displayName() const { return displayName_; }
  xcb_ewmh_connection_t* ewmh() { return &ewmh_; }
  const xcb_ewmh_connection_t& atoms() const { return ewmh_; }
  const ExtraAtoms& extraAtoms() const { return extra_; }
  xcb_window_t root() const { return root_; }
  int screenNumber() const { return screenNumber_; }
  // True once the server has gone or the stream broke; every later request fails.
  bool hasError() const { return xcb_connection_has_error(connection_) != 0; }

  // Waits for the reply of `cookie` with xcb's typed reply function; none on an X error
  // or a broken connection. Any event read meanwhile is queued for `dispatch()`.
  template <class Reply, class Cookie>
  XReply<Reply> reply(Reply* (*replyFn)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                      Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    XReply<Reply> answer(replyFn(connection_, cookie, &error));
    std::free(error);
    collectQueuedEvents();
    return answer;
  }

  // Waits for the outcome of a checked request (one made with an `_checked` function);
  // the X error code when it failed, none when it succeeded. A broken connection reads
  // as the error code 0. Any event read meanwhile is queued for `dispatch()`.
  std::optional<std::uint8_t> check(xcb_void_cookie_t cookie);

  // Sends every buffered request.
  void flush();
  // A round trip: returns once the server has handled every request sent before.
  void sync();

  // --- Events -----------------------------------------------------------------------
  int fileDescriptor() const { return xcb_get_file_descriptor(connection_); }
  // Delivers every event already received, then every one the socket holds, to the
  // handlers; never blocks. Main thread (the thread that runs the handlers). False once
  // the connection is broken (the server went away): its descriptor then stays readable
  // for ever, and the main loop must stop watching it.
  bool dispatch();
  // Blocks until an event can be dispatched or `seconds` pass; true when one can. For
  // command-line tools and tests that have no main loop of their own.
  bool waitForEvent(double seconds);
  // Called (from any thread) when events were moved into the queue while the descriptor
  // may show nothing; the main loop should then `dispatch()` soon.
  void setWakeHandler(std::function<void()> wake);

  using EventSignal = Signal<XEvent>;
  [[nodiscard]] EventSignal::Connection onEvent(EventSignal::Slot handler) {
    return events_.connect(std::move(handler));
  }

  // Adds `mask` to the events this connection selects on the root window.
  void selectRootEvents(std::uint32_t mask);

  // The windows a tiling manager keeps put away without iconifying them (its scratchpad),
  // asked of `query`; set once, before the connection is shared.
  void setStowedQuery(std::function<std::set<std::int64_t>()> query) {
    stowedQuery_ = std::move(query);
  }
  std::set<std::int64_t> stowedByManager() const {
    return stowedQuery_ ? stowedQuery_() : std::set<std::int64_t>{};
  }

 private:
  XConnection() = default;
  void collectQueuedEvents();

  xcb_connection_t* connection_ = nullptr;
  std::string displayName_;
  xcb_ewmh_connection_t ewmh_{};
  bool ewmhReady_ = false;
  ExtraAtoms extra_;
  xcb_window_t root_ = XCB_WINDOW_NONE;
  int screenNumber_ = 0;

  std::mutex queueMutex_;
  std::deque<XEvent> queue_;
  std::function<void()> wake_;
  std::function<std::set<std::int64_t>()> stowedQuery_;
  std::uint32_t rootMask_ = 0;
  EventSignal events_;
};

// Seconds since the person's last key press or pointer movement (MIT-SCREEN-SAVER); none
// when the server lacks the extension.
std::optional<double> idleSeconds(XConnection& connection);

}  // namespace tervane::x11
