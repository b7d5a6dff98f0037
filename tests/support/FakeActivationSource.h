// An activation source for tests: the test names the frontmost application and fires
// activations by hand, delivered at once to every subscriber.
#pragma once

#include <optional>
#include <string>

#include "stage/ActivationSource.h"

namespace tervane::testing {

class FakeActivationSource final : public ActivationSource {
 public:
  explicit FakeActivationSource(std::optional<std::string> frontmost = std::nullopt)
      : frontmost_(std::move(frontmost)) {}

  std::optional<std::string> frontmostApplication() const override { return frontmost_; }

  Subscription onActivation(Handler handler) override {
    return activations_.connect(std::move(handler));
  }

  // Brings the application to the front and tells every subscriber.
  void activate(const std::string& bundleId) {
    frontmost_ = bundleId;
    activations_.emit(bundleId);
  }

 private:
  std::optional<std::string> frontmost_;
  Signal<std::string> activations_;
};

}  // namespace tervane::testing
