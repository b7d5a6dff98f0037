#include "base/Defaults.h"

#include <chrono>
#include <system_error>

#include "base/ISOTime.h"
#include "base/Json.h"

namespace tervane {
namespace fs = std::filesystem;
using nlohmann::json;

std::optional<bool> Defaults::getBool(const std::string& key) const {
  auto value = get(key);
  if (!value || !value->is_boolean()) return std::nullopt;
  return value->get<bool>();
}

std::optional<std::string> Defaults::getString(const std::string& key) const {
  auto value = get(key);
  if (!value || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::optional<json> MemoryDefaults::get(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void MemoryDefaults::set(const std::string& key, json value) { values_[key] = std::move(value); }

void MemoryDefaults::remove(const std::string& key) { values_.erase(key); }

FileDefaults::FileDefaults(fs::path file, AtomicWriteOptions options)
    : file_(std::move(file)), options_(std::move(options)) {
  std::error_code ec;
  if (!fs::exists(file_, ec)) return;
  auto text = readFile(file_);
  if (!text) {
    unreadable_ = true;
    return;
  }
  auto parsed = jsonread::parse(text.value());
  if (parsed && parsed->is_object()) {
    values_ = std::move(*parsed);
  } else {
    unreadable_ = true;
  }
}

std::optional<json> FileDefaults::get(const std::string& key) const {
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return *it;
}

void FileDefaults::set(const std::string& key, json value) {
  values_[key] = std::move(value);
  store();
}

void FileDefaults::remove(const std::string& key) {
  if (values_.erase(key) == 0 && !unreadable_) return;
  store();
}

void FileDefaults::store() {
  if (unreadable_) {
    std::string stamp = ISOTime::format(std::chrono::system_clock::now());
    for (char& c : stamp) {
      if (c == ':') c = '-';
    }
    fs::path aside = file_;
    aside += ".unreadable-" + stamp;
    std::error_code ec;
    fs::rename(file_, aside, ec);
    if (ec) {
      // Keep refusing to overwrite what we could not read rather than lose it.
      lastError_ = Error{"cannot move aside " + file_.string() + ": " + ec.message(), ec.value()};
      return;
    }
    setAside_ = aside;
    unreadable_ = false;
  }
  auto written = writeFileAtomically(file_, jsonread::dumpText(values_, 2) + "\n", options_);
  if (written) {
    lastError_.reset();
  } else {
    lastError_ = written.error();
  }
}

}  // namespace tervane
