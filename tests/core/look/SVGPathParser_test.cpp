#include "look/SVGPathParser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tervane {
namespace {

using Kind = PathElement::Kind;

const auto move = [](double x, double y) { return PathElement{Kind::move, {x, y}, {}, {}}; };
const auto line = [](double x, double y) { return PathElement{Kind::line, {x, y}, {}, {}}; };
const auto cubic = [](Point c1, Point c2, Point to) {
  return PathElement{Kind::cubic, to, c1, c2};
};
const auto closing = [] { return PathElement{Kind::close, {}, {}, {}}; };

std::vector<PathElement> parse(std::string_view text) {
  return SVGPathParser(text).parse().elements();
}

// The points an arc was drawn through, after the move that starts it.
std::vector<Point> arcPoints(std::string_view text) {
  std::vector<Point> points;
  for (const auto& element : parse(text)) {
    if (element.kind == Kind::line) points.push_back(element.to);
  }
  return points;
}

void expectOnEllipse(const std::vector<Point>& points, Point centre, double rx, double ry) {
  for (const auto& p : points) {
    const double dx = (p.x - centre.x) / rx;
    const double dy = (p.y - centre.y) / ry;
    EXPECT_NEAR(dx * dx + dy * dy, 1.0, 1e-9) << p.x << "," << p.y;
  }
}

}  // namespace

TEST(SVGPathParser, RepeatsTheCommandAndTurnsMovesIntoLines) {
  EXPECT_EQ(parse("M10,10 l5,0 0,5 z"),
            (std::vector{move(10, 10), line(15, 10), line(15, 15), closing()}));
  EXPECT_EQ(parse("M0,0 h10 v 10 H0 z"),
            (std::vector{move(0, 0), line(10, 0), line(10, 10), line(0, 10), closing()}));
  // Pairs after a move are lines, relative after a relative move.
  EXPECT_EQ(parse("m5,5 5,0 M1 1 2 2"),
            (std::vector{move(5, 5), line(10, 5), move(1, 1), line(2, 2)}));
  // After a close the pen is back at the subpath's start.
  EXPECT_EQ(parse("M2,3 l4,0 z l1,1"),
            (std::vector{move(2, 3), line(6, 3), closing(), line(3, 4)}));
  // Stray text ends the parse instead of looping forever.
  EXPECT_EQ(parse("M0,0 L5 x y"), (std::vector{move(0, 0), line(5, 0)}));
  EXPECT_EQ(parse("M0,0 z 4 5"), (std::vector{move(0, 0), closing()}));
  EXPECT_EQ(parse("12 34 ? M1,1"), (std::vector{move(1, 1)}));
  EXPECT_TRUE(parse("").empty());
}

// Text that does not form a number reads as 0, and the next number is still found.
TEST(SVGPathParser, ReadsNumbersTheWaySvgWritesThem) {
  const std::pair<const char*, std::vector<double>> cases[] = {
      {"-0.63807,0.02316-1.2", {-0.63807, 0.02316, -1.2}},
      {"1e-3 +2.5E2\t.5\r\n7", {0.001, 250, 0.5, 7}},
      {"1.2.3 1e . 9", {0, 0, 0, 9}},
  };
  for (const auto& [text, numbers] : cases) {
    SVGPathParser parser(text);
    for (const double number : numbers) EXPECT_DOUBLE_EQ(parser.number(), number) << text;
  }
}

TEST(SVGPathParser, CurvesInAbsoluteRelativeAndSmoothForms) {
  EXPECT_EQ(parse("M0,0 c10,0 10,10 20,10 s10,10 20,0"),
            (std::vector{move(0, 0), cubic({10, 0}, {10, 10}, {20, 10}),
                         // The first control mirrors (10,10) about (20,10).
                         cubic({30, 10}, {30, 20}, {40, 10})}));
  EXPECT_EQ(parse("M1,1 C2,2 3,3 4,4 L5,5 S7,7 8,8"),
            (std::vector{move(1, 1), cubic({2, 2}, {3, 3}, {4, 4}), line(5, 5),
                         // Not after a curve: the first control is the current point.
                         cubic({5, 5}, {7, 7}, {8, 8})}));
  // A quadratic becomes the cubic with the same shape.
  EXPECT_EQ(parse("M0,0 Q30,30 60,0"),
            (std::vector{move(0, 0), cubic({20, 20}, {40, 20}, {60, 0})}));
}

TEST(SVGPathParser, ArcsAreStraightPiecesOfFiveDegreesAtLeastTwo) {
  // A quarter circle from (0,0) to (10,10) about (0,10): 18 pieces on the circle.
  const auto quarter = arcPoints("M0,0 a10,10 0 0 1 10,10");
  ASSERT_EQ(quarter.size(), 18u);
  expectOnEllipse(quarter, {0, 10}, 10, 10);
  EXPECT_EQ(quarter.back(), (Point{10, 10}));
  // The first piece ends 5 degrees round from the start.
  EXPECT_NEAR(quarter.front().x, 10 * std::sin(std::numbers::pi / 36), 1e-9);

  // The large arc between the same points goes three quarters round the other centre.
  const auto large = arcPoints("M0,0 a10,10 0 1 1 10,10");
  EXPECT_EQ(large.size(), 54u);
  expectOnEllipse(large, {10, 0}, 10, 10);

  // A quarter turn whose arc cosine rounds just below 90 degrees still gets 18 pieces.
  EXPECT_EQ(arcPoints("M-21.9,0.7 A1,1 0 0 1 -20.9,1.6999999999999997").size(), 18u);

  // 4 degrees: still two pieces, the middle one at 2 degrees.
  const double a = 4 * std::numbers::pi / 180;
  const auto small = arcPoints("M100,0 A100,100 0 0 1 " + std::to_string(100 * std::cos(a)) + "," +
                               std::to_string(100 * std::sin(a)));
  ASSERT_EQ(small.size(), 2u);
  EXPECT_NEAR(std::atan2(small[0].y, small[0].x), a / 2, 1e-6);
}

TEST(SVGPathParser, ArcRadiiGrowRotateAndVanish) {
  // Radii too small to reach: scaled up to a half circle of radius 5.
  const auto grown = arcPoints("M0,0 A1,1 0 0 1 10,0");
  EXPECT_EQ(grown.size(), 36u);
  expectOnEllipse(grown, {5, 0}, 5, 5);

  // Rotated by 90 degrees, the long axis stands upright; sweeping clockwise on screen
  // from the top bulges to the right.
  const auto rotated = arcPoints("M0,0 A20,10 90 0 1 0,40");
  expectOnEllipse(rotated, {0, 20}, 10, 20);
  double widest = 0;
  for (const auto& p : rotated) widest = std::max(widest, p.x);
  EXPECT_NEAR(widest, 10, 0.1);

  // A zero radius is a straight line; an arc to its own start draws nothing.
  EXPECT_EQ(parse("M0,0 a0,5 0 0 1 10,10"), (std::vector{move(0, 0), line(10, 10)}));
  EXPECT_EQ(parse("M3,3 A5,5 0 1 1 3,3 z"), (std::vector{move(3, 3), closing()}));
}

}  // namespace tervane
