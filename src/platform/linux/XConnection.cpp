#include "linux/XConnection.h"

#include <poll.h>
#include <xcb/screensaver.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

namespace tervane::x11 {

namespace {

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
  const auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
  xcb_generic_error_t* error = nullptr;
  XReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookie, &error));
  std::free(error);
  return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

Result<std::shared_ptr<XConnection>> XConnection::open(const std::string& displayName) {
  std::shared_ptr<XConnection> self(new XConnection());
  int screen = 0;
  self->connection_ = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screen);
  if (const int failure = xcb_connection_has_error(self->connection_); failure != 0) {
    const std::string shown = displayName.empty() ? "the display in DISPLAY" : displayName;
    return Error{"cannot connect to " + shown, failure};
  }
  self->screenNumber_ = screen;
  self->displayName_ = displayName;
  auto it = xcb_setup_roots_iterator(xcb_get_setup(self->connection_));
  for (int i = 0; i < screen && it.rem > 0; ++i) xcb_screen_next(&it);
  if (it.rem == 0) return Error{"the display has no screen " + std::to_string(screen), 0};
  self->root_ = it.data->root;

  xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(self->connection_, &self->ewmh_);
  if (cookies == nullptr || xcb_ewmh_init_atoms_replies(&self->ewmh_, cookies, nullptr) == 0) {
    return Error{"cannot read the window manager's atoms", 0};
  }
  self->ewmhReady_ = true;
  self->extra_.wmState = internAtom(self->connection_, "WM_STATE");
  self->extra_.wmChangeState = internAtom(self->connection_, "WM_CHANGE_STATE");
  self->collectQueuedEvents();
  return self;
}

XConnection::~XConnection() {
  if (ewmhReady_) xcb_ewmh_connection_wipe(&ewmh_);
  // The EWMH structure borrows the connection; it is wiped first.
  if (connection_ != nullptr) xcb_disconnect(connection_);
}

std::optional<std::uint8_t> XConnection::check(xcb_void_cookie_t cookie) {
  XReply<xcb_generic_error_t> error(xcb_request_check(connection_, cookie));
  collectQueuedEvents();
  if (error) return error->error_code;
  if (hasError()) return std::uint8_t{0};
  return std::nullopt;
}

void XConnection::flush() {
  xcb_flush(connection_);
}

void XConnection::sync() {
  reply(xcb_get_input_focus_reply, xcb_get_input_focus(connection_));
}

void XConnection::collectQueuedEvents() {
  bool added = false;
  std::function<void()> wake;
  {
    std::lock_guard lock(queueMutex_);
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_)) {
      queue_.emplace_back(event, FreeDeleter{});
      added = true;
    }
    if (added) wake = wake_;
  }
  if (wake) wake();
}

bool XConnection::dispatch() {
  std::deque<XEvent> ready;
  {
    std::lock_guard lock(queueMutex_);
    // Events already in memory came first; the socket's come after them.
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
      queue_.emplace_back(event, FreeDeleter{});
    }
    ready.swap(queue_);
  }
  for (const auto& event : ready) events_.emit(event);
  return !hasError();
}

bool XConnection::waitForEvent(double seconds) {
  {
    std::lock_guard lock(queueMutex_);
    if (!queue_.empty()) return true;
    if (xcb_generic_event_t* event = xcb_poll_for_queued_event(connection_)) {
      queue_.emplace_back(event, FreeDeleter{});
      return true;
    }
  }
  if (hasError()) return false;
  flush();
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(std::max(0.0, seconds)));
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd fd{fileDescriptor(), POLLIN, 0};
    const int ready = ::poll(&fd, 1, static_cast<int>(std::max<std::int64_t>(0, left.count())));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

void XConnection::setWakeHandler(std::function<void()> wake) {
  std::lock_guard lock(queueMutex_);
  wake_ = std::move(wake);
}

void XConnection::selectRootEvents(std::uint32_t mask) {
  std::uint32_t combined = 0;
  {
    std::lock_guard lock(queueMutex_);
    rootMask_ |= mask;
    combined = rootMask_;
  }
  xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &combined);
  flush();
}

std::optional<double> idleSeconds(XConnection& connection) {
  // A request of a missing extension would close the connection; ask first.
  const xcb_query_extension_reply_t* extension =
      xcb_get_extension_data(connection.raw(), &xcb_screensaver_id);
  if (extension == nullptr || extension->present == 0) return std::nullopt;
  auto info = connection.reply(xcb_screensaver_query_info_reply,
                               xcb_screensaver_query_info(connection.raw(), connection.root()));
  if (!info) return std::nullopt;
  return info->ms_since_user_input / 1000.0;
}

}  // namespace tervane::x11
