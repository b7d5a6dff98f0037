// The colours the painted pieces use, named by what they are rather than by value: the
// shared ink and background, the current tint's accent and hover surface, each at an
// opacity. A piece keeps a tone and resolves it against the tint when it paints, so a
// change of tint needs only a repaint.
#pragma once

#include <QColor>

#include "look/Tint.h"

namespace tervane {

inline QColor qColor(const Color& color, double opacity = 1) {
  return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                          static_cast<float>(color.blue),
                          static_cast<float>(color.opacity * opacity));
}

struct Tone {
  enum class Source { ink, accent, deepBg, surface };

  Source source = Source::ink;
  double opacity = 1;

  static constexpr Tone ink(double opacity = 1) { return Tone{Source::ink, opacity}; }
  // `ink` at 0.6: secondary text.
  static constexpr Tone dimmed() { return Tone{Source::ink, TervaneTints::dimmedOpacity}; }
  static constexpr Tone accent(double opacity = 1) { return Tone{Source::accent, opacity}; }
  static constexpr Tone deepBg(double opacity = 1) { return Tone{Source::deepBg, opacity}; }
  // The tint's `surfaceContainerHigh`.
  static constexpr Tone surface(double opacity = 1) { return Tone{Source::surface, opacity}; }

  QColor resolve(TervaneTint tint, double extraOpacity = 1) const {
    switch (source) {
      case Source::ink:
        return qColor(TervaneTints::ink, opacity * extraOpacity);
      case Source::accent:
        return qColor(accentDark(tint), opacity * extraOpacity);
      case Source::deepBg:
        return qColor(TervaneTints::deepBg, opacity * extraOpacity);
      case Source::surface:
        return qColor(surfaceContainerHigh(tint), opacity * extraOpacity);
    }
    return {};
  }

  friend bool operator==(const Tone&, const Tone&) = default;
};

}  // namespace tervane
