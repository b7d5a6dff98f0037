#include "companion/CompanionSocket.h"

#include "posix/ControlFolder.h"

namespace tervane::companion {

std::vector<std::filesystem::path> companionSockets(const EnvironmentLookup& lookup,
                                                    const std::filesystem::path& tmpBase) {
  std::vector<std::filesystem::path> out;
  for (const auto& folder : posix::controlFolderCandidates(lookup, tmpBase)) {
    out.push_back(folder / kSocketName);
  }
  return out;
}

}  // namespace tervane::companion
