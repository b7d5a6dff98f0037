#include "look/SVGPathParser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace tervane {
namespace {

constexpr std::string_view kCommands = "MmLlHhVvCcSsQqTtAaZz";

bool isSeparator(char c) {
  return c == ' ' || c == ',' || c == '\n' || c == '\t' || c == '\r';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isRelative(char c) {
  return c >= 'a' && c <= 'z';
}

// The angle from u to v, negative when v lies clockwise of u in the y-up sense of the
// cross product.
double angleBetween(Point u, Point v) {
  const double lengths = std::hypot(u.x, u.y) * std::hypot(v.x, v.y);
  if (lengths == 0) return 0;
  const double cosine = std::clamp((u.x * v.x + u.y * v.y) / lengths, -1.0, 1.0);
  const double angle = std::acos(cosine);
  return (u.x * v.y - u.y * v.x) < 0 ? -angle : angle;
}

}  // namespace

void SVGPathParser::skipSeparators() {
  while (index_ < text_.size() && isSeparator(text_[index_])) ++index_;
}

bool SVGPathParser::atNumberStart() const {
  if (index_ >= text_.size()) return false;
  const char c = text_[index_];
  return isDigit(c) || c == '.' || c == '-' || c == '+';
}

double SVGPathParser::number() {
  skipSeparators();
  bool negative = false;
  if (index_ < text_.size() && (text_[index_] == '-' || text_[index_] == '+')) {
    negative = text_[index_] == '-';
    ++index_;
  }
  const std::size_t digits = index_;
  while (index_ < text_.size()) {
    const char c = text_[index_];
    if (isDigit(c) || c == '.') {
      ++index_;
    } else if (c == 'e' || c == 'E') {
      ++index_;
      if (index_ < text_.size() && (text_[index_] == '-' || text_[index_] == '+')) ++index_;
    } else {
      break;
    }
  }
  const std::string_view body = text_.substr(digits, index_ - digits);
  if (body.empty()) return 0;
  double value = 0;
  // from_chars rather than strtod: it ignores the process locale and takes no sign of its
  // own, so "1.2.3", "1e" and "." are refused as a whole.
  const auto [end, error] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (error != std::errc{} || end != body.data() + body.size() || !std::isfinite(value)) return 0;
  return negative ? -value : value;
}

Point SVGPathParser::point() {
  const double x = number();
  const double y = number();
  return Point{x, y};
}

VectorPath SVGPathParser::parse() {
  index_ = 0;
  path_ = VectorPath{};
  current_ = subpathStart_ = Point{};
  lastCubicControl_.reset();
  lastQuadControl_.reset();
  command_ = 0;

  while (true) {
    skipSeparators();
    if (index_ >= text_.size()) break;
    const char c = text_[index_];
    if (kCommands.find(c) != std::string_view::npos) {
      command_ = c;
      ++index_;
    } else if (command_ == 0 || command_ == 'Z' || command_ == 'z' || !atNumberStart()) {
      // Nothing to repeat, or a character that can start no number: reading it as a
      // repetition would consume nothing and never end.
      ++index_;
      continue;
    }
    command(command_);
  }
  return std::move(path_);
}

void SVGPathParser::command(char letter) {
  const bool relative = isRelative(letter);
  const Point origin = relative ? current_ : Point{};
  const char upper = relative ? static_cast<char>(letter - 'a' + 'A') : letter;
  std::optional<Point> cubicControl;
  std::optional<Point> quadControl;

  switch (upper) {
    case 'M': {
      const Point to = origin + point();
      path_.moveTo(to);
      current_ = subpathStart_ = to;
      // Further pairs after a move are lines.
      command_ = relative ? 'l' : 'L';
      break;
    }
    case 'L': {
      const Point to = origin + point();
      path_.lineTo(to);
      current_ = to;
      break;
    }
    case 'H': {
      const double x = number() + origin.x;
      current_ = Point{x, current_.y};
      path_.lineTo(current_);
      break;
    }
    case 'V': {
      const double y = number() + origin.y;
      current_ = Point{current_.x, y};
      path_.lineTo(current_);
      break;
    }
    case 'C': {
      const Point c1 = origin + point();
      const Point c2 = origin + point();
      const Point to = origin + point();
      path_.cubicTo(c1, c2, to);
      cubicControl = c2;
      current_ = to;
      break;
    }
    case 'S': {
      // Without a cubic just before, the first control point is the current point.
      const Point c1 = lastCubicControl_ ? current_ * 2 - *lastCubicControl_ : current_;
      const Point c2 = origin + point();
      const Point to = origin + point();
      path_.cubicTo(c1, c2, to);
      cubicControl = c2;
      current_ = to;
      break;
    }
    case 'Q':
    case 'T': {
      Point control;
      if (upper == 'Q') {
        control = origin + point();
      } else {
        control = lastQuadControl_ ? current_ * 2 - *lastQuadControl_ : current_;
      }
      const Point to = origin + point();
      // A quadratic is the cubic whose controls lie two thirds of the way to its control.
      path_.cubicTo(current_ + (control - current_) * (2.0 / 3.0),
                    to + (control - to) * (2.0 / 3.0), to);
      quadControl = control;
      current_ = to;
      break;
    }
    case 'A': {
      const double rx = number();
      const double ry = number();
      const double rotation = number();
      const bool largeArc = number() != 0;
      const bool sweep = number() != 0;
      const Point to = origin + point();
      arc(to, rx, ry, rotation, largeArc, sweep);
      current_ = to;
      break;
    }
    case 'Z':
      path_.close();
      current_ = subpathStart_;
      break;
    default:
      break;
  }
  lastCubicControl_ = cubicControl;
  lastQuadControl_ = quadControl;
}

void SVGPathParser::arc(Point to, double rx, double ry, double rotationDegrees, bool largeArc,
                        bool sweep) {
  const Point from = current_;
  rx = std::abs(rx);
  ry = std::abs(ry);
  if (rx == 0 || ry == 0) {
    path_.lineTo(to);
    return;
  }
  // An arc that ends where it starts has no centre to find; it draws nothing.
  if (from == to) return;

  const double phi = rotationDegrees * std::numbers::pi / 180;
  const double cosPhi = std::cos(phi);
  const double sinPhi = std::sin(phi);

  // Endpoint to centre conversion: the start point in the ellipse's own axes, halfway.
  const double dx = (from.x - to.x) / 2;
  const double dy = (from.y - to.y) / 2;
  const double x1 = cosPhi * dx + sinPhi * dy;
  const double y1 = -sinPhi * dx + cosPhi * dy;

  // Radii too small to reach the end point grow just enough.
  const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
  if (lambda > 1) {
    rx *= std::sqrt(lambda);
    ry *= std::sqrt(lambda);
  }

  const double rx2 = rx * rx;
  const double ry2 = ry * ry;
  const double denominator = rx2 * y1 * y1 + ry2 * x1 * x1;
  double factor = std::sqrt(std::max(0.0, (rx2 * ry2 - denominator) / denominator));
  if (largeArc == sweep) factor = -factor;
  const double cx1 = factor * rx * y1 / ry;
  const double cy1 = -factor * ry * x1 / rx;
  const Point centre{cosPhi * cx1 - sinPhi * cy1 + (from.x + to.x) / 2,
                     sinPhi * cx1 + cosPhi * cy1 + (from.y + to.y) / 2};

  const Point u{(x1 - cx1) / rx, (y1 - cy1) / ry};
  const Point v{(-x1 - cx1) / rx, (-y1 - cy1) / ry};
  const double start = angleBetween(Point{1, 0}, u);
  double delta = angleBetween(u, v);
  if (!sweep && delta > 0) delta -= 2 * std::numbers::pi;
  if (sweep && delta < 0) delta += 2 * std::numbers::pi;

  // One straight piece per whole 5 degrees, at least two. The small allowance keeps an
  // exact quarter turn at 18 pieces despite rounding in the arc cosine.
  constexpr double kStep = std::numbers::pi / 36;
  const int pieces = std::max(2, static_cast<int>(std::floor(std::abs(delta) / kStep + 1e-9)));
  for (int i = 1; i < pieces; ++i) {
    const double angle = start + delta * i / pieces;
    const double ex = rx * std::cos(angle);
    const double ey = ry * std::sin(angle);
    path_.lineTo(Point{centre.x + ex * cosPhi - ey * sinPhi, centre.y + ex * sinPhi + ey * cosPhi});
  }
  // The last point is the end point itself, so rounding never leaves a seam.
  path_.lineTo(to);
}

}  // namespace tervane
