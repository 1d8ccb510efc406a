#include "outside/package/consiste.h"

namespace outside {

bool EmptyString(std::string_view text) {
  return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

std::string Right(std::string_view text, size_t count) {
  return std::string(count >= text.size() ? text : text.substr(text.size() - count));
}

}  // namespace outside
