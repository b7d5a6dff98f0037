#include "look/ThemeManager.h"

#include "base/Text.h"

namespace tervane {

ThemeManager::ThemeManager(Store& store)
    : store_(store),
      tint_(tintFromRaw(Text::asciiUpper(store.selectedTintId())).value_or(TervaneTint::carbon)) {}

void ThemeManager::setTint(TervaneTint tint) {
  if (tint == tint_.get()) return;
  store_.setSelectedTintId(rawValue(tint));
  tint_.set(tint);
}

}  // namespace tervane
