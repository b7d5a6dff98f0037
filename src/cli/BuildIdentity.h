// Which build of Tervane Now this is: the version of the sources and what names the build
// (its commit and date, or a package's version), as `tervane-now --version`, the bar menu
// and Help show it.
#pragma once

#include <string>

#include "words/MenuStrings.h"

namespace tervane::cli {

// "Linux", "0.1.0" and, for example, "4f58340 2025-06-01".
AppIdentity buildIdentity();

// "Tervane Now for Linux 0.1.0 (4f58340 2025-06-01)".
std::string versionLine();

}  // namespace tervane::cli
