// The palette of the dark look: six named tints, each a dark tone for hover surfaces and an
// accent for the bee, the verbs and the reason bar, plus the background and ink that every
// tint shares. Colours are sRGB components as fractions of 255.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tervane {

struct Color {
  double red = 0;
  double green = 0;
  double blue = 0;
  double opacity = 1;

  static constexpr Color rgb255(int r, int g, int b) {
    return Color{r / 255.0, g / 255.0, b / 255.0, 1};
  }
  constexpr Color withOpacity(double alpha) const { return Color{red, green, blue, alpha}; }

  friend bool operator==(const Color&, const Color&) = default;
};

// Opaque mix, channel by channel: top × alpha + bottom × (1 − alpha). The inputs'
// own opacities play no part.
Color composite(const Color& top, const Color& over, double alpha);

enum class TervaneTint { slate, ochre, olive, sand, violet, carbon };

namespace TervaneTints {
inline constexpr std::array<TervaneTint, 6> allCases = {TervaneTint::slate,  TervaneTint::ochre,
                                                        TervaneTint::olive,  TervaneTint::sand,
                                                        TervaneTint::violet, TervaneTint::carbon};

// The background of the card and of every panel.
inline constexpr Color deepBg = Color::rgb255(14, 16, 20);
// Text; dimmed text and hairlines are ink at the opacities below.
inline constexpr Color ink = Color::rgb255(243, 243, 245);
inline constexpr double dimmedOpacity = 0.6;
inline constexpr double hairlineOpacity = 0.14;
// How much of the tint's dark tone lies over the background in a hovered row.
inline constexpr double surfaceAlpha = 0.14;
}  // namespace TervaneTints

// "SLATE" … "CARBON"; the raw value is also the tint's identity.
std::string rawValue(TervaneTint tint);
inline std::string id(TervaneTint tint) {
  return rawValue(tint);
}
// Exact match on the raw value.
std::optional<TervaneTint> tintFromRaw(std::string_view raw);

Color tintDark(TervaneTint tint);
Color accentDark(TervaneTint tint);
// The hover background of receipt rows: the dark tone over the shared background.
Color surfaceContainerHigh(TervaneTint tint);

}  // namespace tervane
