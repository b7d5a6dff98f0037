// Where the application listens for the companion's hosts: "companion" in the person's
// control folder, beside the control socket. Each host process (one per browser profile)
// opens its own connection and first sends a hello naming its browser and profile:
//   {"hello": {"browser": "chromium", "profile": "/home/p/.config/chromium"}}
// after which frames pass unchanged both ways between the application and the extension.
#pragma once

#include <filesystem>
#include <vector>

#include "base/StateFolder.h"

namespace tervane::companion {

inline constexpr const char* kSocketName = "companion";

// The sockets to try, best first, as the control client tries its own.
std::vector<std::filesystem::path> companionSockets(
    const EnvironmentLookup& lookup = processEnvironment,
    const std::filesystem::path& tmpBase = "/tmp");

}  // namespace tervane::companion
