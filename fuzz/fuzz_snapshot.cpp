// The journal's read path on arbitrary file content. Whatever the bytes, reading gives a
// snapshot or none and never changes the file; a snapshot that was read writes back and
// reads again as the same value, and its absent optional parts stay absent on disk.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "FuzzCheck.h"
#include "base/Json.h"
#include "stage/StageJournal.h"

using namespace tervane;

namespace {

std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto folder = fuzz::scratchFolder() / "journal";
  AtomicWriteOptions options;
  options.sync = false;  // durability is not what is tested here, and it costs every run
  StageJournal journal(folder, options);
  {
    std::filesystem::create_directories(folder);
    std::ofstream out(journal.fileURL(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  const auto read = journal.open();
  fuzz::require(slurp(journal.fileURL()) == bytes, "reading leaves the journal as it was");

  const auto parsed = jsonread::parse(bytes);
  const auto decoded = parsed ? decodeStageSnapshot(*parsed) : std::nullopt;
  fuzz::require(read == decoded, "the journal reads what the decoder makes of its bytes");
  if (!read) return 0;

  const auto& snapshot = *read;
  const auto events = parsed->find("guardEvents");
  fuzz::require(snapshot.guardEvents.has_value() == (events != parsed->end() && !events->is_null()),
                "guardEvents is present exactly when the file has it");
  const auto encoded = toJson(snapshot);
  fuzz::require(snapshot.parkedAt.has_value() == encoded.contains("parkedAt"),
                "an absent parkedAt is left out");
  fuzz::require(snapshot.mark.has_value() == encoded.contains("mark"),
                "an absent mark is left out");
  fuzz::require(decodeStageSnapshot(encoded) == snapshot, "a snapshot re-encodes to itself");

  const auto written = journal.write(snapshot);
  fuzz::require(written.ok(), "a snapshot that was read can be written",
                written ? "" : written.error().message);
  fuzz::require(journal.open() == snapshot, "a written snapshot reads back equal");
  fuzz::require(journal.close().ok(), "the journal closes");
  fuzz::require(!journal.open(), "a closed journal reads as none");
  return 0;
}
