// The person's small settings and memories, as a key-value store of JSON values (Boolean,
// number, string, dictionary, and data kept as text). One store per suite: the standard
// suite and the shared one.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "base/AtomicFile.h"
#include "base/Result.h"

namespace tervane {

class Defaults {
 public:
  virtual ~Defaults() = default;
  virtual std::optional<nlohmann::json> get(const std::string& key) const = 0;
  virtual void set(const std::string& key, nlohmann::json value) = 0;
  virtual void remove(const std::string& key) = 0;

  // Convenience readers: none when the key is absent or holds another type.
  std::optional<bool> getBool(const std::string& key) const;
  std::optional<std::string> getString(const std::string& key) const;
};

class MemoryDefaults final : public Defaults {
 public:
  std::optional<nlohmann::json> get(const std::string& key) const override;
  void set(const std::string& key, nlohmann::json value) override;
  void remove(const std::string& key) override;

 private:
  std::map<std::string, nlohmann::json> values_;
};

// One JSON object in one file, rewritten atomically on every change (0600 in a 0700
// folder). A file that does not hold a JSON object reads as empty; before the first
// write it is moved aside to "<name>.unreadable-<stamp>" so nothing the person had is
// silently destroyed.
class FileDefaults final : public Defaults {
 public:
  explicit FileDefaults(std::filesystem::path file, AtomicWriteOptions options = {});

  std::optional<nlohmann::json> get(const std::string& key) const override;
  void set(const std::string& key, nlohmann::json value) override;
  void remove(const std::string& key) override;

  const std::filesystem::path& file() const { return file_; }
  // The last write's failure, if the last write failed; the value stays in memory.
  const std::optional<Error>& lastError() const { return lastError_; }
  // Where an unreadable file was moved, once it has been.
  const std::optional<std::filesystem::path>& setAside() const { return setAside_; }

 private:
  void store();

  std::filesystem::path file_;
  AtomicWriteOptions options_;
  nlohmann::json values_ = nlohmann::json::object();
  bool unreadable_ = false;
  std::optional<Error> lastError_;
  std::optional<std::filesystem::path> setAside_;
};

}  // namespace tervane
