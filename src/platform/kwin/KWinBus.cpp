#include "kwin/KWinBus.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "base/AtomicFile.h"
#include "linux/ClientWindows.h"

namespace tervane::kwin {
namespace {

constexpr const char* kScripting = "org.kde.kwin.Scripting";
constexpr const char* kOncePrefix = "once-";

Error busError(const char* what, int r, const sd_bus_error* error = nullptr) {
  std::string message = what;
  if (error && error->message) {
    message += ": ";
    message += error->message;
  } else {
    message += ": ";
    message += std::strerror(-r);
  }
  return Error{message, -r};
}

// The helpers every script starts with: the two generations of KWin's script API behind
// one set of names, and the way back to this connection.
constexpr const char* kPrelude = R"JS(
function windowsNow() {
  return typeof workspace.windowList === "function" ? workspace.windowList()
                                                     : workspace.clientList();
}
// Every window, bottom to top (5.27 gives each window its place, not the list).
function stackedNow() {
  if (workspace.stackingOrder !== undefined) return Array.prototype.slice.call(workspace.stackingOrder);
  return Array.prototype.slice.call(windowsNow()).sort(function (a, b) {
    return a.stackingOrder - b.stackingOrder;
  });
}
function activeNow() {
  return workspace.activeWindow !== undefined ? workspace.activeWindow : workspace.activeClient;
}
function setActive(w) {
  if (workspace.activeWindow !== undefined) workspace.activeWindow = w;
  else workspace.activeClient = w;
}
function onActivated(f) {
  (workspace.windowActivated !== undefined ? workspace.windowActivated
                                           : workspace.clientActivated).connect(f);
}
// A Wayland window's app id names its desktop file; an XWayland window has its class. A
// browser goes by its fixed identifier, whichever build or protocol it runs as.
function appOf(w) {
  var file = w.desktopFileName ? String(w.desktopFileName) : "";
  var app = file !== "" ? file : String(w.resourceClass || "");
  var browser = browserApps[app.toLowerCase()];
  return browser !== undefined ? browser : app;
}
function idOf(w) { return String(w.internalId); }
function isApp(w) { return w.normalWindow && !w.skipTaskbar && appOf(w) !== ""; }
function report(token, value) {
  callDBus(tervane.service, tervane.path, tervane.iface, "report", token, JSON.stringify(value));
}
)JS";

}  // namespace

Result<std::shared_ptr<KWinBus>> KWinBus::open(std::filesystem::path scriptFolder) {
  if (auto made = createFolders(scriptFolder, std::filesystem::perms::owner_all); !made) {
    return made.error();
  }
  sd_bus* bus = nullptr;
  if (int r = sd_bus_open_user(&bus); r < 0) return busError("no session bus", r);
  std::shared_ptr<KWinBus> self(new KWinBus(bus, std::move(scriptFolder)));
  if (int r = sd_bus_add_filter(bus, &self->filterSlot_, &KWinBus::filter, self.get()); r < 0) {
    return busError("cannot watch the session bus", r);
  }
  const char* unique = nullptr;
  if (int r = sd_bus_get_unique_name(bus, &unique); r < 0) {
    return busError("no name on the session bus", r);
  }
  self->uniqueName_ = unique;
  // ":1.42" names this connection; "1-42" does in a script's name.
  for (char c : self->uniqueName_) {
    if (std::isalnum(static_cast<unsigned char>(c)))
      self->connectionTag_ += c;
    else if (!self->connectionTag_.empty())
      self->connectionTag_ += '-';
  }
  return self;
}

bool KWinBus::nameOnSessionBus(const char* name) {
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return false;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int owned = 0;
  if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "NameHasOwner", &error, &reply, "s", name) >= 0) {
    if (sd_bus_message_read(reply, "b", &owned) < 0) owned = 0;
  }
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  sd_bus_flush_close_unref(bus);
  return owned != 0;
}

KWinBus::KWinBus(sd_bus* bus, std::filesystem::path scriptFolder)
    : bus_(bus), scriptFolder_(std::move(scriptFolder)) {}

KWinBus::~KWinBus() {
  sd_bus_slot_unref(filterSlot_);
  sd_bus_flush_close_unref(bus_);
}

int KWinBus::filter(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
  return static_cast<KWinBus*>(self)->handle(message);
}

int KWinBus::handle(sd_bus_message* message) {
  if (!sd_bus_message_is_method_call(message, kReportInterface, "report")) return 0;
  const char* token = nullptr;
  const char* text = nullptr;
  if (sd_bus_message_read(message, "ss", &token, &text) < 0) {
    sd_bus_reply_method_errorf(message, SD_BUS_ERROR_INVALID_ARGS, "expected two strings");
    return 1;
  }
  sd_bus_reply_method_return(message, "");
  auto value = nlohmann::json::parse(text, nullptr, false);
  if (value.is_discarded()) return 1;
  const std::string key = token;
  if (key.rfind(kOncePrefix, 0) == 0) {
    answers_[key] = std::move(value);
  } else if (reportHandler_) {
    reportHandler_(key, value);
  }
  return 1;
}

std::string KWinBus::scriptText(const std::string& body, const std::string& token) const {
  using nlohmann::json;
  std::string text = "(function () {\nvar tervane = {service: " + json(uniqueName_).dump() +
                     ", path: " + json(kReportPath).dump() +
                     ", iface: " + json(kReportInterface).dump() + "};\n";
  static const std::string browsers = json(x11::browserClassIdentifiers()).dump();
  text += "var browserApps = " + browsers + ";\n";
  text += kPrelude;
  if (!token.empty()) {
    text += "function reply(value) { report(" + json(token).dump() + ", value); }\n";
  }
  text += body;
  text += "\n})();\n";
  return text;
}

Status KWinBus::loadAndRun(const std::string& name, const std::string& text) {
  const auto file = scriptFolder_ / (name + ".js");
  if (auto written = writeFileAtomically(file, text); !written) return written.error();
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  int id = -1;
  int r = sd_bus_call_method(bus_, kService, "/Scripting", kScripting, "loadScript", &error, &reply,
                             "ss", file.c_str(), name.c_str());
  if (r >= 0) r = sd_bus_message_read(reply, "i", &id);
  reply = sd_bus_message_unref(reply);
  if (r < 0) {
    Error failed = busError("KWin did not load the script", r, &error);
    sd_bus_error_free(&error);
    return failed;
  }
  if (id < 0) return Error{"KWin refused the script " + name, 0};
  // Plasma 5.27 places a loaded script at /<id>, Plasma 6 at /Scripting/Script<id>.
  for (const std::string& path :
       {"/" + std::to_string(id), "/Scripting/Script" + std::to_string(id)}) {
    sd_bus_error_free(&error);
    r = sd_bus_call_method(bus_, kService, path.c_str(), "org.kde.kwin.Script", "run", &error,
                           nullptr, "");
    if (r >= 0) break;
  }
  if (r < 0) {
    Error failed = busError("KWin did not run the script", r, &error);
    sd_bus_error_free(&error);
    unload(name);
    return failed;
  }
  // KWin numbers a script by how many are loaded, so after one loaded before it was
  // unloaded, a new script's number may be one a later script still has: the object path
  // stays that script's, and `run` above ran nothing of ours. Starting the scripting runs
  // every loaded script that is not running yet, ours among them.
  sd_bus_error_free(&error);
  r = sd_bus_call_method(bus_, kService, "/Scripting", kScripting, "start", &error, nullptr, "");
  sd_bus_error_free(&error);
  if (r < 0) {
    unload(name);
    return busError("KWin did not start its scripts", r);
  }
  return success();
}

Result<nlohmann::json> KWinBus::runOnce(const std::string& body, std::chrono::milliseconds limit) {
  const std::string token = kOncePrefix + std::to_string(nextToken_++);
  // Unique per connection: the lanes' connection runs scripts beside the main one's.
  const std::string name =
      "tervane-now-" + std::to_string(::getpid()) + "-" + connectionTag_ + "-" + token;
  Result<nlohmann::json> result = Error{"KWin's script did not answer in time", ETIMEDOUT};
  if (auto ran = loadAndRun(name, scriptText(body, token)); !ran) {
    result = ran.error();
  } else {
    // KWin reads the file after `run` returns, so it stays until the answer is in.
    if (waitUntil([&] { return answers_.count(token) != 0; }, limit)) {
      result = std::move(answers_[token]);
    }
    answers_.erase(token);
    unload(name);
  }
  std::error_code ignored;
  std::filesystem::remove(scriptFolder_ / (name + ".js"), ignored);
  wakeIfPending();
  return result;
}

Status KWinBus::loadResident(const std::string& name, const std::string& body) {
  // A run that crashed left its script behind, still reporting to a name that is gone.
  unload(name);
  auto ran = loadAndRun(name, scriptText(body, ""));
  wakeIfPending();
  return ran;
}

void KWinBus::unload(const std::string& name) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_call_method(bus_, kService, "/Scripting", kScripting, "unloadScript", &error, nullptr, "s",
                     name.c_str());
  sd_bus_error_free(&error);
}

bool KWinBus::dispatch() {
  int r = 0;
  while ((r = sd_bus_process(bus_, nullptr)) > 0) {
  }
  return r >= 0;
}

bool KWinBus::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int r = 0;
    while (!done() && (r = sd_bus_process(bus_, nullptr)) > 0) {
    }
    if (done()) return true;
    if (r < 0) return false;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (sd_bus_wait(bus_, static_cast<std::uint64_t>(left.count())) < 0) return false;
  }
}

int KWinBus::fileDescriptor() const {
  return sd_bus_get_fd(bus_);
}

void KWinBus::wakeIfPending() {
  if (wake_) wake_();
}

}  // namespace tervane::kwin
