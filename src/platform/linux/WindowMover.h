// Minimizes and restores client windows, and counts a move only once the window's state
// reads back as asked. Window managers differ in which requests they honour for bringing
// a window back from Iconic: openbox, icewm, fluxbox and xfwm4 take NormalState through
// WM_CHANGE_STATE or the cleared `_NET_WM_STATE_HIDDEN`; metacity, marco and kwin ignore
// both but take the window being mapped again, as ICCCM has a client do; mutter takes only
// `_NET_ACTIVE_WINDOW`, which also focuses and raises. So a restore climbs that ladder,
// waiting at each step, on the events of a private connection and never longer than a
// bound, for the windows to read back Normal; the step that worked first is where the next
// restore starts. The managers are never named: the read-back decides.
//
// A restore keeps the focus where the person had it: when the window manager gave the
// focus to a restored window, it is handed back and read back too, so that a restore never
// reads as the person's use of an application. Iconifying needs a window manager; with
// none running nothing is asked and nothing counts as minimized. A tiling manager that has
// no minimizing but a scratchpad and an IPC (i3) has windows put away there instead.
//
// Safe to call from any thread: calls are served one at a time on the private connection,
// whose events nobody else reads.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "linux/Scratchpad.h"
#include "linux/XConnection.h"

namespace tervane::x11 {

class WindowMover {
 public:
  struct Limits {
    double step = 0.5;      // each restore step but the last
    double lastStep = 2.0;  // the last restore step, and iconifying
    double focus = 1.0;     // handing the focus back
    double settle = 0.2;    // a manager focusing a window it restored
  };
  enum class Focus { keep, give };

  struct Restored {
    std::set<xcb_window_t> back;  // read back Normal
    std::set<xcb_window_t> gone;  // destroyed meanwhile
    bool complete(std::size_t asked) const { return back.size() + gone.size() == asked; }
  };

  // `watcher` is this mover's own connection to the display; null leaves every move
  // unverified, which counts as not done.
  explicit WindowMover(std::shared_ptr<XConnection> watcher);
  // A mover with its own connection to the display of `shared`.
  static std::shared_ptr<WindowMover> forDisplayOf(const XConnection& shared);

  // Asks the window manager to iconify the windows; gives those that read back minimized.
  std::set<xcb_window_t> iconify(const std::vector<xcb_window_t>& windows);
  // Brings the windows back; `Focus::give` leaves the focus to the window manager (for an
  // activation that follows), `Focus::keep` hands it back to the window that had it.
  Restored restore(const std::vector<xcb_window_t>& windows, Focus focus);

  // When `window` is one this mover brought back a moment ago keeping the focus where it
  // was, the window the focus belongs to: a manager that publishes the focus it gave the
  // restored window only after the restore returned is answered with it.
  std::optional<xcb_window_t> focusOwedBy(xcb_window_t window) const;

  // On a tiling manager without minimizing (i3), windows are put away in its scratchpad;
  // this tells another connection which windows are there, to read them as minimized.
  // Empty on other managers.
  std::function<Scratchpad::Windows()> stowedQuery() const;

 private:
  struct Read {
    std::set<xcb_window_t> done;
    std::set<xcb_window_t> gone;
  };
  // Waits until every window reads back minimized (or not), or has gone, for at most
  // `seconds`.
  Read waitFor(const std::vector<xcb_window_t>& windows, bool minimized, double seconds);
  bool windowManagerRuns();
  void send(int step, xcb_window_t window);
  void keepFocus(xcb_window_t previous, const std::set<xcb_window_t>& back,
                 const std::set<xcb_window_t>& activated);

  struct Owed {
    xcb_window_t to = XCB_WINDOW_NONE;
    std::chrono::steady_clock::time_point until;
  };

  std::shared_ptr<XConnection> c_;
  std::shared_ptr<Scratchpad> scratchpad_;
  Limits limits_;
  std::map<xcb_window_t, Owed> owed_;
  xcb_atom_t managerSelection_ = XCB_ATOM_NONE;
  mutable std::mutex mutex_;
  int firstStep_ = 0;
  bool focusMayFollow_ = true;  // until a restore shows the manager leaves the focus alone
};

}  // namespace tervane::x11
