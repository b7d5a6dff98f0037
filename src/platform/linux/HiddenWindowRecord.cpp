#include "linux/HiddenWindowRecord.h"

#include <cerrno>
#include <limits>

#include <nlohmann/json.hpp>

namespace tervane::x11 {

namespace {

std::map<std::string, HiddenWindowRecord::Windows> decode(const std::string& text) {
  const auto json = nlohmann::json::parse(text, nullptr, false);
  std::map<std::string, HiddenWindowRecord::Windows> apps;
  if (!json.is_object()) return {};
  for (const auto& [app, ids] : json.items()) {
    if (!ids.is_array()) return {};
    auto& windows = apps[app];
    for (const auto& id : ids) {
      if (!id.is_number_unsigned() ||
          id.get<std::uint64_t>() > std::numeric_limits<std::uint32_t>::max()) {
        return {};
      }
      windows.insert(id.get<std::uint32_t>());
    }
  }
  return apps;
}

}  // namespace

HiddenWindowRecord::HiddenWindowRecord(std::filesystem::path file, AtomicWriteOptions options)
    : file_(std::move(file)), options_(std::move(options)) {
  if (auto text = readFile(file_)) apps_ = decode(text.value());
}

HiddenWindowRecord::Windows HiddenWindowRecord::windowsOf(const std::string& app) const {
  const auto it = apps_.find(app);
  return it == apps_.end() ? Windows{} : it->second;
}

Status HiddenWindowRecord::write(const std::map<std::string, Windows>& apps) const {
  nlohmann::json json = nlohmann::json::object();
  for (const auto& [app, windows] : apps) {
    if (!windows.empty()) json[app] = windows;
  }
  std::string text;
  try {
    text = json.dump(2) + "\n";
  } catch (const nlohmann::json::exception&) {
    // A class name may hold any bytes. One that is not UTF-8 cannot be a key of the file,
    // and written with a replacement it would never match again: refuse, so that its
    // windows are not iconified without a record to bring them back from.
    return Error{"cannot record the windows of an application whose name is not UTF-8", EILSEQ};
  }
  return writeFileAtomically(file_, text, options_);
}

Status HiddenWindowRecord::add(const std::string& app, const std::vector<std::uint32_t>& windows) {
  auto next = apps_;
  next[app].insert(windows.begin(), windows.end());
  if (next == apps_) return success();
  if (auto written = write(next); !written) return written;
  apps_ = std::move(next);
  return success();
}

Status HiddenWindowRecord::remove(const std::string& app, const Windows& windows) {
  const auto it = apps_.find(app);
  if (it == apps_.end()) return success();
  std::size_t removed = 0;
  for (std::uint32_t window : windows) removed += it->second.erase(window);
  if (removed == 0 && !it->second.empty()) return success();
  if (it->second.empty()) apps_.erase(it);
  return write(apps_);
}

Status HiddenWindowRecord::forget(const std::string& app) {
  return remove(app, windowsOf(app));
}

}  // namespace tervane::x11
