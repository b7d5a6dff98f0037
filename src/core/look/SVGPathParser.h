// Reads SVG path data into a `VectorPath`: the command letters M L H V C S Q T A Z in
// absolute (upper case) and relative (lower case) form, numbers repeated after a command,
// and elliptical arcs drawn as straight segments, one per 5 degrees of sweep.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "look/VectorPath.h"

namespace tervane {

class SVGPathParser {
 public:
  explicit SVGPathParser(std::string_view text) : text_(text) {}

  // Reads from the start to the end of the text. Never fails: unreadable numbers are 0 and
  // characters that cannot start anything are skipped.
  VectorPath parse();

  // One number at the read position, after separators: a sign, then digits, points and
  // exponents ("1e-3"); a sign that does not follow an exponent ends it. 0 when the
  // characters read do not form a number.
  double number();

 private:
  void skipSeparators();
  bool atNumberStart() const;
  Point point();
  void command(char letter);
  void arc(Point to, double rx, double ry, double rotationDegrees, bool largeArc, bool sweep);

  std::string_view text_;
  std::size_t index_ = 0;
  VectorPath path_;
  Point current_;
  Point subpathStart_;
  std::optional<Point> lastCubicControl_;
  std::optional<Point> lastQuadControl_;
  char command_ = 0;
};

}  // namespace tervane
