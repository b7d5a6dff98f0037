#include "linux/X11Platform.h"

#include "guard/GuardMonitor.h"
#include "linux/X11AppSurface.h"
#include "linux/X11ScriptableBrowser.h"

namespace tervane::x11 {

X11Platform::X11Platform(std::shared_ptr<XConnection> connection, Options options)
    : connection_(std::move(connection)),
      options_(std::move(options)),
      mover_(WindowMover::forDisplayOf(*connection_)) {
  if (auto stowed = mover_->stowedQuery()) connection_->setStowedQuery(std::move(stowed));
  presence_ =
      std::make_shared<X11AutomationPermission>(connection_, options_.procRoot, options_.own);
  browsers_ = companion::BrowserStack::make(
      presence_, std::make_shared<X11BrowserLookup>(connection_, presence_, mover_),
      options_.companions);
}

std::shared_ptr<ActivationSource> X11Platform::activationSource() {
  if (!activationSource_) {
    activationSource_ = std::make_shared<X11ActivationSource>(connection_, options_.own, mover_);
  }
  return activationSource_;
}

std::shared_ptr<AppSurfacing> X11Platform::appSurface(std::shared_ptr<ActivationLog> log) {
  X11AppSurface::Options surface;
  surface.hiddenRecordFile = options_.stateFolder / HiddenWindowRecord::kFileName;
  surface.recordWrite = options_.recordWrite;
  surface.own = options_.own;
  surface.desktopEntryFolders = options_.desktopEntryFolders;
  surface.mover = mover_;
  (void)activationSource();
  surface.onReturn =
      [source = std::weak_ptr<X11ActivationSource>(activationSource_)](const std::string& app) {
        if (auto alive = source.lock()) alive->reportReturn(app);
      };
  return std::make_shared<X11AppSurface>(connection_, std::move(log), std::move(surface));
}

std::shared_ptr<BrowserSurfacing> X11Platform::browserSurface() {
  return browsers_.surface;
}

std::shared_ptr<GuardObserving> X11Platform::guardMonitor() {
  if (!monitor_) monitor_ = std::make_shared<GuardMonitor>(activationSource());
  return monitor_;
}

}  // namespace tervane::x11
