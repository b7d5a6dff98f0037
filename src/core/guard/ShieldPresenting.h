// The full-screen shield that asks whether an item put away belongs to the one thing.
// One shield at a time: a second `present` while one shows is dropped with its callback.
#pragma once

#include <functional>
#include <string>

#include "stage/StageRecords.h"

namespace tervane {

class ShieldPresenting {
 public:
  virtual ~ShieldPresenting() = default;

  // `onAnswer(true)` means "I need this", false means "Back to it".
  virtual void present(const StageItem& item, const std::string& actionText,
                       std::function<void(bool letThrough)> onAnswer) = 0;
  virtual void dismiss() = 0;
  virtual bool isShowing() const = 0;
};

}  // namespace tervane
