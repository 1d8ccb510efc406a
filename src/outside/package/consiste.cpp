#include "outside/package/consiste.h"

namespace outside {

bool EmptyString(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

}  // namespace outside
