#include "sim/SimDesktop.h"

#include <algorithm>

#include "base/Json.h"

namespace tervane::sim {
using nlohmann::json;
namespace J = tervane::jsonread;

namespace {

std::optional<SimPermission> permissionFromRaw(const std::string& raw) {
  if (raw == "allowed") return SimPermission::allowed;
  if (raw == "denied") return SimPermission::denied;
  if (raw == "needsConsent") return SimPermission::needsConsent;
  if (raw == "busy") return SimPermission::busy;
  if (raw == "notRunning") return SimPermission::notRunning;
  return std::nullopt;
}

}  // namespace

SimDesktop::SimDesktop(std::shared_ptr<const Clock> clock)
    : clock_(std::move(clock)), loadedAt_(clock_->now()) {}

Result<std::shared_ptr<SimDesktop>> SimDesktop::fromJson(const json& d,
                                                         std::shared_ptr<const Clock> clock) {
  auto desktop = std::make_shared<SimDesktop>(std::move(clock));
  auto failure = [](const std::string& what) { return Error{"desktop description: " + what, 0}; };
  if (!d.is_object()) return failure("not a JSON object");
  try {
    if (auto idle = J::optional(d, "idleSeconds", J::number)) desktop->idleSeconds_ = *idle;
    if (d.contains("apps")) {
      const auto& apps = d.at("apps");
      if (!apps.is_array()) return failure("\"apps\" is not a list");
      for (const auto& a : apps) {
        SimApp app;
        app.bundleId = J::string(J::required(a, "bundleId"));
        app.name = J::optional(a, "name", J::string).value_or(app.bundleId);
        app.secondsSinceLastUse = J::optional(a, "secondsSinceLastUse", J::number);
        app.canHide = J::optional(a, "canHide", J::boolean).value_or(true);
        app.isHidden = J::optional(a, "isHidden", J::boolean).value_or(false);
        if (J::optional(a, "isFrontmost", J::boolean).value_or(false) && !desktop->frontmost_) {
          desktop->frontmost_ = app.bundleId;
        }
        desktop->apps_.push_back(std::move(app));
      }
    }
    if (d.contains("browsers")) {
      const auto& browsers = d.at("browsers");
      if (!browsers.is_object()) return failure("\"browsers\" is not an object");
      for (const auto& [raw, state] : browsers.items()) {
        auto kind = browserKindFromRaw(raw);
        if (!kind) return failure("unknown browser \"" + raw + "\"");
        desktop->running_.insert(*kind);
        desktop->browsers_[raw] = state;
      }
    }
    if (d.contains("permissions")) {
      const auto& permissions = d.at("permissions");
      if (!permissions.is_object()) return failure("\"permissions\" is not an object");
      for (const auto& [raw, value] : permissions.items()) {
        auto kind = browserKindFromRaw(raw);
        auto permission = permissionFromRaw(J::string(value));
        if (!kind) return failure("unknown browser \"" + raw + "\" in permissions");
        if (!permission) return failure("unknown permission for \"" + raw + "\"");
        desktop->permissions_[*kind] = *permission;
      }
    }
    if (d.contains("remembered")) {
      const auto& remembered = d.at("remembered");
      if (!remembered.is_object()) return failure("\"remembered\" is not an object");
      for (const auto& [key, value] : remembered.items()) {
        auto choice = rememberedFromRaw(J::string(value));
        if (!choice) return failure("remembered \"" + key + "\" is neither keep nor stow");
        desktop->remembered_[key] = *choice;
      }
    }
  } catch (const J::ShapeError&) {
    return failure("a field has the wrong type or a required field is missing");
  } catch (const nlohmann::json::exception& e) {
    return failure(e.what());
  }
  return desktop;
}

SimApp* SimDesktop::find(const std::string& bundleId) {
  for (auto& app : apps_) {
    if (app.bundleId == bundleId) return &app;
  }
  return nullptr;
}

const SimApp* SimDesktop::app(const std::string& bundleId) const {
  return const_cast<SimDesktop*>(this)->find(bundleId);
}

void SimDesktop::addApp(SimApp app) { apps_.push_back(std::move(app)); }

void SimDesktop::personActivates(const std::string& bundleId) {
  if (!activate(bundleId)) return;
  idleSeconds_ = 0;
}

void SimDesktop::quit(const std::string& bundleId) {
  apps_.erase(std::remove_if(apps_.begin(), apps_.end(),
                             [&](const SimApp& a) { return a.bundleId == bundleId; }),
              apps_.end());
  if (frontmost_ == bundleId) frontmost_.reset();
  if (auto kind = browserKindForBundleId(bundleId)) {
    std::lock_guard lock(permissionMutex_);
    running_.erase(*kind);
  }
}

void SimDesktop::setStuck(const std::string& bundleId, bool stuck) {
  if (auto* app = find(bundleId)) app->isStuck = stuck;
}

bool SimDesktop::hide(const std::string& bundleId) {
  auto* app = find(bundleId);
  if (!app || app->isStuck) return false;
  app->isHidden = true;
  app->isHiddenByRequest = true;
  if (frontmost_ == bundleId) frontmost_.reset();
  return true;
}

bool SimDesktop::unhide(const std::string& bundleId) {
  auto* app = find(bundleId);
  if (!app || app->isStuck) return false;
  app->isHidden = false;
  app->isHiddenByRequest = false;
  return true;
}

std::vector<std::string> SimDesktop::hiddenByRequest() const {
  std::vector<std::string> ids;
  for (const auto& app : apps_) {
    if (app.isHiddenByRequest) ids.push_back(app.bundleId);
  }
  return ids;
}

bool SimDesktop::activate(const std::string& bundleId) {
  auto* app = find(bundleId);
  if (!app) return false;
  app->isHidden = false;
  app->isHiddenByRequest = false;
  const bool changed = frontmost_ != bundleId;
  frontmost_ = bundleId;
  if (changed) activations_.emit(bundleId);
  return true;
}

std::set<BrowserKind> SimDesktop::runningBrowsers() const {
  std::lock_guard lock(permissionMutex_);
  return running_;
}

SimPermission SimDesktop::permission(BrowserKind kind) const {
  std::lock_guard lock(permissionMutex_);
  auto it = permissions_.find(kind);
  return it == permissions_.end() ? SimPermission::allowed : it->second;
}

void SimDesktop::setPermission(BrowserKind kind, SimPermission permission) {
  {
    std::lock_guard lock(permissionMutex_);
    permissions_[kind] = permission;
  }
  released_.notify_all();
}

void SimDesktop::grantConsentWhenAsked(bool grant) {
  std::lock_guard lock(permissionMutex_);
  grantConsent_ = grant;
}

void SimDesktop::waitWhileBusy(BrowserKind kind) const {
  std::unique_lock lock(permissionMutex_);
  released_.wait(lock, [&] {
    auto it = permissions_.find(kind);
    return hungReleased_ || it == permissions_.end() || it->second != SimPermission::busy;
  });
}

void SimDesktop::releaseHungQueries() {
  {
    std::lock_guard lock(permissionMutex_);
    hungReleased_ = true;
  }
  released_.notify_all();
}

bool SimDesktop::consentGranted() const {
  std::lock_guard lock(permissionMutex_);
  return grantConsent_;
}

// ---- Surfaces ------------------------------------------------------------------------

SimAppSurface::SimAppSurface(std::shared_ptr<SimDesktop> desktop,
                             std::shared_ptr<const Clock> clock,
                             std::shared_ptr<ActivationLog> log)
    : desktop_(std::move(desktop)), clock_(std::move(clock)), log_(std::move(log)) {}

std::vector<AppFacts> SimAppSurface::runningApps() {
  std::vector<AppFacts> facts;
  const auto& front = desktop_->frontmost();
  const double sinceLoad = secondsBetween(desktop_->loadedAt(), clock_->now());
  for (const auto& app : desktop_->apps()) {
    std::optional<double> age = log_ ? log_->secondsSinceLastUse(app.bundleId) : std::nullopt;
    if (!age && app.secondsSinceLastUse) age = *app.secondsSinceLastUse + sinceLoad;
    facts.push_back(AppFacts{app.bundleId, app.name, front == app.bundleId, age, app.canHide});
  }
  return facts;
}

ActivationSource::Subscription SimActivationSource::onActivation(Handler handler) {
  return desktop_->activations().connect(
      [handler = std::move(handler)](const std::string& id) { handler(id); });
}

void SimGuardMonitor::start(std::function<void(const std::string&)> onActivation) {
  if (watching_) return;
  watching_.emplace(desktop_->activations().connect(
      [onActivation = std::move(onActivation)](const std::string& id) { onActivation(id); }));
}

std::vector<std::string> SimAutomation::runningApplicationIds() {
  std::vector<std::string> ids;
  for (const auto& app : desktop_->apps()) ids.push_back(app.bundleId);
  for (auto kind : desktop_->runningBrowsers()) {
    if (std::find(ids.begin(), ids.end(), bundleId(kind)) == ids.end()) ids.push_back(bundleId(kind));
  }
  return ids;
}

std::optional<int> SimAutomation::automationStatus(const std::string& id, bool askUserIfNeeded) {
  auto kind = browserKindForBundleId(id);
  if (!kind) return 0;
  if (desktop_->runningBrowsers().count(*kind) == 0) return -600;
  switch (desktop_->permission(*kind)) {
    case SimPermission::allowed: return 0;
    case SimPermission::denied: return -1743;
    case SimPermission::notRunning: return -600;
    case SimPermission::busy:
      desktop_->waitWhileBusy(*kind);
      return std::nullopt;
    case SimPermission::needsConsent:
      if (!askUserIfNeeded) return -1744;
      if (desktop_->consentGranted()) {
        desktop_->setPermission(*kind, SimPermission::allowed);
        return 0;
      }
      desktop_->setPermission(*kind, SimPermission::denied);
      return -1743;
  }
  return std::nullopt;
}

void RecordingShield::present(const StageItem& item, const std::string& actionText,
                              std::function<void(bool)> onAnswer) {
  if (showing_) {
    ++dropped_;  // one shield at a time: the second request and its callback are dropped
    return;
  }
  showing_ = Presented{item, actionText};
  presented_.push_back(*showing_);
  onAnswer_ = std::move(onAnswer);
}

void RecordingShield::dismiss() {
  showing_.reset();
  onAnswer_ = nullptr;
}

bool RecordingShield::personAnswers(bool letThrough) {
  if (!showing_ || !onAnswer_) return false;
  auto callback = onAnswer_;
  callback(letThrough);
  return true;
}

}  // namespace tervane::sim
