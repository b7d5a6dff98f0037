// The tiling manager's IPC frames and the places read from its tree, without a manager.
#include "linux/Scratchpad.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

namespace tervane::x11 {
namespace {

// A header reads back as written. Events arrive in pieces: whole frames are taken and
// handed on, a partial one waits for the rest, a frame whose JSON does not parse is
// skipped, and one that is not a frame (a header cut short, the wrong magic, a length over
// the limit) ends the stream.
TEST(I3Ipc, EventsAreTakenFrameByFrameAndAStreamThatIsNotOneStops) {
  const std::string focus = I3Ipc::frame(I3Ipc::Type(I3Ipc::kWindowEvent), R"({"change":"focus"})");
  const auto header = I3Ipc::header(focus);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->length, 18u);
  EXPECT_EQ(header->type, I3Ipc::kWindowEvent);
  EXPECT_EQ(focus.substr(I3Ipc::kHeaderSize), R"({"change":"focus"})");
  const std::string junk = I3Ipc::frame(I3Ipc::Type(I3Ipc::kWindowEvent), "{not json");
  std::string buffer = focus + junk + focus.substr(0, 20);
  std::vector<std::string> seen;
  const auto each = [&](std::uint32_t type, const nlohmann::json& event) {
    EXPECT_EQ(type, I3Ipc::kWindowEvent);
    seen.push_back(event.value("change", ""));
  };
  ASSERT_TRUE(I3Ipc::takeFrames(buffer, each));
  EXPECT_EQ(seen, std::vector<std::string>{"focus"});
  EXPECT_EQ(buffer, focus.substr(0, 20));
  buffer += focus.substr(20);
  ASSERT_TRUE(I3Ipc::takeFrames(buffer, each));
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_TRUE(buffer.empty());

  std::string oversized = focus;
  const std::uint32_t tooLong = I3Ipc::kMaxPayload + 1;
  std::memcpy(oversized.data() + I3Ipc::kMagic.size(), &tooLong, sizeof tooLong);
  EXPECT_FALSE(I3Ipc::header(focus.substr(0, I3Ipc::kHeaderSize - 1)));
  for (std::string bad : {"i3-ipX" + focus.substr(I3Ipc::kMagic.size()), oversized}) {
    EXPECT_FALSE(I3Ipc::header(bad));
    EXPECT_FALSE(I3Ipc::takeFrames(bad, each));
  }
  EXPECT_EQ(seen.size(), 2u);
}

TEST(WindowPlace, AMarkNamesThePlaceAndOnlyOurMarksAreRead) {
  for (const WindowPlace& place :
       {WindowPlace{"1", false, 94789775462192, false, 1796500000000001},
        WindowPlace{"mail: \"inbox\" 2", true, 0, false}, WindowPlace{"3", false, 7, true}}) {
    EXPECT_EQ(WindowPlace::fromMark(place.mark()), place) << place.mark();
  }
  for (const char* other : {"", "mine", "_tervane:", "_tervane:t:a:12:3:", "_tervane:x:a:1:0:1",
                            "_tervane:t:a:twelve:0:1", "_tervane:t:a:12:1"}) {
    EXPECT_FALSE(WindowPlace::fromMark(other)) << other;
  }
}

TEST(TreeWindows, AWindowsPlaceIsItsWorkspaceAndItsNeighbourAndSwaysGoByContainers) {
  // Workspace 1 tiles [Editor 10, Mail 11, Chat 12] and floats Notes 13; Music 14 is in
  // the scratchpad.
  const auto tree = nlohmann::json::parse(R"({"type": "root", "nodes": [
    {"type": "workspace", "name": "__i3_scratch", "floating_nodes": [
      {"type": "floating_con", "id": 5, "nodes": [{"id": 104, "window": 14, "marks": ["x"]}]}]},
    {"type": "workspace", "name": "1", "nodes": [
      {"id": 100, "window": 10}, {"id": 101, "window": 11}, {"id": 102, "window": 12},
      {"id": "bad", "window": -3}, "junk"],
     "floating_nodes": [{"type": "floating_con", "id": 6, "nodes": [{"id": 103, "window": 13}]}]}
  ]})");
  const auto windows = treeWindows(tree);
  ASSERT_EQ(windows.size(), 5u);
  EXPECT_EQ(windows.at(14).workspace, kScratchpadWorkspace);
  EXPECT_EQ(windows.at(14).marks, std::vector<std::string>{"x"});
  EXPECT_TRUE(windows.at(13).place().floating);

  // After the window before it, or before the one after it when it is first.
  for (const auto& [window, neighbour, before] :
       {std::tuple{10u, 101, true}, std::tuple{11u, 100, false}, std::tuple{12u, 101, false}}) {
    const auto place = windows.at(window).place();
    EXPECT_EQ(place.workspace, "1");
    EXPECT_EQ(std::pair(place.neighbour, place.before), std::pair(std::int64_t{neighbour}, before))
        << window;
  }

  // Sway's views go by their containers, named by app id or, under XWayland, by X class.
  const auto sway = treeWindows(nlohmann::json::parse(R"({"type": "root", "nodes": [
    {"type": "workspace", "name": "1", "nodes": [
      {"id": 7, "shell": "xdg_shell", "app_id": "foot", "name": "~", "pid": 40, "focused": true},
      {"id": 8, "shell": "xwayland", "app_id": null, "window": 99,
       "window_properties": {"class": "Gimp"}},
      {"id": 9, "nodes": []}]}]})"), WindowKey::container);
  ASSERT_EQ(sway.size(), 2u);
  EXPECT_EQ(std::tuple(sway.at(7).app, sway.at(7).pid, sway.at(7).focused),
            std::tuple(std::string("foot"), std::int64_t{40}, true));
  EXPECT_EQ(sway.at(8).app, "Gimp");
  EXPECT_EQ(sway.at(8).siblings, (std::vector<std::int64_t>{7, 8, 9}));
}

}  // namespace
}  // namespace tervane::x11
