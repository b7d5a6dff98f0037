// The bee as a stand-alone SVG picture, for the application's icon: one filled path in the
// 750-unit design square, written from the parsed outline so the icon is exactly the bee
// the application draws.
#pragma once

#include <string>

#include "look/BeeShape.h"
#include "look/Tint.h"

namespace tervane {

// "#rrggbb" of an opaque colour, each channel rounded to the nearest of 0…255.
std::string hexColor(const Color& color);

// A complete SVG document, viewBox "0 0 750 750", holding the bee in `fill`.
std::string beeSvgDocument(const BeeShape& bee, const Color& fill);

}  // namespace tervane
