// In-memory defaults that count the writes made to them, for tests of "stores only when
// something changed".
#pragma once

#include "base/Defaults.h"

namespace tervane::testing {

class CountingDefaults final : public Defaults {
 public:
  std::optional<nlohmann::json> get(const std::string& key) const override {
    return inner.get(key);
  }
  void set(const std::string& key, nlohmann::json value) override {
    ++writes;
    inner.set(key, std::move(value));
  }
  void remove(const std::string& key) override {
    ++writes;
    inner.remove(key);
  }

  MemoryDefaults inner;
  int writes = 0;
};

}  // namespace tervane::testing
