#include "gnome/GnomePlatform.h"

#include "gnome/GnomeWindows.h"
#include "guard/GuardMonitor.h"
#include "linux/ClientWindows.h"

namespace tervane::gnome {

ActivationSource::Subscription GnomeActivationSource::onActivation(Handler handler) {
  return activations_.connect(std::move(handler));
}

void GnomeActivationSource::focused(const nlohmann::json& window, bool announce) {
  if (!window.is_object()) return;
  const std::string app = x11::appIdentifier(window.value("app", ""));
  if (app.empty()) return;
  const bool isOwn =
      own_.count(app) != 0 || (ownPid_ && window.value("pid", std::int64_t{0}) == *ownPid_);
  const bool changed = front_ != app;
  front_ = app;
  if (announce && changed && !isOwn) activations_.emit(app);
}

Result<std::shared_ptr<GnomePlatform>> GnomePlatform::open(Options options) {
  auto shell = GnomeShell::open();
  if (!shell) return shell.error();
  std::shared_ptr<GnomePlatform> platform(new GnomePlatform(shell.value(), std::move(options)));
  platform->focusSignal_ =
      platform->shell_->onSignal([source = platform->activations_.get()](
                                     const std::string& name, const std::string& argument) {
        if (name == "Focused")
          source->focused(nlohmann::json::parse(argument, nullptr, false), true);
      });
  if (auto windows = platform->shell_->listWindows()) {
    for (const auto& window : windows.value()) {
      if (window.value("active", false)) platform->activations_->focused(window, false);
    }
  }
  return platform;
}

GnomePlatform::GnomePlatform(std::shared_ptr<GnomeShell> shell, Options options)
    : shell_(std::move(shell)), options_(std::move(options)) {
  activations_ = std::make_shared<GnomeActivationSource>(options_.own, options_.ownPid);
  auto windows = std::make_shared<GnomeBrowserWindows>();
  browsers_ = companion::BrowserStack::make(std::make_shared<x11::ListedBrowserPresence>(windows),
                                            std::make_shared<x11::ListedBrowserLookup>(windows),
                                            options_.companions);
}

std::shared_ptr<AppSurfacing> GnomePlatform::appSurface(std::shared_ptr<ActivationLog> log) {
  x11::RecordedAppSurface::Options surface;
  surface.hiddenRecordFile = options_.stateFolder / GnomeWindowDoor::kRecordFileName;
  surface.recordWrite = options_.recordWrite;
  surface.neverStow = options_.own;
  surface.ownPid = options_.ownPid;
  surface.idleSeconds = [shell = shell_] { return shell->idleSeconds().value_or(0.0); };
  return std::make_shared<x11::RecordedAppSurface>(std::make_shared<GnomeWindowDoor>(shell_),
                                                   std::move(log), std::move(surface));
}

std::shared_ptr<GuardObserving> GnomePlatform::guardMonitor() {
  if (!monitor_) monitor_ = std::make_shared<GuardMonitor>(activations_);
  return monitor_;
}

}  // namespace tervane::gnome
