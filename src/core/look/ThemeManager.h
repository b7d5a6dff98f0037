// The current tint for every view, read once at launch from the store's defaults and
// written back only when it changes. Views subscribe to the change signal and redraw.
// One per process, created by the app shell; main thread only.
#pragma once

#include "base/Signal.h"
#include "data/Store.h"
#include "look/Tint.h"

namespace tervane {

class ThemeManager {
 public:
  static constexpr double cardCornerRadius = 32;
  static constexpr double itemCornerRadius = 20;

  // Reads "selected_tint_id": upper-cased and matched by raw value; a name that matches no
  // tint, or no stored name, gives carbon. Reading writes nothing.
  explicit ThemeManager(Store& store);
  ThemeManager(const ThemeManager&) = delete;
  ThemeManager& operator=(const ThemeManager&) = delete;

  TervaneTint tint() const { return tint_.get(); }
  // A different tint is stored and signalled; the same tint does nothing.
  void setTint(TervaneTint tint);
  Signal<TervaneTint>& tintChanged() { return tint_.changed(); }

  Store& store() const { return store_; }

 private:
  Store& store_;
  Observable<TervaneTint> tint_;
};

}  // namespace tervane
