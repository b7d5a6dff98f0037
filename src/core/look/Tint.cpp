#include "look/Tint.h"

namespace tervane {
namespace {

struct TintInfo {
  std::string_view rawValue;
  Color dark;
  Color accent;
};

const TintInfo& info(TervaneTint tint) {
  static const std::array<TintInfo, 6> table = {{
      {"SLATE", Color::rgb255(46, 58, 77), Color::rgb255(144, 164, 174)},
      {"OCHRE", Color::rgb255(77, 58, 37), Color::rgb255(212, 163, 115)},
      {"OLIVE", Color::rgb255(46, 61, 43), Color::rgb255(143, 163, 143)},
      {"SAND", Color::rgb255(61, 57, 48), Color::rgb255(188, 170, 164)},
      {"VIOLET", Color::rgb255(45, 34, 71), Color::rgb255(137, 92, 245)},
      {"CARBON", Color::rgb255(38, 38, 41), Color::rgb255(243, 243, 245)},
  }};
  return table.at(static_cast<std::size_t>(tint));
}

}  // namespace

Color composite(const Color& top, const Color& over, double alpha) {
  const auto mix = [alpha](double a, double b) { return a * alpha + b * (1 - alpha); };
  return Color{mix(top.red, over.red), mix(top.green, over.green), mix(top.blue, over.blue), 1};
}

std::string rawValue(TervaneTint tint) {
  return std::string(info(tint).rawValue);
}

std::optional<TervaneTint> tintFromRaw(std::string_view raw) {
  for (const auto tint : TervaneTints::allCases) {
    if (info(tint).rawValue == raw) return tint;
  }
  return std::nullopt;
}

Color tintDark(TervaneTint tint) {
  return info(tint).dark;
}
Color accentDark(TervaneTint tint) {
  return info(tint).accent;
}

Color surfaceContainerHigh(TervaneTint tint) {
  return composite(tintDark(tint), TervaneTints::deepBg, TervaneTints::surfaceAlpha);
}

}  // namespace tervane
