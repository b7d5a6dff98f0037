#include "sway/SwayPlatform.h"

#include "base/Log.h"
#include "guard/GuardMonitor.h"
#include "sway/SwayBrowsers.h"

namespace tervane::sway {
namespace {

// The criteria that match this application's windows.
std::string ownCriteria(const std::string& appId) {
  return "[app_id=\"^" + appId + "$\"]";
}

// The tree's node in a window event, as a window of the tree.
std::optional<x11::TreeWindow> eventWindow(const nlohmann::json& event) {
  const auto container = event.find("container");
  if (container == event.end() || !container->is_object()) return std::nullopt;
  // Read as the only window of a tree of one.
  const auto windows = x11::treeWindows(
      nlohmann::json{{"type", "root"}, {"nodes", nlohmann::json::array({*container})}},
      x11::WindowKey::container);
  if (windows.empty()) return std::nullopt;
  return windows.begin()->second;
}

}  // namespace

ActivationSource::Subscription SwayActivationSource::onActivation(Handler handler) {
  return activations_.connect(std::move(handler));
}

void SwayActivationSource::start(const x11::TreeWindow& window) {
  focused(window, false);
}

void SwayActivationSource::event(const nlohmann::json& event) {
  if (!event.is_object() || event.value("change", "") != "focus") return;
  if (const auto window = eventWindow(event)) focused(*window, true);
}

void SwayActivationSource::focused(const x11::TreeWindow& window, bool announce) {
  const std::string app = appOf(window);
  if (app.empty()) return;
  const bool isOwn = own_.count(app) != 0 || (ownPid_ && window.pid == *ownPid_);
  const bool changed = front_ != app;
  front_ = app;
  if (announce && changed && !isOwn) activations_.emit(app);
}

Result<std::shared_ptr<SwayPlatform>> SwayPlatform::open(Options options) {
  auto requests = x11::I3Ipc::connect(options.socketPath);
  auto events = x11::I3Ipc::connect(options.socketPath);
  if (!requests || !events || !events->listen(nlohmann::json::array({"window"}))) {
    return Error{"sway does not answer on " + options.socketPath, 0};
  }
  std::shared_ptr<SwayPlatform> platform(new SwayPlatform(std::move(options)));
  const auto& own = platform->options_;
  platform->scratchpad_ = std::make_shared<x11::Scratchpad>(
      std::move(requests), x11::WindowKey::container, ownCriteria(kOwnAppId));
  platform->events_ = std::move(events);
  // The card, its panels and the shield float over the tiles, on every workspace.
  std::vector<std::string> rules;
  for (const auto& app : own.own) {
    rules.push_back("for_window " + ownCriteria(app) + " floating enable, sticky enable");
  }
  platform->scratchpad_->run(rules);
  const auto tree = platform->scratchpad_->read();
  if (!tree) return Error{"sway does not answer on " + own.socketPath, 0};
  for (const auto& [container, window] : *tree) {
    if (window.focused) platform->activations_->start(window);
  }
  if (auto idle = kwin::WaylandIdle::connect()) {
    platform->idle_ = std::move(idle).value();
  } else {
    Log("idle").error("no idle time on this desktop: " + idle.error().message);
  }
  return platform;
}

SwayPlatform::SwayPlatform(Options options) : options_(std::move(options)) {
  activations_ = std::make_shared<SwayActivationSource>(options_.own, options_.ownPid);
  auto windows = std::make_shared<SwayBrowserWindows>(options_.socketPath, ownCriteria(kOwnAppId));
  browsers_ = companion::BrowserStack::make(std::make_shared<x11::ListedBrowserPresence>(windows),
                                            std::make_shared<x11::ListedBrowserLookup>(windows),
                                            options_.companions);
}

bool SwayPlatform::dispatch() {
  return events_->readEvents([this](std::uint32_t type, const nlohmann::json& event) {
    if (type == x11::I3Ipc::kWindowEvent) activations_->event(event);
  });
}

std::shared_ptr<AppSurfacing> SwayPlatform::appSurface(std::shared_ptr<ActivationLog> log) {
  SwayAppSurface::Options surface;
  surface.neverStow = options_.own;
  surface.ownPid = options_.ownPid;
  surface.idle = idle_;
  return std::make_shared<SwayAppSurface>(scratchpad_, std::move(log), std::move(surface));
}

std::shared_ptr<GuardObserving> SwayPlatform::guardMonitor() {
  if (!monitor_) monitor_ = std::make_shared<GuardMonitor>(activations_);
  return monitor_;
}

}  // namespace tervane::sway
