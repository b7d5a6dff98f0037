#include "cli/ApplicationLaunch.h"

namespace tervane::cli {

int runApplication(int, char**, std::ostream&, std::ostream& err) {
  err << "tervane-now: this build has no desktop application (it was built without "
         "TERVANE_WITH_DESKTOP); the sub-commands still work\n";
  return 1;
}

}  // namespace tervane::cli
