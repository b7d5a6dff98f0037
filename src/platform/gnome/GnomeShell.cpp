#include "gnome/GnomeShell.h"

#include <cstdlib>
#include <cstring>

namespace tervane::gnome {
namespace {

Error busError(const std::string& what, int r, const sd_bus_error* error = nullptr) {
  std::string message = what;
  if (error && sd_bus_error_is_set(error)) {
    message += ": " + std::string(error->message ? error->message : error->name);
  } else if (r < 0) {
    message += ": " + std::string(std::strerror(-r));
  }
  return Error{message, r < 0 ? -r : 0};
}

// Appends a JSON array of strings as one string argument.
std::function<int(sd_bus_message*)> jsonArgument(const nlohmann::json& value) {
  return [text = value.dump()](sd_bus_message* m) {
    return sd_bus_message_append(m, "s", text.c_str());
  };
}

}  // namespace

Result<std::shared_ptr<GnomeShell>> GnomeShell::open() {
  sd_bus* bus = nullptr;
  if (int r = sd_bus_open_user(&bus); r < 0) return busError("no session bus", r);
  std::shared_ptr<GnomeShell> shell(new GnomeShell(bus));
  sd_bus_set_method_call_timeout(bus, std::chrono::microseconds(kCallLimit).count());
  const std::string rule = std::string("type='signal',sender='") + kService + "',path='" + kPath +
                           "',interface='" + kInterface + "'";
  if (int r = sd_bus_add_match(bus, &shell->match_, rule.c_str(), &GnomeShell::signal, shell.get());
      r < 0) {
    return busError("cannot watch GNOME Shell", r);
  }
  if (auto windows = shell->listWindows(); !windows) {
    return Error{"GNOME Shell does not answer through the Tervane Now extension (" +
                     windows.error().message + ")",
                 0};
  }
  return shell;
}

GnomeShell::~GnomeShell() {
  sd_bus_slot_unref(match_);
  sd_bus_flush_close_unref(bus_);
}

int GnomeShell::signal(sd_bus_message* message, void* self, sd_bus_error* /*error*/) {
  auto* shell = static_cast<GnomeShell*>(self);
  const char* argument = nullptr;
  const char* member = sd_bus_message_get_member(message);
  if (!member || sd_bus_message_read(message, "s", &argument) < 0) return 0;
  shell->signals_.emit(member, argument);
  return 0;
}

Result<sd_bus_message*> GnomeShell::call(const char* method,
                                         const std::function<int(sd_bus_message*)>& append) {
  sd_bus_message* request = nullptr;
  int r = sd_bus_message_new_method_call(bus_, &request, kService, kPath, kInterface, method);
  if (r >= 0 && append) r = append(request);
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  if (r >= 0) r = sd_bus_call(bus_, request, 0, &error, &reply);
  sd_bus_message_unref(request);
  // A signal read while waiting waits in memory, not on the socket.
  if (wake_) wake_();
  if (r < 0) {
    Error failed = busError(std::string("GNOME Shell did not answer ") + method, r, &error);
    sd_bus_error_free(&error);
    return failed;
  }
  return reply;
}

Result<std::string> GnomeShell::callForString(const char* method,
                                              const std::function<int(sd_bus_message*)>& append) {
  auto reply = call(method, append);
  if (!reply) return reply.error();
  const char* text = nullptr;
  const int r = sd_bus_message_read(reply.value(), "s", &text);
  std::string out = r >= 0 && text ? text : "";
  sd_bus_message_unref(reply.value());
  if (r < 0) return busError(std::string("GNOME Shell answered ") + method + " oddly", r);
  return out;
}

bool GnomeShell::callForBool(const char* method, const std::string& argument) {
  auto reply = call(
      method, [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", argument.c_str()); });
  if (!reply) return false;
  int value = 0;
  if (sd_bus_message_read(reply.value(), "b", &value) < 0) value = 0;
  sd_bus_message_unref(reply.value());
  return value != 0;
}

Result<nlohmann::json> GnomeShell::listWindows() {
  auto text = callForString("ListWindows", {});
  if (!text) return text.error();
  auto json = nlohmann::json::parse(text.value(), nullptr, false);
  if (!json.is_array()) return Error{"GNOME Shell listed the windows oddly", 0};
  return json;
}

Result<nlohmann::json> GnomeShell::setMinimized(const std::vector<std::string>& ids,
                                                bool minimized) {
  auto text = callForString("SetMinimized", [&](sd_bus_message* m) {
    const int r = jsonArgument(ids)(m);
    return r < 0 ? r : sd_bus_message_append(m, "b", minimized ? 1 : 0);
  });
  if (!text) return text.error();
  auto json = nlohmann::json::parse(text.value(), nullptr, false);
  if (!json.is_array()) return Error{"GNOME Shell answered oddly", 0};
  return json;
}

bool GnomeShell::activate(const std::string& id) {
  return callForBool("Activate", id);
}

bool GnomeShell::raise(const std::string& id) {
  return callForBool("Raise", id);
}

Status GnomeShell::setBee(const std::string& path) {
  auto reply = call("SetBee",
                    [&](sd_bus_message* m) { return sd_bus_message_append(m, "s", path.c_str()); });
  if (!reply) return reply.error();
  sd_bus_message_unref(reply.value());
  return success();
}

Result<nlohmann::json> GnomeShell::bee() {
  auto text = callForString("Bee", {});
  if (!text) return text.error();
  auto json = nlohmann::json::parse(text.value(), nullptr, false);
  if (!json.is_object()) return Error{"GNOME Shell answered oddly", 0};
  return json;
}

Result<nlohmann::json> GnomeShell::grabAccelerators(const std::vector<std::string>& accelerators) {
  auto text = callForString("GrabAccelerators", [&](sd_bus_message* m) {
    int r = sd_bus_message_open_container(m, 'a', "s");
    for (const auto& accelerator : accelerators) {
      if (r >= 0) r = sd_bus_message_append(m, "s", accelerator.c_str());
    }
    return r < 0 ? r : sd_bus_message_close_container(m);
  });
  if (!text) return text.error();
  auto json = nlohmann::json::parse(text.value(), nullptr, false);
  if (!json.is_object()) return Error{"GNOME Shell answered oddly", 0};
  return json;
}

Result<std::vector<std::string>> GnomeShell::accelerators() {
  auto reply = call("Accelerators", {});
  if (!reply) return reply.error();
  char** held = nullptr;
  const int r = sd_bus_message_read_strv(reply.value(), &held);
  sd_bus_message_unref(reply.value());
  if (r < 0) return busError("GNOME Shell answered Accelerators oddly", r);
  std::vector<std::string> out;
  for (char** it = held; it && *it; ++it) {
    out.emplace_back(*it);
    std::free(*it);
  }
  std::free(held);
  return out;
}

std::optional<double> GnomeShell::idleSeconds() {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* reply = nullptr;
  std::uint64_t milliseconds = 0;
  int r =
      sd_bus_call_method(bus_, "org.gnome.Mutter.IdleMonitor", "/org/gnome/Mutter/IdleMonitor/Core",
                         "org.gnome.Mutter.IdleMonitor", "GetIdletime", &error, &reply, "");
  if (r >= 0) r = sd_bus_message_read(reply, "t", &milliseconds);
  sd_bus_message_unref(reply);
  sd_bus_error_free(&error);
  if (wake_) wake_();
  if (r < 0) return std::nullopt;
  return static_cast<double>(milliseconds) / 1000.0;
}

bool GnomeShell::dispatch() {
  int r = 0;
  while ((r = sd_bus_process(bus_, nullptr)) > 0) {
  }
  return r >= 0;
}

int GnomeShell::fileDescriptor() const {
  return sd_bus_get_fd(bus_);
}

}  // namespace tervane::gnome
