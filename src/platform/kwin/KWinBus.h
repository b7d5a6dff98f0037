// KWin's door for other programs on a Plasma Wayland desktop: scripts that KWin loads at
// run time and that answer over D-Bus. One sd-bus connection to the session bus carries
// both directions: the calls to KWin's scripting service (load, run, unload), and the
// `report` calls the scripts make back to this connection's own unique name through
// `callDBus`, so that a script left behind by an earlier run talks to nobody.
//
// A script run once (`runOnce`) reports one JSON value under a token of its own, which
// the call waits for within its time limit while handling every other message that
// arrives. A resident script reports under tokens of its choosing; `onReport` passes
// those on. Plasma 5.27 and Plasma 6 name the script API differently
// (`clientList`/`activeClient`/`clientActivated` against
// `windowList`/`activeWindow`/`windowActivated`) and place a loaded script at
// different object paths; the prelude every script starts with and `run` hide both.
//
// Events: the owner of the main loop watches `fileDescriptor()` and calls `dispatch()`
// on the main thread when it is readable; messages that a synchronous call read into
// memory are announced through the wake handler. One thread at a time: the main thread's
// connection, and another that the browser lanes share under a lock.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include <systemd/sd-bus.h>

#include "base/Result.h"

namespace tervane::kwin {

class KWinBus {
 public:
  static constexpr const char* kReportPath = "/org/tervane/Now/KWin";
  static constexpr const char* kReportInterface = "org.tervane.Now.KWin";
  static constexpr std::chrono::milliseconds kScriptLimit{3000};

  // Connects to the session bus of DBUS_SESSION_BUS_ADDRESS. `scriptFolder` holds the
  // script files while KWin reads them (created 0700 when missing).
  static Result<std::shared_ptr<KWinBus>> open(std::filesystem::path scriptFolder);
  static constexpr const char* kService = "org.kde.KWin";
  // True when a program holds `name` on the session bus (KWin's kService, GNOME Shell's).
  static bool nameOnSessionBus(const char* name);

  ~KWinBus();
  KWinBus(const KWinBus&) = delete;
  KWinBus& operator=(const KWinBus&) = delete;

  // Runs `body` as a script that ends by calling `reply(value)` once, and gives that
  // value; an error when KWin refuses the script or it does not answer in time. The
  // script is unloaded either way. `body` sees the prelude's helpers.
  Result<nlohmann::json> runOnce(const std::string& body,
                                 std::chrono::milliseconds limit = kScriptLimit);

  // Loads `body` as a script that stays until `unload(name)`, replacing one of that name
  // that is still loaded (left by a run that crashed). `body` reports with
  // `report(token, value)`.
  Status loadResident(const std::string& name, const std::string& body);
  void unload(const std::string& name);

  using ReportHandler = std::function<void(const std::string& token, const nlohmann::json& value)>;
  void onReport(ReportHandler handler) { reportHandler_ = std::move(handler); }

  // Handles the messages waiting; false once the connection is gone.
  bool dispatch();
  // Handles messages until `done()` or the limit passes; true when `done()`.
  bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  int fileDescriptor() const;
  void setWakeHandler(std::function<void()> wake) { wake_ = std::move(wake); }

  const std::string& uniqueName() const { return uniqueName_; }
  // The connection, for the other services KWin hosts (its global shortcuts).
  sd_bus* raw() const { return bus_; }

 private:
  KWinBus(sd_bus* bus, std::filesystem::path scriptFolder);
  static int filter(sd_bus_message* message, void* self, sd_bus_error* error);
  int handle(sd_bus_message* message);
  std::string scriptText(const std::string& body, const std::string& token) const;
  // Loads and runs the script text under `name`; the error names what failed.
  Status loadAndRun(const std::string& name, const std::string& text);
  void wakeIfPending();

  sd_bus* bus_ = nullptr;
  sd_bus_slot* filterSlot_ = nullptr;
  std::filesystem::path scriptFolder_;
  std::string uniqueName_;
  std::string connectionTag_;
  std::uint64_t nextToken_ = 1;
  std::map<std::string, nlohmann::json> answers_;
  ReportHandler reportHandler_;
  std::function<void()> wake_;
};

}  // namespace tervane::kwin
