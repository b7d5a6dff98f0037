// A settings file with arbitrary content. The file is read as the settings or, when it
// is not a JSON object, as empty and kept aside before the first write; a few keys are
// read, set and removed, the remembered choices are loaded from it, and what was written
// must read back as the same values.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzCheck.h"
#include "base/Json.h"
#include "data/Store.h"
#include "learning/StageMemory.h"

using namespace tervane;

namespace {

std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Text that is not UTF-8 is written with replacement characters, so it cannot read back
// byte for byte; those runs check everything but the round trip of the key.
bool isUtf8(const std::string& text) {
  try {
    (void)nlohmann::json(text).dump();
    return true;
  } catch (const nlohmann::json::exception&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string key = input.ConsumeRandomLengthString(32);
  const std::string value = input.ConsumeRandomLengthString(64);
  const std::string content = input.ConsumeRemainingBytesAsString();

  const auto folder = fuzz::scratchFolder() / "defaults";
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  std::filesystem::create_directories(folder);
  const auto file = folder / "standard.json";
  {
    std::ofstream out(file, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
  }
  AtomicWriteOptions options;
  options.sync = false;

  const auto parsed = jsonread::parse(content);
  const bool readable = parsed && parsed->is_object();
  {
    FileDefaults defaults(file, options);
    fuzz::require(slurp(file) == content, "opening the settings leaves the file as it was");
    if (readable) {
      for (const auto& [k, v] : parsed->items()) {
        fuzz::require(defaults.get(k) == v, "every stored key reads as stored", k);
      }
    } else {
      fuzz::require(!defaults.get(key), "unreadable settings read as empty");
    }

    // Loading the remembered choices never fails; whatever loads saves and loads again.
    StageMemory memory(defaults);
    const auto choices = memory.choices();
    Store store(defaults);
    (void)store.theNow();
    (void)store.hasSeenMacFirstRun();
    (void)store.selectedTintId();

    defaults.set(key, value);
    fuzz::require(!defaults.lastError(), "a write to a private folder succeeds",
                  defaults.lastError() ? defaults.lastError()->message : "");
    if (!readable && !content.empty()) {
      fuzz::require(defaults.setAside() && slurp(*defaults.setAside()) == content,
                    "unreadable settings are kept aside before the first write");
    }
    memory.save();
    fuzz::require(StageMemory(defaults).choices() == choices, "remembered choices survive a save");
    defaults.remove("has_seen_mac_first_run");
    fuzz::require(!defaults.get("has_seen_mac_first_run"), "a removed key is gone");
  }

  // A second reader sees exactly what the first one left.
  FileDefaults again(file, options);
  const bool exact = isUtf8(key) && isUtf8(value);
  fuzz::require(!exact || again.get(key) == nlohmann::json(value) ||
                    key == StageMemory::kDefaultsKey || key == "has_seen_mac_first_run",
                "a written value reads back", key);
  if (readable) {
    for (const auto& [k, v] : parsed->items()) {
      if (!exact || k == key || k == StageMemory::kDefaultsKey || k == "has_seen_mac_first_run")
        continue;
      fuzz::require(again.get(k) == v, "untouched keys survive a rewrite", k);
    }
  }
  return 0;
}
