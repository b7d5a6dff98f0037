// Tells the session model, while a stage is open, every time another application
// becomes the active one. It listens to the desktop's `ActivationSource`, which already
// leaves out this application itself and activations without an identifier; the monitor
// adds the watching state: `start` while watching keeps the first callback, `stop` ends
// the subscription. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "guard/GuardObserving.h"
#include "stage/ActivationSource.h"

namespace tervane {

class GuardMonitor final : public GuardObserving {
 public:
  explicit GuardMonitor(std::shared_ptr<ActivationSource> source) : source_(std::move(source)) {}

  void start(std::function<void(const std::string& bundleId)> onActivation) override {
    if (watching_) return;
    token_ = source_->onActivation(std::move(onActivation));
    watching_ = true;
  }
  void stop() override {
    if (!watching_) return;
    token_.disconnect();
    watching_ = false;
  }
  bool isRunning() const override { return watching_; }

 private:
  std::shared_ptr<ActivationSource> source_;
  ActivationSource::Subscription token_;
  bool watching_ = false;
};

}  // namespace tervane
