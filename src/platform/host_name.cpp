#include "platform/host_name.h"

#include <unistd.h>

namespace platform {

std::string hostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

}  // namespace platform
