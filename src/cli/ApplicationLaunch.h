// Starting the tray application, when this build has one: `tervane-now` with no
// sub-command. The desktop build links the real application; a build without the desktop
// links a stand-in that says so.
#pragma once

#include <ostream>

namespace tervane::cli {

// Runs the application until it quits; the process's exit status.
int runApplication(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace tervane::cli
