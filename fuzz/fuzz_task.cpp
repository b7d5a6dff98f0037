// The stored line on arbitrary bytes: the Store reads a task or none, never rewrites what
// it could not read, and a task it did read stores and reads back as the same value.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "base/Json.h"
#include "data/Store.h"

using namespace tervane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  MemoryDefaults defaults;
  defaults.set(Store::kTheNowTaskKey, bytes);
  Store store(defaults);

  const auto task = store.theNow();
  fuzz::require(defaults.getString(Store::kTheNowTaskKey) == bytes,
                "reading the task leaves the stored bytes in place");
  const auto parsed = jsonread::parse(bytes);
  fuzz::require(task == (parsed ? decodeAttentionTask(*parsed) : std::nullopt),
                "the store reads what the decoder makes of the bytes");
  if (!task) return 0;

  const auto encoded = toJson(*task);
  fuzz::require(decodeAttentionTask(encoded) == task, "a task re-encodes to itself");
  for (const char* optional : {"timestampMigrated", "microStep", "becameNowAt", "clearedAt"}) {
    const bool present = optional == std::string("timestampMigrated")
                             ? task->timestampMigrated.has_value()
                         : optional == std::string("microStep")   ? task->microStep.has_value()
                         : optional == std::string("becameNowAt") ? task->becameNowAt.has_value()
                                                                  : task->clearedAt.has_value();
    fuzz::require(encoded.contains(optional) == present, "an absent optional is left out",
                  optional);
  }

  store.setTheNow(task);
  fuzz::require(store.theNow() == task, "a stored task reads back equal");
  store.setTheNow(std::nullopt);
  fuzz::require(!defaults.get(Store::kTheNowTaskKey), "storing none removes the task");
  return 0;
}
