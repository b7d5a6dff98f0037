#include "look/VectorPath.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace tervane {
namespace {

Point cubicPoint(Point p0, Point p1, Point p2, Point p3, double t) {
  const double u = 1 - t;
  return p0 * (u * u * u) + p1 * (3 * u * u * t) + p2 * (3 * u * t * t) + p3 * (t * t * t);
}

void appendNumber(std::string& out, double value) {
  // to_chars, not printf: the application's locale must not turn the point into a comma.
  char buffer[64];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
  std::string text(buffer, end.ec == std::errc{} ? end.ptr : buffer);
  // Trailing zeros say nothing and make the file harder to read.
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (text == "-0") text = "0";
  out += text;
}

void appendPoint(std::string& out, Point p) {
  appendNumber(out, p.x);
  out += ',';
  appendNumber(out, p.y);
}

}  // namespace

void VectorPath::moveTo(Point p) {
  elements_.push_back({PathElement::Kind::move, p, {}, {}});
}
void VectorPath::lineTo(Point p) {
  elements_.push_back({PathElement::Kind::line, p, {}, {}});
}
void VectorPath::cubicTo(Point control1, Point control2, Point to) {
  elements_.push_back({PathElement::Kind::cubic, to, control1, control2});
}
void VectorPath::close() {
  elements_.push_back({PathElement::Kind::close, {}, {}, {}});
}

VectorPath VectorPath::scaled(double factor) const {
  VectorPath result = *this;
  for (auto& element : result.elements_) {
    element.to = element.to * factor;
    element.control1 = element.control1 * factor;
    element.control2 = element.control2 * factor;
  }
  return result;
}

std::vector<Polygon> VectorPath::flattened(int segmentsPerCurve) const {
  const int pieces = std::max(1, segmentsPerCurve);
  std::vector<Polygon> polygons;
  Point current;
  Point start;
  const auto open = [&]() -> Polygon& {
    // A drawing command without a move first (or after a close) starts where the pen is.
    if (polygons.empty() || polygons.back().closed) polygons.push_back({{current}, false});
    return polygons.back();
  };
  for (const auto& element : elements_) {
    switch (element.kind) {
      case PathElement::Kind::move:
        polygons.push_back({{element.to}, false});
        current = start = element.to;
        break;
      case PathElement::Kind::line:
        open().points.push_back(element.to);
        current = element.to;
        break;
      case PathElement::Kind::cubic: {
        auto& polygon = open();
        for (int i = 1; i <= pieces; ++i) {
          polygon.points.push_back(cubicPoint(current, element.control1, element.control2,
                                              element.to, static_cast<double>(i) / pieces));
        }
        current = element.to;
        break;
      }
      case PathElement::Kind::close:
        if (!polygons.empty() && !polygons.back().closed) polygons.back().closed = true;
        current = start;
        break;
    }
  }
  return polygons;
}

Rect VectorPath::bounds() const {
  double minX = std::numeric_limits<double>::infinity();
  double minY = minX;
  double maxX = -minX;
  double maxY = -minX;
  for (const auto& polygon : flattened()) {
    for (const auto& p : polygon.points) {
      minX = std::min(minX, p.x);
      minY = std::min(minY, p.y);
      maxX = std::max(maxX, p.x);
      maxY = std::max(maxY, p.y);
    }
  }
  if (minX > maxX) return {};
  return Rect{minX, minY, maxX - minX, maxY - minY};
}

std::string VectorPath::svgPathData() const {
  std::string out;
  for (const auto& element : elements_) {
    if (!out.empty()) out += ' ';
    switch (element.kind) {
      case PathElement::Kind::move:
        out += 'M';
        appendPoint(out, element.to);
        break;
      case PathElement::Kind::line:
        out += 'L';
        appendPoint(out, element.to);
        break;
      case PathElement::Kind::cubic:
        out += 'C';
        appendPoint(out, element.control1);
        out += ' ';
        appendPoint(out, element.control2);
        out += ' ';
        appendPoint(out, element.to);
        break;
      case PathElement::Kind::close:
        out += 'Z';
        break;
    }
  }
  return out;
}

}  // namespace tervane
