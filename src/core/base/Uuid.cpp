#include "base/Uuid.h"

#include <uuid/uuid.h>

namespace tervane {

std::string newUuid() {
  uuid_t id;
  uuid_generate_random(id);
  char text[37];
  uuid_unparse_upper(id, text);
  return text;
}

}  // namespace tervane
