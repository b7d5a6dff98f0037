// Putting windows away on a tiling manager that has no minimizing (i3, sway): a window goes to
// the scratchpad, and its place goes with it as a mark on the window itself, hidden from
// the person by its leading underscore: its workspace, whether it floated, and the
// container it sat after (or before, when it was first), and when it went. So the place
// outlives a crash of this application, and bringing a window back puts it on its
// workspace, tiled again in its old place among the windows there: windows that sat side
// by side return side by side, in whichever order they come back (the mark stays on a
// window come back until nothing of ours is away). A window counts as back once the tree
// shows it out of the scratchpad. Windows the person put in the scratchpad carry no such
// mark and are never taken out of it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "linux/I3Ipc.h"

namespace tervane::x11 {

struct WindowPlace {
  std::string workspace;
  bool floating = false;
  std::int64_t neighbour = 0;  // the container the window sat next to; 0 for none
  bool before = false;         // it sat before `neighbour` rather than after it
  std::int64_t sequence = 0;   // when it went, in the order of all that went
  bool back = false;           // it has come back from there since

  std::string mark() const;
  // The place a mark of ours names; none for any other mark.
  static std::optional<WindowPlace> fromMark(std::string_view mark);
  bool operator==(const WindowPlace&) const = default;
};

// How the manager's tree names a client window: i3 by its X window, sway by its container
// (a Wayland window has no other name there).
enum class WindowKey { xWindow, container };

// A client window as the manager's tree shows it.
struct TreeWindow {
  std::int64_t container = 0;
  std::string app;  // sway's app id, else the X class
  std::string title;
  std::int64_t pid = 0;
  bool focused = false;
  std::string workspace;  // the scratchpad's is kScratchpadWorkspace
  bool floating = false;
  std::vector<std::int64_t> siblings;  // a tiled window's parent's children, itself among them
  std::vector<std::string> marks;

  // Where it is now: next to the nearest sibling that is not `gone`.
  WindowPlace place(const std::set<std::int64_t>& gone = {}) const;
  // The mark naming where we put it away from, while it is away or since it came back.
  std::optional<std::string> ourMark() const;
};
inline constexpr std::string_view kScratchpadWorkspace = "__i3_scratch";

// Every client window in `tree` (a reply to GET_TREE), by `key`.
std::map<std::int64_t, TreeWindow> treeWindows(const nlohmann::json& tree,
                                               WindowKey key = WindowKey::xWindow);

// Where the window of `container`, put away from `place`, goes back among `order` (the
// containers it will sit among, as they are now). Every container `marked` as put away
// from among them, away still or back since, is put where it went from, the last gone
// first, which gives the order before any of them went; the window then goes after the
// nearest container of `order` before it, or else before the nearest one after it.
WindowPlace returnPlace(std::int64_t container, const WindowPlace& place,
                        std::vector<std::int64_t> order,
                        const std::map<std::int64_t, WindowPlace>& away);

// Windows are named by `WindowKey`; `own` is the criteria that match this application's
// windows, whose full screen (the shield's) is given up before anything moves.
class Scratchpad {
 public:
  using Windows = std::set<std::int64_t>;
  explicit Scratchpad(std::unique_ptr<I3Ipc> ipc, WindowKey key = WindowKey::xWindow,
                      std::string own = defaultOwnCriteria())
      : ipc_(std::move(ipc)), key_(key), own_(std::move(own)) {}
  // The scratchpad of the manager running on this display; none when it has no IPC.
  static std::shared_ptr<Scratchpad> forDisplay(XConnection& connection);
  static std::string defaultOwnCriteria();

  // Puts the windows away; gives those the tree then shows in the scratchpad.
  Windows stow(const std::vector<std::int64_t>& windows);
  struct Back {
    Windows back;  // in their place again
    Windows gone;  // no longer managed
  };
  Back bringBack(const std::vector<std::int64_t>& windows);
  // Every window in the scratchpad now, the person's own too; none when the tree cannot
  // be read.
  std::optional<Windows> stowed();
  // The manager's tree now, and every client window in it; none when it cannot be read.
  std::optional<nlohmann::json> tree();
  std::optional<std::map<std::int64_t, TreeWindow>> read();
  // Runs the commands as one request; what they did is for the caller to read back.
  void run(const std::vector<std::string>& commands);
  // The criteria that match `window`.
  std::string criteria(std::int64_t window) const;

 private:
  std::unique_ptr<I3Ipc> ipc_;
  WindowKey key_;
  std::string own_;
  std::int64_t lastSequence_ = 0;
};

}  // namespace tervane::x11
