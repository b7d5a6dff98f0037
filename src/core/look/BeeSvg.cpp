#include "look/BeeSvg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tervane {

std::string hexColor(const Color& color) {
  auto channel = [](double fraction) {
    return static_cast<int>(std::lround(std::clamp(fraction, 0.0, 1.0) * 255));
  };
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", channel(color.red), channel(color.green),
                channel(color.blue));
  return text;
}

std::string beeSvgDocument(const BeeShape& bee, const Color& fill) {
  const std::string size = std::to_string(static_cast<int>(BeeShape::kDesignSize));
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         size + "\" height=\"" + size + "\" viewBox=\"0 0 " + size + " " + size +
         "\">\n"
         "  <path fill=\"" +
         hexColor(fill) + "\" d=\"" + bee.designPath().svgPathData() +
         "\"/>\n"
         "</svg>\n";
}

}  // namespace tervane
