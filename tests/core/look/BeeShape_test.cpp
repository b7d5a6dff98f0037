#include "look/BeeShape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "look/BeeDrift.h"
#include "look/BeeSvg.h"
#include "look/SVGPathParser.h"

namespace tervane {

// Each pose scales into a frame, and its SVG document, written for a person to look at,
// holds one filled path that reads back as the bee.
TEST(BeeShape, BothPosesAreClosedOutlinesInsideTheDesignSquare) {
  const auto near = [](Point a, Point b) {
    return std::abs(a.x - b.x) < 1e-3 && std::abs(a.y - b.y) < 1e-3;
  };
  for (const bool open : {true, false}) {
    const BeeShape bee{open};
    const auto& elements = bee.designPath().elements();
    ASSERT_FALSE(elements.empty());
    EXPECT_EQ(elements.front().kind, PathElement::Kind::move);
    EXPECT_EQ(elements.back().kind, PathElement::Kind::close);
    for (const auto& polygon : bee.designPath().flattened()) {
      EXPECT_TRUE(polygon.closed);
      for (const auto& p : polygon.points) {
        EXPECT_TRUE(p.x >= 0 && p.x <= 750 && p.y >= 0 && p.y <= 750) << p.x << "," << p.y;
      }
    }
    // A bee, not a speck: it fills most of the square's height.
    EXPECT_GT(bee.designPath().bounds().height, 600);
    // Scaled by the shorter side about the origin: the drawing view places the bee.
    const Rect frame{40, 50, 13, 26};
    EXPECT_DOUBLE_EQ(BeeShape::scale(frame), 13.0 / 750);
    const auto scaled = bee.path(frame);
    ASSERT_EQ(scaled.elements().size(), elements.size());
    EXPECT_DOUBLE_EQ(scaled.elements()[0].to.x, elements[0].to.x * 13 / 750);
    EXPECT_DOUBLE_EQ(scaled.elements()[0].to.y, elements[0].to.y * 13 / 750);
    EXPECT_LE(scaled.bounds().maxY(), 13.0);

    const std::string svg = beeSvgDocument(bee, TervaneTints::deepBg);
    std::ofstream(std::string(TERVANE_TEST_BUILD_DIR) +
                  (open ? "/bee-open.svg" : "/bee-closed.svg"))
        << svg;
    EXPECT_EQ(svg.find("<path"), svg.rfind("<path"));
    EXPECT_NE(svg.find("viewBox=\"0 0 750 750\""), std::string::npos);
    EXPECT_NE(svg.find("fill=\"#0e1014\""), std::string::npos);
    EXPECT_EQ(svg.rfind("</svg>\n"), svg.size() - 7);
    const auto start = svg.find(" d=\"") + 4;
    const auto back = SVGPathParser(svg.substr(start, svg.find('"', start) - start)).parse();
    ASSERT_EQ(back.elements().size(), elements.size()) << "open " << open;
    for (std::size_t i = 0; i < elements.size(); ++i) {
      const auto& [a, b] = std::tie(back.elements()[i], elements[i]);
      ASSERT_EQ(a.kind, b.kind) << i;
      EXPECT_TRUE(
          a.kind == PathElement::Kind::close ||
          (near(a.to, b.to) && near(a.control1, b.control1) && near(a.control2, b.control2)))
          << i;
    }
  }
  // Colours round to the nearest byte, and clamp.
  EXPECT_EQ(hexColor(Color{0.5, 1.2, -0.1, 0.3}), "#80ff00");
  EXPECT_EQ(hexColor(Color{14.4 / 255, 14.6 / 255, 1, 1}), "#0e0fff");
}

TEST(BeeDrift, FliesRightMirroredThenBackBobbingAndBeating) {
  const double width = 500;
  const double size = 20;
  // Standing still at speed 0: just outside the left edge, wings open.
  for (const double seconds : {0.0, 1234567.0, 8.1e8}) {
    const auto still = BeeDrift::pose(seconds, width, size, 0);
    EXPECT_DOUBLE_EQ(still.frame.x, -4 - size);
    EXPECT_DOUBLE_EQ(still.frame.y, 37);
    EXPECT_TRUE(still.open);
    EXPECT_TRUE(still.mirrored);
  }
  const auto quarter = BeeDrift::pose(6.5, width, size, 1);
  EXPECT_DOUBLE_EQ(quarter.frame.x, (-4 - size + width + 4) / 2);
  EXPECT_TRUE(quarter.mirrored);
  const auto turned = BeeDrift::pose(13, width, size, 1);
  EXPECT_DOUBLE_EQ(turned.frame.x, width + 4);
  EXPECT_FALSE(turned.mirrored);
  // Twice as fast reaches the turn in half the time.
  EXPECT_DOUBLE_EQ(BeeDrift::pose(6.5, width, size, 2).frame.x, width + 4);

  EXPECT_NEAR(BeeDrift::pose(5.5 / 4, width, size, 1).frame.y, 46, 1e-9);
  EXPECT_NEAR(BeeDrift::pose(5.5 * 3 / 4, width, size, 1).frame.y, 28, 1e-9);
  EXPECT_FALSE(BeeDrift::pose(0.3, width, size, 1).open);
  EXPECT_TRUE(BeeDrift::pose(0.5, width, size, 1).open);

  // Timed from the first moment of 2001, UTC.
  const TimePoint reference{std::chrono::seconds(978307200)};
  EXPECT_DOUBLE_EQ(BeeDrift::secondsSinceReferenceDate(reference + std::chrono::seconds(13)), 13);
}

}  // namespace tervane
