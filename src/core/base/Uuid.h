// Random identifiers in the upper-case text form "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
#pragma once

#include <string>

namespace tervane {

std::string newUuid();

}  // namespace tervane
