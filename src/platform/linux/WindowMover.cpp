#include "linux/WindowMover.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "linux/ClientWindows.h"

namespace tervane::x11 {

namespace {

constexpr int kSteps = 3;  // ask for NormalState, map, activate
// How long after a restore a restored window taking the focus is the manager's doing.
constexpr double kOwedSeconds = 1.0;

using Deadline = std::chrono::steady_clock::time_point;

Deadline after(double seconds) {
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
             std::chrono::duration<double>(seconds));
}

double left(Deadline deadline) {
  return std::chrono::duration<double>(deadline - std::chrono::steady_clock::now()).count();
}

// Selects `mask` on the windows for this connection only; other clients' selections stay.
void select(XConnection& c, const std::vector<xcb_window_t>& windows, std::uint32_t mask) {
  for (xcb_window_t window : windows) {
    xcb_change_window_attributes(c.raw(), window, XCB_CW_EVENT_MASK, &mask);
  }
  c.flush();
}

// Waits for events (dropping them: only the states they announce matter, and those are
// read again) until `holds` or the deadline.
template <class Condition>
bool waitUntil(XConnection& c, Deadline deadline, Condition holds) {
  for (;;) {
    if (holds()) return true;
    const double seconds = left(deadline);
    if (seconds <= 0 || !c.waitForEvent(seconds)) return holds();
    (void)c.dispatch();
  }
}

}  // namespace

WindowMover::WindowMover(std::shared_ptr<XConnection> watcher) : c_(std::move(watcher)) {
  if (!c_) return;
  const std::string name = "WM_S" + std::to_string(c_->screenNumber());
  auto reply = c_->reply(
      xcb_intern_atom_reply,
      xcb_intern_atom(c_->raw(), 0, static_cast<std::uint16_t>(name.size()), name.c_str()));
  if (reply) managerSelection_ = reply->atom;
  scratchpad_ = Scratchpad::forDisplay(*c_);
  if (scratchpad_) c_->setStowedQuery(stowedQuery());
}

std::function<Scratchpad::Windows()> WindowMover::stowedQuery() const {
  if (!scratchpad_) return {};
  return
      [scratchpad = scratchpad_] { return scratchpad->stowed().value_or(Scratchpad::Windows{}); };
}

std::shared_ptr<WindowMover> WindowMover::forDisplayOf(const XConnection& shared) {
  auto own = XConnection::open(shared.displayName());
  return std::make_shared<WindowMover>(own ? own.value() : nullptr);
}

std::optional<xcb_window_t> WindowMover::focusOwedBy(xcb_window_t window) const {
  std::lock_guard lock(mutex_);
  const auto it = owed_.find(window);
  if (it == owed_.end() || it->second.until < std::chrono::steady_clock::now()) return std::nullopt;
  return it->second.to;
}

bool WindowMover::windowManagerRuns() {
  XConnection& c = *c_;
  if (managerSelection_ != XCB_ATOM_NONE) {
    auto owner =
        c.reply(xcb_get_selection_owner_reply, xcb_get_selection_owner(c.raw(), managerSelection_));
    if (owner && owner->owner != XCB_WINDOW_NONE) return true;
  }
  // Managers that predate the selection still publish their check window.
  xcb_window_t check = XCB_WINDOW_NONE;
  xcb_generic_error_t* error = nullptr;
  if (xcb_ewmh_get_supporting_wm_check_reply(
          c.ewmh(), xcb_ewmh_get_supporting_wm_check(c.ewmh(), c.root()), &check, &error) == 0) {
    std::free(error);
    return false;
  }
  // A manager that died leaves the root's property behind; its check window went with it.
  xcb_window_t self = XCB_WINDOW_NONE;
  const bool alive =
      xcb_ewmh_get_supporting_wm_check_reply(
          c.ewmh(), xcb_ewmh_get_supporting_wm_check(c.ewmh(), check), &self, &error) != 0;
  std::free(error);
  return alive && self == check;
}

WindowMover::Read WindowMover::waitFor(const std::vector<xcb_window_t>& windows, bool minimized,
                                       double seconds) {
  XConnection& c = *c_;
  select(c, windows, XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY);
  Read read;
  (void)waitUntil(c, after(seconds), [&] {
    std::vector<ClientWindow> states(windows.size());
    for (std::size_t i = 0; i < windows.size(); ++i) states[i].window = windows[i];
    refreshStates(c, states);
    read = {};
    // Minimized is ICCCM's Iconic state, which every manager publishes once the window
    // is unmapped; back is neither Iconic nor hidden.
    for (const auto& state : states) {
      if (minimized ? state.isIconic : !state.isMinimized()) read.done.insert(state.window);
    }
    for (xcb_window_t window : windows) {
      const bool found = std::any_of(states.begin(), states.end(),
                                     [&](const ClientWindow& s) { return s.window == window; });
      if (!found) read.gone.insert(window);
    }
    return read.done.size() + read.gone.size() == windows.size();
  });
  select(c, windows, 0);
  return read;
}

std::set<xcb_window_t> WindowMover::iconify(const std::vector<xcb_window_t>& windows) {
  std::lock_guard lock(mutex_);
  if (scratchpad_) {
    const auto stowed = scratchpad_->stow({windows.begin(), windows.end()});
    return {stowed.begin(), stowed.end()};
  }
  if (!c_ || windows.empty() || !windowManagerRuns()) return {};
  for (xcb_window_t window : windows) x11::iconify(*c_, window);
  c_->flush();
  return waitFor(windows, true, limits_.lastStep).done;
}

void WindowMover::send(int step, xcb_window_t window) {
  switch (step) {
    case 0:
      x11::restore(*c_, window);
      break;
    case 1:
      xcb_map_window(c_->raw(), window);
      break;
    default:
      requestActivation(*c_, window);
      break;
  }
}

WindowMover::Restored WindowMover::restore(const std::vector<xcb_window_t>& windows, Focus focus) {
  std::lock_guard lock(mutex_);
  Restored restored;
  if (!c_ || windows.empty()) return restored;
  const auto previous = activeWindow(*c_);
  std::vector<xcb_window_t> pending = windows;
  std::set<xcb_window_t> activated;  // back through an activation, which moves the focus
  if (scratchpad_) {
    const auto back = scratchpad_->bringBack({windows.begin(), windows.end()});
    restored.back.insert(back.back.begin(), back.back.end());
    restored.gone.insert(back.gone.begin(), back.gone.end());
    pending.clear();
  }
  for (int step = firstStep_; step < kSteps && !pending.empty(); ++step) {
    for (xcb_window_t window : pending) send(step, window);
    c_->flush();
    const auto read = waitFor(pending, false, step + 1 < kSteps ? limits_.step : limits_.lastStep);
    restored.back.insert(read.done.begin(), read.done.end());
    if (step == kSteps - 1) activated.insert(read.done.begin(), read.done.end());
    restored.gone.insert(read.gone.begin(), read.gone.end());
    // The earlier steps were asked and not honoured: the next restore begins here.
    if (!read.done.empty() && step > firstStep_ && restored.back.size() == read.done.size()) {
      firstStep_ = step;
    }
    std::erase_if(pending, [&](xcb_window_t w) {
      return read.done.count(w) != 0 || read.gone.count(w) != 0;
    });
  }
  if (focus == Focus::keep && previous) {
    keepFocus(*previous, restored.back, activated);
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(owed_, [&](const auto& entry) { return entry.second.until < now; });
    for (xcb_window_t window : restored.back) owed_[window] = Owed{*previous, after(kOwedSeconds)};
  }
  return restored;
}

void WindowMover::keepFocus(xcb_window_t previous, const std::set<xcb_window_t>& back,
                            const std::set<xcb_window_t>& activated) {
  XConnection& c = *c_;
  select(c, {c.root()}, XCB_EVENT_MASK_PROPERTY_CHANGE);
  // A window that came back through an activation takes the focus when the manager gets
  // to it, which may be after its state changed: that is waited for before handing back.
  if (!activated.empty()) {
    (void)waitUntil(c, after(limits_.focus), [&] {
      const auto active = activeWindow(c);
      return active && activated.count(*active) != 0;
    });
  }
  // Some managers focus a window they de-iconify (fluxbox) and publish it only once the
  // server tells them the focus moved; the server's own input focus shows it at once.
  const auto focusOnBack = [&] {
    auto focus = c.reply(xcb_get_input_focus_reply, xcb_get_input_focus(c.raw()));
    return focus && back.count(focus->focus) != 0;
  };
  // Such a manager gives that focus once it has seen the window mapped, a moment after the
  // state read back: until a restore shows the manager leaves the focus alone, that moment
  // is waited for, so the focus is not taken after it was handed back.
  if (activated.empty() && !back.empty() && focusMayFollow_) {
    const std::vector<xcb_window_t> windows(back.begin(), back.end());
    select(c, windows, XCB_EVENT_MASK_FOCUS_CHANGE);
    focusMayFollow_ = waitUntil(c, after(limits_.settle), [&] {
      const auto active = activeWindow(c);
      return focusOnBack() || (active && back.count(*active) != 0);
    });
    select(c, windows, 0);
  }
  if (activeWindow(c) != previous || focusOnBack()) {
    const auto window = readClient(c, previous);
    if (window && !window->isMinimized()) {
      requestActivation(c, previous);
      c.flush();
      (void)waitUntil(c, after(limits_.focus),
                      [&] { return activeWindow(c) == previous && !focusOnBack(); });
    }
  }
  select(c, {c.root()}, 0);
}

}  // namespace tervane::x11
