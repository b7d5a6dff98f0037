// tervane-bee-svg: the bee icon as SVG, for installation as the application's icon. The
// outline comes from the application's own bee, never from a copy.
//
//   tervane-bee-svg [--closed] [--light] [OUT.svg]
//
// Without OUT.svg the picture goes to standard output; a file is replaced whole or not at all.
#include <cstdio>
#include <iostream>
#include <string>

#include "base/AtomicFile.h"
#include "look/BeeSvg.h"

int main(int argc, char** argv) {
  tervane::BeeShape bee{.open = true};
  // Dark ink shows on the light backgrounds most menus and launchers use; --light gives the
  // carbon accent for dark ones.
  tervane::Color fill = tervane::TervaneTints::deepBg;
  std::string out;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--closed") {
      bee.open = false;
    } else if (arg == "--light") {
      fill = tervane::accentDark(tervane::TervaneTint::carbon);
    } else if (out.empty() && !arg.empty() && arg[0] != '-') {
      out = arg;
    } else {
      std::fprintf(stderr, "usage: tervane-bee-svg [--closed] [--light] [OUT.svg]\n");
      return 2;
    }
  }

  const std::string document = tervane::beeSvgDocument(bee, fill);
  if (out.empty()) {
    std::cout << document;
    std::cout.flush();
    return std::cout ? 0 : 1;
  }
  tervane::AtomicWriteOptions options;
  options.fileMode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                     std::filesystem::perms::group_read | std::filesystem::perms::others_read;
  options.folderMode = std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                       std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                       std::filesystem::perms::others_exec;
  if (auto written = tervane::writeFileAtomically(out, document, options); !written) {
    std::fprintf(stderr, "tervane-bee-svg: %s\n", written.error().message.c_str());
    return 1;
  }
  return 0;
}
