// GNOME Shell's door for this application: the object the Tervane Now extension exports on
// the Shell's own session bus connection (gnome-extension/shell.js), and Mutter's idle
// monitor. Calls answer with what the Shell reads back; the extension's signals (focus
// changes, clicks on the bee, shortcuts) are passed on from `dispatch`.
//
// Events: the owner of the main loop watches `fileDescriptor()` and calls `dispatch()` on
// the main thread when it is readable; signals that a call read into memory meanwhile are
// announced through the wake handler. One thread at a time.
#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/Result.h"
#include "base/Signal.h"

namespace tervane::gnome {

class GnomeShell {
 public:
  static constexpr const char* kService = "org.gnome.Shell";
  static constexpr const char* kPath = "/org/tervane/Now/Shell";
  static constexpr const char* kInterface = "org.tervane.Now.Shell";
  static constexpr const char* kUuid = "tervane-now@tervane.now";
  static constexpr std::chrono::milliseconds kCallLimit{3000};

  // Connects to the session bus; an error when the extension does not answer there.
  static Result<std::shared_ptr<GnomeShell>> open();

  ~GnomeShell();
  GnomeShell(const GnomeShell&) = delete;
  GnomeShell& operator=(const GnomeShell&) = delete;

  // The application windows, top to bottom, as the extension describes them.
  Result<nlohmann::json> listWindows();
  // The ids among `ids` that are (un)minimized now.
  Result<nlohmann::json> setMinimized(const std::vector<std::string>& ids, bool minimized);
  // True once the window has the focus, or is above the other windows of its application.
  bool activate(const std::string& id);
  bool raise(const std::string& id);
  // Shows the bee in the top bar with the picture at `path`; "" takes it away.
  Status setBee(const std::string& path);
  // The bee's picture and place on the screen ({"picture": "", …} when not shown).
  Result<nlohmann::json> bee();
  // Grabs the accelerators (GTK's notation) in place of those grabbed before; which of them
  // the Shell gave.
  Result<nlohmann::json> grabAccelerators(const std::vector<std::string>& accelerators);
  // The accelerators held now.
  Result<std::vector<std::string>> accelerators();
  // Seconds since the person's last input, from Mutter; none when it does not answer.
  std::optional<double> idleSeconds();

  // The extension's signals: `name` is Focused, WindowChanged, BeeClicked or Accelerator,
  // `argument` its one string. Passed on for as long as the connection lives.
  using Signals = Signal<std::string, std::string>;
  [[nodiscard]] Signals::Connection onSignal(Signals::Slot handler) {
    return signals_.connect(std::move(handler));
  }

  bool dispatch();
  int fileDescriptor() const;
  void setWakeHandler(std::function<void()> wake) { wake_ = std::move(wake); }

 private:
  explicit GnomeShell(sd_bus* bus) : bus_(bus) {}
  static int signal(sd_bus_message* message, void* self, sd_bus_error* error);
  // Calls `method` with the arguments `append` adds; the reply, or an error.
  Result<sd_bus_message*> call(const char* method,
                               const std::function<int(sd_bus_message*)>& append);
  Result<std::string> callForString(const char* method,
                                    const std::function<int(sd_bus_message*)>& append);
  bool callForBool(const char* method, const std::string& argument);

  sd_bus* bus_ = nullptr;
  sd_bus_slot* match_ = nullptr;
  Signals signals_;
  std::function<void()> wake_;
};

}  // namespace tervane::gnome
