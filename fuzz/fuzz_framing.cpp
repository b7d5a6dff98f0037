// The companion's framing on arbitrary bytes, as a browser or a stray peer could send
// them: the reader never crashes, every message it hands out is an object that encodes
// back to a frame it reads again as the same message, and once broken it stays broken.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "companion/NativeFraming.h"

using namespace tervane;
using namespace tervane::companion;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // Small announced lengths keep the fuzzer's frames reachable.
  FrameReader reader(4096);
  // Feed in two pieces split by the first byte, so partial frames are exercised too.
  const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
  reader.feed(std::string_view(bytes).substr(0, split));
  bool broken = false;
  auto drain = [&] {
    while (true) {
      auto next = reader.next();
      if (!next) {
        broken = true;
        fuzz::require(reader.broken(), "an error leaves the reader broken", bytes);
        return;
      }
      fuzz::require(!broken, "a broken reader hands out nothing", bytes);
      if (!next.value()) return;
      const auto& message = *next.value();
      fuzz::require(message.is_object(), "every message is an object", bytes);
      auto again = NativeFraming::encode(message, NativeFraming::kMaxMessageBytes);
      fuzz::require(again.ok(), "a message read encodes again", bytes);
      FrameReader echo;
      echo.feed(again.value());
      auto back = echo.next();
      fuzz::require(back.ok() && back.value() && *back.value() == message,
                    "an encoded message reads back as itself", bytes);
    }
  };
  drain();
  reader.feed(std::string_view(bytes).substr(split));
  drain();
  return 0;
}
