#include "kwin/KWinPlatform.h"

#include "base/Log.h"
#include "guard/GuardMonitor.h"
#include "kwin/KWinBrowsers.h"

namespace tervane::kwin {
namespace {

// Where the scripts' files are while KWin reads them, under the state folder.
constexpr const char* kScriptFolder = "kwin-scripts";

// Reports the window in front now, then every window KWin activates.
constexpr const char* kActivations = R"JS(
function tell(token, w) {
  report(token, w && isApp(w) ? {app: appOf(w), pid: w.pid} : {app: ""});
}
onActivated(function (w) { tell("activated", w); });
tell("front", activeNow());
)JS";

// This application's own windows (its card, panels and shield), as the X11 desktop hints
// ask for them: above the others, on every virtual desktop and out of the task bar. The
// one that asks for full screen is the shield, which takes the keyboard. Preceded by
// `var own = {pid: ..., apps: [...]};`.
constexpr const char* kOwnWindows = R"JS(
function place(w) {
  if (w.pid !== own.pid && own.apps.indexOf(appOf(w)) < 0) return;
  w.keepAbove = true;
  w.onAllDesktops = true;
  w.skipTaskbar = true;
  if (w.fullScreen) setActive(w);  // even where focus stealing prevention would not
}
function watch(w) {
  place(w);
  w.fullScreenChanged.connect(function () { place(w); });
}
var all = windowsNow();
for (var i = 0; i < all.length; ++i) watch(all[i]);
(workspace.windowAdded || workspace.clientAdded).connect(watch);
)JS";

}  // namespace

KWinActivationSource::KWinActivationSource(std::shared_ptr<KWinBus> bus, std::set<std::string> own,
                                           std::optional<std::int64_t> ownPid)
    : bus_(std::move(bus)), own_(std::move(own)), ownPid_(ownPid) {}

KWinActivationSource::~KWinActivationSource() {
  if (loaded_) bus_->unload(kScriptName);
}

Status KWinActivationSource::start() {
  bus_->onReport(
      [this](const std::string& token, const nlohmann::json& value) { reported(token, value); });
  auto loaded = bus_->loadResident(kScriptName, kActivations);
  loaded_ = static_cast<bool>(loaded);
  return loaded;
}

ActivationSource::Subscription KWinActivationSource::onActivation(Handler handler) {
  return activations_.connect(std::move(handler));
}

void KWinActivationSource::reported(const std::string& token, const nlohmann::json& value) {
  if ((token != "front" && token != "activated") || !value.is_object()) return;
  const std::string app = value.value("app", "");
  if (app.empty()) return;
  const bool isOwn =
      own_.count(app) != 0 || (ownPid_ && value.value("pid", std::int64_t{0}) == *ownPid_);
  front_ = app;
  if (token == "front" || isOwn) {
    last_ = app;
    return;
  }
  if (last_ == app) return;
  last_ = app;
  activations_.emit(app);
}

Result<std::shared_ptr<KWinPlatform>> KWinPlatform::open(Options options) {
  auto bus = KWinBus::open(options.stateFolder / kScriptFolder);
  if (!bus) return bus.error();
  std::shared_ptr<KWinPlatform> platform(new KWinPlatform(bus.value(), std::move(options)));
  if (auto started = platform->activations_->start(); !started) return started.error();
  const auto& own = platform->options_;
  const nlohmann::json mine = {{"pid", own.ownPid.value_or(-1)}, {"apps", own.own}};
  if (auto placed = platform->bus_->loadResident(kOwnWindowsScript,
                                                 "var own = " + mine.dump() + ";\n" + kOwnWindows);
      !placed) {
    return placed.error();
  }
  if (auto idle = WaylandIdle::connect()) {
    platform->idle_ = std::move(idle).value();
  } else {
    Log("idle").error("no idle time on this desktop: " + idle.error().message);
  }
  return platform;
}

KWinPlatform::KWinPlatform(std::shared_ptr<KWinBus> bus, Options options)
    : bus_(std::move(bus)), options_(std::move(options)) {
  activations_ = std::make_shared<KWinActivationSource>(bus_, options_.own, options_.ownPid);
  auto windows = std::make_shared<KWinBrowserWindows>(options_.stateFolder / kScriptFolder);
  browsers_ = companion::BrowserStack::make(std::make_shared<x11::ListedBrowserPresence>(windows),
                                            std::make_shared<x11::ListedBrowserLookup>(windows),
                                            options_.companions);
}

KWinPlatform::~KWinPlatform() {
  bus_->unload(kOwnWindowsScript);
}

std::shared_ptr<AppSurfacing> KWinPlatform::appSurface(std::shared_ptr<ActivationLog> log) {
  x11::RecordedAppSurface::Options surface;
  surface.hiddenRecordFile = options_.stateFolder / KWinWindowDoor::kRecordFileName;
  surface.recordWrite = options_.recordWrite;
  surface.neverStow = options_.own;
  surface.ownPid = options_.ownPid;
  if (idle_) surface.idleSeconds = [idle = idle_] { return idle->idleSeconds(); };
  return std::make_shared<x11::RecordedAppSurface>(std::make_shared<KWinWindowDoor>(bus_),
                                                   std::move(log), std::move(surface));
}

std::shared_ptr<GuardObserving> KWinPlatform::guardMonitor() {
  if (!monitor_) monitor_ = std::make_shared<GuardMonitor>(activations_);
  return monitor_;
}

}  // namespace tervane::kwin
