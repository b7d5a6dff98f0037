// tervane-grab against the private desktop: a PNG of the whole screen, and a plain error
// when there is no display or the file cannot be written.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <cstdint>

#include "support/TempDir.h"
#include "support/XTestDesktop.h"

namespace tervane::x11 {
namespace {

using testing::readText;
using testing::XTestDesktop;

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

TEST(Grab, WritesAPngOfTheWholeScreenAndFailsPlainly) {
  XTestDesktop desktop;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(desktop.x().raw())).data;
  testing::TempDir dir;
  const std::string grab = TERVANE_GRAB_TOOL;

  ASSERT_EQ(desktop.run({"sh", "-c", "exec '" + grab + "' screen.png 2> err.txt"}, 60, dir.path()),
            0)
      << readText(dir / "err.txt");
  const std::string png = readText(dir / "screen.png");
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(bigEndian(png, 16), screen->width_in_pixels);
  EXPECT_EQ(bigEndian(png, 20), screen->height_in_pixels);

  // A folder that is not there, no display, and a malformed display name (the tool says so
  // instead of aborting in Qt).
  for (const auto& [shell, error] :
       {std::pair{"exec \"$0\" missing/screen.png", "cannot write missing/screen.png"},
        {"unset DISPLAY; exec \"$0\" screen.png", "no display"},
        {"DISPLAY=: exec \"$0\" screen.png", "cannot open display"}}) {
    std::filesystem::remove(dir / "screen.png");
    EXPECT_EQ(desktop.run({"sh", "-c", std::string(shell) + " 2> err.txt", grab}, 60, dir.path()),
              1)
        << shell;
    EXPECT_NE(readText(dir / "err.txt").find(error), std::string::npos)
        << readText(dir / "err.txt");
    EXPECT_FALSE(std::filesystem::exists(dir / "screen.png")) << shell;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

}  // namespace
}  // namespace tervane::x11
