// A simulated desktop for tests, demonstrations and the dry-run preview: running
// applications that can be hidden, shown and activated, an idle clock, activation events,
// browsers that answer the real scripts through the real lanes, and a shield that records
// what it was asked. It is described in JSON:
//
//   {"idleSeconds": 30,
//    "apps": [{"bundleId": "com.example.Mail", "name": "Mail", "isFrontmost": true,
//              "secondsSinceLastUse": 12, "canHide": true}],
//    "browsers": {"chrome": <browser state>},
//    "permissions": {"safari": "needsConsent"},
//    "remembered": {"com.example.Music": "stow", "host:github.com": "keep"}}
//
// `apps` are in workspace order; an absent `secondsSinceLastUse` means never used. A
// browser listed under `browsers` is running; permissions default to "allowed" and may be
// "allowed", "denied", "needsConsent", "busy" or "notRunning". Main thread only, except
// the permission hook, which the lanes call from their threads.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Clock.h"
#include "base/Result.h"
#include "base/Signal.h"
#include "guard/GuardObserving.h"
#include "guard/ShieldPresenting.h"
#include "stage/ActivationLog.h"
#include "stage/ActivationSource.h"
#include "stage/StagePlanner.h"
#include "surfaces/AppSurfacing.h"
#include "surfaces/AutomationPermission.h"

namespace tervane::sim {

struct SimApp {
  std::string bundleId;
  std::string name;
  std::optional<double> secondsSinceLastUse;  // as of the moment the desktop was loaded
  bool canHide = true;
  bool isHidden = false;
  // The desktop ignores requests to hide or show it, as a window manager may.
  bool isStuck = false;
  bool isHiddenByRequest = false;
};

// The permission a simulated browser answers with.
enum class SimPermission { allowed, denied, needsConsent, busy, notRunning };

class SimDesktop {
 public:
  // The desktop as the JSON describes it; an error names what is wrong.
  static Result<std::shared_ptr<SimDesktop>> fromJson(const nlohmann::json& description,
                                                      std::shared_ptr<const Clock> clock);

  explicit SimDesktop(std::shared_ptr<const Clock> clock);

  // ---- What the person does. ----
  // Brings an application forward as a click would: it is shown, becomes frontmost, and
  // every activation listener hears of it. Unknown identifiers change nothing.
  void personActivates(const std::string& bundleId);
  void setIdleSeconds(double seconds) { idleSeconds_ = seconds; }
  // Quits an application: it disappears from the list.
  void quit(const std::string& bundleId);
  void addApp(SimApp app);
  void setStuck(const std::string& bundleId, bool stuck);

  // ---- What the desktop shows. ----
  const std::vector<SimApp>& apps() const { return apps_; }
  const SimApp* app(const std::string& bundleId) const;
  const std::optional<std::string>& frontmost() const { return frontmost_; }
  double idleSeconds() const { return idleSeconds_; }
  const nlohmann::json& browserStates() const { return browsers_; }
  const RememberedChoices& remembered() const { return remembered_; }

  // Running browser kinds and their permissions (thread-safe: lanes ask).
  std::set<BrowserKind> runningBrowsers() const;
  SimPermission permission(BrowserKind kind) const;
  void setPermission(BrowserKind kind, SimPermission permission);
  // A "busy" browser's permission query hangs until this is called (it stands for a
  // browser that does not answer); the lane's time limit gives up on it first.
  void waitWhileBusy(BrowserKind kind) const;
  void releaseHungQueries();
  // Consent asked and given: a browser that needed consent is allowed from now on.
  void grantConsentWhenAsked(bool grant);
  bool consentGranted() const;

  // ---- Moves (used by the surfaces). ----
  bool hide(const std::string& bundleId);
  bool unhide(const std::string& bundleId);
  bool activate(const std::string& bundleId);
  // What `hide` put away and nothing has shown since.
  std::vector<std::string> hiddenByRequest() const;

  // Activation listeners; each activation of an application is told to every listener.
  Signal<std::string>& activations() { return activations_; }
  // The desktop's moment of loading, for ages given in the description.
  TimePoint loadedAt() const { return loadedAt_; }

 private:
  SimApp* find(const std::string& bundleId);

  std::shared_ptr<const Clock> clock_;
  TimePoint loadedAt_;
  std::vector<SimApp> apps_;
  std::optional<std::string> frontmost_;
  double idleSeconds_ = 0;
  nlohmann::json browsers_ = nlohmann::json::object();
  RememberedChoices remembered_;
  Signal<std::string> activations_;

  mutable std::mutex permissionMutex_;
  mutable std::condition_variable released_;
  bool hungReleased_ = false;
  std::map<BrowserKind, SimPermission> permissions_;
  std::set<BrowserKind> running_;
  bool grantConsent_ = true;
};

// The app surface over a simulated desktop. Last use comes from the activation log when
// it knows the application, else from the description's age.
class SimAppSurface final : public AppSurfacing {
 public:
  SimAppSurface(std::shared_ptr<SimDesktop> desktop, std::shared_ptr<const Clock> clock,
                std::shared_ptr<ActivationLog> log);

  std::vector<AppFacts> runningApps() override;
  bool hide(const std::string& bundleId) override { return desktop_->hide(bundleId); }
  bool unhide(const std::string& bundleId) override { return desktop_->unhide(bundleId); }
  bool activate(const std::string& bundleId) override { return desktop_->activate(bundleId); }
  double humanIdleSeconds() override { return desktop_->idleSeconds(); }
  std::vector<std::string> stillHidden() const override { return desktop_->hiddenByRequest(); }

 private:
  std::shared_ptr<SimDesktop> desktop_;
  std::shared_ptr<const Clock> clock_;
  std::shared_ptr<ActivationLog> log_;
};

class SimActivationSource final : public ActivationSource {
 public:
  explicit SimActivationSource(std::shared_ptr<SimDesktop> desktop) : desktop_(std::move(desktop)) {}
  std::optional<std::string> frontmostApplication() const override { return desktop_->frontmost(); }
  Subscription onActivation(Handler handler) override;

 private:
  std::shared_ptr<SimDesktop> desktop_;
};

class SimGuardMonitor final : public GuardObserving {
 public:
  explicit SimGuardMonitor(std::shared_ptr<SimDesktop> desktop) : desktop_(std::move(desktop)) {}
  void start(std::function<void(const std::string&)> onActivation) override;
  void stop() override { watching_.reset(); }
  bool isRunning() const override { return watching_.has_value(); }

 private:
  std::shared_ptr<SimDesktop> desktop_;
  std::optional<Signal<std::string>::Connection> watching_;
};

class SimAutomation final : public AutomationPermission {
 public:
  explicit SimAutomation(std::shared_ptr<SimDesktop> desktop) : desktop_(std::move(desktop)) {}
  std::vector<std::string> runningApplicationIds() override;
  std::optional<int> automationStatus(const std::string& bundleId, bool askUserIfNeeded) override;

 private:
  std::shared_ptr<SimDesktop> desktop_;
};

// A shield that shows nothing and records what it was asked; a test answers for the person.
class RecordingShield final : public ShieldPresenting {
 public:
  struct Presented {
    StageItem item;
    std::string actionText;
  };

  void present(const StageItem& item, const std::string& actionText,
               std::function<void(bool)> onAnswer) override;
  void dismiss() override;
  bool isShowing() const override { return showing_.has_value(); }

  const std::vector<Presented>& presented() const { return presented_; }
  int dropped() const { return dropped_; }
  // Answers the shield on screen as the person would; false when none is showing.
  bool personAnswers(bool letThrough);

 private:
  std::optional<Presented> showing_;
  std::function<void(bool)> onAnswer_;
  std::vector<Presented> presented_;
  int dropped_ = 0;
};

}  // namespace tervane::sim
