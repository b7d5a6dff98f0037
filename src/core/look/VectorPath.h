// A drawing-neutral outline: moves, straight lines, cubic curves and closes in one
// coordinate space, with the plain geometry the look needs (uniform scaling, flattening
// to polygons, bounds, SVG path data). A platform view turns it into its own path type.
#pragma once

#include <string>
#include <vector>

namespace tervane {

struct Point {
  double x = 0;
  double y = 0;

  friend Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
  friend Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
  friend Point operator*(Point a, double f) { return {a.x * f, a.y * f}; }
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

struct PathElement {
  enum class Kind { move, line, cubic, close };

  Kind kind = Kind::move;
  Point to;        // unused for close
  Point control1;  // cubic only
  Point control2;  // cubic only

  friend bool operator==(const PathElement&, const PathElement&) = default;
};

// One closed or open run of points, with curves already replaced by straight segments.
struct Polygon {
  std::vector<Point> points;
  bool closed = false;
};

class VectorPath {
 public:
  void moveTo(Point p);
  void lineTo(Point p);
  void cubicTo(Point control1, Point control2, Point to);
  void close();

  const std::vector<PathElement>& elements() const { return elements_; }
  bool empty() const { return elements_.empty(); }

  // Every point multiplied by `factor`, about the origin.
  VectorPath scaled(double factor) const;

  // Each subpath as a polygon; every cubic becomes `segmentsPerCurve` straight pieces.
  std::vector<Polygon> flattened(int segmentsPerCurve = 16) const;

  // The smallest rectangle holding the flattened outline; zero size when empty.
  Rect bounds() const;

  // The outline as absolute SVG path data (M, L, C, Z), for looking at it elsewhere.
  std::string svgPathData() const;

  friend bool operator==(const VectorPath&, const VectorPath&) = default;

 private:
  std::vector<PathElement> elements_;
};

}  // namespace tervane
