#include "cli/BuildIdentity.h"

#include "cli/BuildVersion.h"

namespace tervane::cli {

AppIdentity buildIdentity() {
  return AppIdentity{"Linux", TERVANE_VERSION, TERVANE_BUILD};
}

std::string versionLine() {
  return MenuStrings::version(buildIdentity());
}

}  // namespace tervane::cli
